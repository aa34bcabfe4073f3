#include "util/cp1256.h"
#include "util/csv_reader.h"

#include <QBuffer>

#include <gtest/gtest.h>

using namespace zartav;
using namespace zartav::csv;

namespace {

struct Parsed {
    QList<QStringList> rows;
    QList<int> lines;
    Fault fault = Fault::None;
    int faultLine = 0;
};

Parsed parse(Reader& reader) {
    Parsed out;
    for (Row row; reader.next(&row);) {
        out.rows << row.fields;
        out.lines << row.line;
    }
    out.fault = reader.fault();
    out.faultLine = reader.faultLine();
    return out;
}

}  // namespace

TEST(CsvReader, ReadsQuotedFieldsAndNamesTheLineAtFault) {
    struct Case {
        const char* name;
        QString text;
        QList<QStringList> rows;
        Fault fault;
        int faultLine;
    };
    const Case cases[] = {
        {"plain", "a,b\n1,2\n", {{"a", "b"}, {"1", "2"}}, Fault::None, 0},
        {"crlf and blank lines", "a,b\r\n\r\n1,2\r\n\n", {{"a", "b"}, {"1", "2"}}, Fault::None, 0},
        {"quoted delimiter, quote and line break", "a,b\n\"x,y\",\"say \"\"hi\"\"\r\nthere\"\n",
         {{"a", "b"}, {"x,y", "say \"hi\"\r\nthere"}}, Fault::None, 0},
        {"empty fields kept", "a,b,c\n,,\"\"\n", {{"a", "b", "c"}, {"", "", ""}}, Fault::None, 0},
        {"no final line break", "a\nlast", {{"a"}, {"last"}}, Fault::None, 0},
        {"stray quote", "a,b\n1,2\"3\n", {{"a", "b"}}, Fault::QuoteInField, 2},
        {"text after closing quote", "a,b\n1,2\n\"3\"x,4\n", {{"a", "b"}, {"1", "2"}}, Fault::TextAfterQuote, 3},
        {"quote never closed, line of its row", "a,b\n1,\"2\n3\n4\n", {{"a", "b"}}, Fault::UnclosedQuote, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Whole, and in pieces of one character: a piece may end anywhere, inside "" or CR LF too.
        Reader whole(c.text, u',');
        qsizetype at = 0;
        Reader pieces([&] { return at < c.text.size() ? c.text.mid(at++, 1) : QString(); }, u',');
        for (Reader* reader : {&whole, &pieces}) {
            const Parsed parsed = parse(*reader);
            EXPECT_EQ(parsed.rows, c.rows);
            EXPECT_EQ(parsed.fault, c.fault);
            EXPECT_EQ(parsed.faultLine, c.faultLine);
        }
    }
}

TEST(CsvReader, RowLinesCountBreaksInsideQuotes) {
    Reader reader(QStringLiteral("h\n\"1\n2\"\n3\n"), u',');
    EXPECT_EQ(parse(reader).lines, QList<int>({1, 2, 4}));
}

TEST(CsvReader, ChoosesTheDelimiterThatSplitsTheHeaderIntoKnownNames) {
    const auto known = [](const QString& n) { return n == QLatin1String("a") || n == QLatin1String("b c"); };
    EXPECT_EQ(chooseDelimiter(QStringLiteral("a;\"b c\";x"), known), QChar(u';'));
    EXPECT_EQ(chooseDelimiter(QStringLiteral("a\tb c"), known), QChar(u'\t'));
    EXPECT_EQ(chooseDelimiter(QStringLiteral("x;y"), known), QChar(u','));
}

TEST(CsvReader, TellsUtf8FromWindows1256AndRefusesOtherBytes) {
    const QString farsi = QStringLiteral("گاو نر شماره يك");
    struct Case {
        const char* name;
        QByteArray bytes;
        std::optional<Encoding> encoding;
        int badLine;
    };
    const Case cases[] = {
        {"UTF-8", farsi.toUtf8(), Encoding::Utf8, 0},
        {"UTF-8 with a mark", "\xEF\xBB\xBF" + farsi.toUtf8(), Encoding::Utf8, 0},
        {"Windows-1256", encodeCp1256(farsi), Encoding::Cp1256, 0},
        {"a NUL on line 3", QByteArray("a\r\nb\r\nc\0d", 9), std::nullopt, 3},
        {"UTF-16", QByteArray("\xFF\xFE" "a\0,\0b\0", 8), std::nullopt, 1},
        {"an escape byte", "a\n\x1B[0m\n", std::nullopt, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes = c.bytes;
        QBuffer device(&bytes);
        ASSERT_TRUE(device.open(QIODevice::ReadOnly));
        const EncodingCheck check = checkEncoding(device);
        EXPECT_EQ(check.encoding, c.encoding);
        EXPECT_EQ(check.badLine, c.badLine);
        EXPECT_EQ(device.pos(), 0);
        if (!c.encoding) continue;
        EXPECT_EQ(decode(c.bytes), farsi);
        DeviceText text(device, *c.encoding);
        EXPECT_EQ(text.next(), farsi);
        EXPECT_EQ(text.next(), QString());
    }
}
