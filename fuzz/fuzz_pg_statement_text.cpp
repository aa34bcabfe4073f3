// A statement's text as the server driver reads it before sending (placeholders, statement
// count), and a connect option written and read back.
#include "data/engine/pg_params.h"
#include "data/engine/pg_statement_text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString sql = zartav::fuzz::text(data, size);
    const QByteArray sent = zartav::pg::numbered(sql);
    // Only placeholders change: a text without one goes as it is.
    if (!sql.contains(QLatin1Char('?')) && sent != sql.toUtf8()) __builtin_trap();
    const int statements = zartav::pg::statementCount(sql);
    if (statements < 0 || statements > sql.count(QLatin1Char(';')) + 1) __builtin_trap();
    zartav::pg::opensTransaction(sql);
    const zartav::pg::Options read = zartav::pg::connectOptions(zartav::pg::connectOption(QStringLiteral("k"), sql));
    if (read.size() != 1 || read[0].first != "k" || read[0].second != sql.toUtf8()) __builtin_trap();
    zartav::pg::connectOptions(sql);
    return 0;
}
