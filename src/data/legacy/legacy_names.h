#pragma once

// Legacy files were edited by hand over the years: "id", "NAME_SP" and "Name_Sp" all mean the
// same column. Only Latin letters fold; Farsi letters, digits and blanks (two blanks included)
// must match exactly.

#include <QString>

namespace zartav::legacy {

inline QString foldLatin(const QString& name) {
    QString out = name;
    for (QChar& c : out) {
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return out;
}

inline bool sameName(const QString& a, const QString& b) { return foldLatin(a) == foldLatin(b); }

}  // namespace zartav::legacy
