#pragma once

#include <QByteArray>
#include <QString>

namespace zartav {

// Text files the program writes and reads are in Windows-1256, the code page Farsi Windows uses.
//
// Encoding first folds the Persian letters the code page lacks into their Arabic twins
// (ی → ي, ۀ → ه, Persian and Arabic-Indic digits → 0-9, presentation forms → their base
// letters), so a Farsi text never turns into question marks. Only a character with no place in
// the code page at all (an emoji, a CJK letter) becomes "?".
QByteArray encodeCp1256(const QString& text);

// Every byte has a meaning in Windows-1256, so decoding never fails.
QString decodeCp1256(const QByteArray& bytes);

// The folding step alone (exposed for callers that compare text with what a file will hold).
QString foldForCp1256(const QString& text);

}  // namespace zartav
