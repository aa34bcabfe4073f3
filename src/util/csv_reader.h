#pragma once

// Spreadsheet CSV files (RFC 4180): quoted fields may hold the delimiter, line breaks and
// doubled quotes. The reader pulls its text in pieces, so a file of any size is read in bounded
// memory; the encoding is decided over the whole file first, so every piece decodes alike.

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <functional>
#include <optional>

namespace zartav::csv {

enum class Fault {
    None,
    QuoteInField,    // a quote inside a field that did not begin with one
    TextAfterQuote,  // a field's closing quote followed by something other than a delimiter or line end
    UnclosedQuote,   // a quoted field still open at the end of the file
};

// What the user is told of a fault, in Farsi.
QString faultText(Fault fault);

struct Row {
    int line = 0;  // line of the file where the row starts (1 = first)
    QStringList fields;
};

class Reader {
public:
    // `more` gives the next piece of the text, empty text at the end.
    using Source = std::function<QString()>;
    Reader(Source more, QChar delimiter);
    // Over a whole text held in memory.
    Reader(const QString& text, QChar delimiter);

    // The next row; false at the end, or at a fault (fault() says which, faultLine() where).
    // Blank lines are passed over.
    bool next(Row* row);
    Fault fault() const { return fault_; }
    int faultLine() const { return faultLine_; }

private:
    bool fill();
    bool failAt(int line, Fault fault);
    template <typename Special>
    void appendRun(QString& field, Special special);

    Source more_;
    QChar delimiter_;
    QString buffer_;
    qsizetype at_ = 0;
    bool ended_ = false;
    int line_ = 1;
    Fault fault_ = Fault::None;
    int faultLine_ = 0;
};

// The delimiter a header line is written with: of comma, semicolon and tab, the one that splits
// it into the most names `known` accepts (comma when none does).
QChar chooseDelimiter(const QString& headerLine, const std::function<bool(const QString&)>& known);

enum class Encoding { Utf8, Cp1256 };

// UTF-8 (a byte-order mark or not) when the bytes are valid UTF-8, otherwise Windows-1256, the
// code page Farsi spreadsheets save in.
Encoding encodingOf(QByteArrayView bytes);

struct EncodingCheck {
    std::optional<Encoding> encoding;  // none: the file is text in neither
    int badLine = 0;                   // then the line of the first byte no text file holds
    QString error;                     // the device could not be read
};

// Reads `device` through once: as encodingOf(), but a file holding a NUL or another control
// character than tab, line feed and carriage return (UTF-16, a spreadsheet's binary format) is
// text in neither. The device is left at its start again.
EncodingCheck checkEncoding(QIODevice& device);

// Text of the whole bytes, decoded as encodingOf() decides; a leading byte-order mark dropped.
QString decode(const QByteArray& bytes);

// Decodes a device piece by piece in a chosen encoding (a UTF-8 sequence split between pieces
// comes out whole); a leading byte-order mark is dropped.
class DeviceText {
public:
    DeviceText(QIODevice& device, Encoding encoding);
    // The next piece; empty at the end.
    QString next();

private:
    QIODevice& device_;
    Encoding encoding_;
    QStringDecoder utf8_;
    bool first_ = true;
};

// A cell beginning with "=", "+", "-", "@", a tab or a carriage return is run as a formula by a
// spreadsheet that opens the file (=HYPERLINK(...), +cmd|...). Such a cell is written behind
// an apostrophe, the spreadsheets' own mark for "this is text"; an apostrophe already in front
// of one gets another, so reading takes exactly one off and gives the value back as it was.
QString guardedCell(const QString& value);
// The value of a cell guardedCell() wrote; any other cell as it is.
QString unguardedCell(const QString& cell);

// One row of RFC 4180 text in UTF-8, each cell guarded, ended by CR LF.
QByteArray rowText(const QStringList& cells);

}  // namespace zartav::csv
