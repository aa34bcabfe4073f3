#include "util/csv_reader.h"

#include "util/cp1256.h"

namespace zartav::csv {
namespace {

constexpr qint64 kPieceBytes = 1 << 20;

// Bytes at the end of `bytes` that begin a UTF-8 sequence the piece does not finish.
qsizetype unfinishedTail(QByteArrayView bytes) {
    for (qsizetype back = 1; back <= 4 && back <= bytes.size(); ++back) {
        const auto b = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((b & 0xC0) == 0x80) continue;
        const qsizetype length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

// Well-formed UTF-8 (RFC 3629): no overlong forms, no surrogates, nothing past U+10FFFF. Read
// once over the whole file, so it checks without decoding.
bool isValidUtf8(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
        int length;
        unsigned char low = 0x80, high = 0xBF;  // the second byte's range
        if (b >= 0xC2 && b <= 0xDF) length = 2;
        else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            if (b == 0xE0) low = 0xA0;
            if (b == 0xED) high = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            if (b == 0xF0) low = 0x90;
            if (b == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (end - p < length || p[1] < low || p[1] > high) return false;
        for (int i = 2; i < length; ++i)
            if ((p[i] & 0xC0) != 0x80) return false;
        p += length;
    }
    return true;
}

}  // namespace

QString faultText(Fault fault) {
    switch (fault) {
    case Fault::QuoteInField:
        return QStringLiteral("علامت \" در ميان متن فيلد آمده است");
    case Fault::TextAfterQuote:
        return QStringLiteral("پس از علامت \" پاياني فيلد متن آمده است");
    case Fault::UnclosedQuote:
        return QStringLiteral("علامت \" باز شده و تا پايان فايل بسته نشده است");
    case Fault::None:
        break;
    }
    return {};
}

Reader::Reader(Source more, QChar delimiter) : more_(std::move(more)), delimiter_(delimiter) {}

Reader::Reader(const QString& text, QChar delimiter) : delimiter_(delimiter), buffer_(text), ended_(true) {}

bool Reader::fill() {
    if (ended_) return false;
    buffer_.remove(0, at_);
    at_ = 0;
    const QString piece = more_();
    if (piece.isEmpty()) {
        ended_ = true;
        return false;
    }
    buffer_ += piece;
    return true;
}

template <typename Special>
void Reader::appendRun(QString& field, Special special) {
    // The character just read and the ordinary ones after it in this piece, in one go.
    qsizetype end = at_;
    while (end < buffer_.size() && !special(buffer_.at(end))) ++end;
    field.append(QStringView(buffer_).sliced(at_ - 1, end - at_ + 1));
    at_ = end;
}

bool Reader::failAt(int line, Fault fault) {
    fault_ = fault;
    faultLine_ = line;
    return false;
}

bool Reader::next(Row* row) {
    if (fault_ != Fault::None) return false;
    const QChar quote = u'"';
    // The character `ahead` places past the one being read, reading on when the piece is done.
    auto peek = [this](qsizetype ahead) -> std::optional<QChar> {
        while (at_ + ahead >= buffer_.size())
            if (!fill()) return std::nullopt;
        return buffer_.at(at_ + ahead);
    };
    for (;;) {
        const int start = line_;
        QStringList fields;
        QString field;
        bool quoted = false;      // the field began with a quote
        bool afterQuote = false;  // and its closing quote has been read
        bool seen = false;
        for (;;) {
            const std::optional<QChar> c = peek(0);
            if (!c) break;
            ++at_;
            seen = true;
            if (quoted && !afterQuote) {
                if (*c == quote) {
                    if (peek(0) == quote) {
                        ++at_;
                        field += quote;
                    } else {
                        afterQuote = true;
                    }
                } else if (*c == u'\n' || *c == u'\r') {
                    if (*c == u'\n' || peek(0) != QChar(u'\n')) ++line_;
                    field += *c;
                } else {
                    appendRun(field, [quote](QChar x) { return x == quote || x == u'\n' || x == u'\r'; });
                }
                continue;
            }
            if (*c == delimiter_) {
                fields << field;
                field.clear();
                quoted = afterQuote = false;
                continue;
            }
            if (*c == u'\r' || *c == u'\n') {
                if (*c == u'\r' && peek(0) == QChar(u'\n')) ++at_;
                ++line_;
                break;
            }
            if (afterQuote) return failAt(line_, Fault::TextAfterQuote);
            if (*c == quote) {
                if (!field.isEmpty()) return failAt(line_, Fault::QuoteInField);
                quoted = true;
                continue;
            }
            appendRun(field, [this, quote](QChar x) { return x == delimiter_ || x == quote || x == u'\n' || x == u'\r'; });
        }
        if (quoted && !afterQuote) return failAt(start, Fault::UnclosedQuote);
        if (!seen) return false;
        if (fields.isEmpty() && field.isEmpty()) continue;  // a blank line
        fields << field;
        row->line = start;
        row->fields = std::move(fields);
        return true;
    }
}

QChar chooseDelimiter(const QString& headerLine, const std::function<bool(const QString&)>& known) {
    QChar best = u',';
    int bestCount = 0;
    for (QChar candidate : {QChar(u','), QChar(u';'), QChar(u'\t')}) {
        int count = 0;
        for (QString name : headerLine.split(candidate)) {
            name = name.trimmed();
            if (name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"')) name = name.mid(1, name.size() - 2);
            if (known(name)) ++count;
        }
        if (count > bestCount) {
            best = candidate;
            bestCount = count;
        }
    }
    return best;
}

Encoding encodingOf(QByteArrayView bytes) { return isValidUtf8(bytes) ? Encoding::Utf8 : Encoding::Cp1256; }

EncodingCheck checkEncoding(QIODevice& device) {
    EncodingCheck check;
    bool utf8 = true;
    int line = 1;
    QByteArray carried;
    for (;;) {
        QByteArray piece = device.read(kPieceBytes);
        if (piece.isEmpty() && !device.atEnd()) {
            check.error = device.errorString();
            return check;
        }
        const bool last = piece.isEmpty();
        for (const char b : piece) {
            const auto u = static_cast<unsigned char>(b);
            if (u == '\n') ++line;
            else if ((u < 0x20 && u != '\t' && u != '\r') || u == 0x7F) {
                check.badLine = line;
                device.seek(0);
                return check;
            }
        }
        if (utf8) {
            piece.prepend(carried);
            const qsizetype tail = last ? 0 : unfinishedTail(piece);
            carried = piece.right(tail);
            utf8 = isValidUtf8(QByteArrayView(piece).first(piece.size() - tail));
        }
        if (last) break;
    }
    device.seek(0);
    check.encoding = utf8 ? Encoding::Utf8 : Encoding::Cp1256;
    return check;
}

QString decode(const QByteArray& bytes) {
    QString text = encodingOf(bytes) == Encoding::Utf8 ? QString::fromUtf8(bytes) : decodeCp1256(bytes);
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    return text;
}

DeviceText::DeviceText(QIODevice& device, Encoding encoding)
    : device_(device), encoding_(encoding), utf8_(QStringDecoder::Utf8) {}

QString DeviceText::next() {
    for (;;) {
        const QByteArray piece = device_.read(kPieceBytes);
        if (piece.isEmpty()) return {};
        QString text = encoding_ == Encoding::Utf8 ? QString(utf8_.decode(piece)) : decodeCp1256(piece);
        if (first_ && text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
        first_ = false;
        // A piece that was only the first bytes of a character, or only the mark, reads on.
        if (!text.isEmpty()) return text;
    }
}

namespace {

// Where the apostrophes in front of a value end, when what follows would run as a formula;
// -1 otherwise.
qsizetype formulaAfterApostrophes(const QString& value) {
    qsizetype at = 0;
    while (at < value.size() && value.at(at) == u'\'') ++at;
    if (at == value.size()) return -1;
    const QChar c = value.at(at);
    return c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r' ? at : -1;
}

}  // namespace

QString guardedCell(const QString& value) {
    return formulaAfterApostrophes(value) >= 0 ? QLatin1Char('\'') + value : value;
}

QString unguardedCell(const QString& cell) {
    return formulaAfterApostrophes(cell) > 0 ? cell.sliced(1) : cell;
}

QByteArray rowText(const QStringList& cells) {
    QByteArray line;
    for (int i = 0; i < cells.size(); ++i) {
        if (i > 0) line += ',';
        const QString cell = guardedCell(cells.at(i));
        const bool quoted = cell.contains(u',') || cell.contains(u'"') || cell.contains(u'\n') || cell.contains(u'\r');
        line += quoted ? '"' + QString(cell).replace(QStringLiteral("\""), QStringLiteral("\"\"")).toUtf8() + '"'
                       : cell.toUtf8();
    }
    return line + "\r\n";
}

}  // namespace zartav::csv
