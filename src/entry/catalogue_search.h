#pragma once

#include <QString>
#include <QStringList>

namespace zartav::catalogue {

// The picker's search as you type, over the catalogue already held in memory. One rule for
// every letter: full Unicode case folding, with the digits the Persian keyboard types read as
// 0-9. The folded keys are made once per catalogue, so a keystroke is a plain scan of them.
class ForeignRegSearch {
public:
    // The foreign registration numbers ("RegNo_SPF") in the catalogue's own order.
    void reset(const QStringList& numbers);
    // The first row whose number begins with `typed` (blanks included), -1 when none or when
    // `typed` is empty.
    int find(const QString& typed) const;

private:
    QStringList keys_;
};

}  // namespace zartav::catalogue
