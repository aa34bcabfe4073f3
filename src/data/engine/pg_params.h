#pragma once

// The server's client library's connection parameters, built in one place for every connect
// call: the keyword/value arrays it takes, and the connect-options text (QSqlDatabase's
// setConnectOptions) that carries an address's parameters to the driver, written and read here
// alike so that a quote or a backslash in a value arrives as it was.

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace zartav::pg {

using Options = std::vector<std::pair<QByteArray, QByteArray>>;

// `name='value'` for the connect-options text: the value in single quotes, a quote or a
// backslash in it behind a backslash.
QString connectOption(const QString& name, const QString& value);

// The connect-options text read back: key=value pairs apart by ';', a value in single quotes
// taking backslash escapes.
Options connectOptions(const QString& text);

// Keyword/value arrays for the client library's connect calls, ended by a null and kept alive
// as long as this is. The address's parts come first, each left out when empty.
class ConnectParams {
public:
    ConnectParams(const QString& host, int port, const QString& user, const QString& password,
                  const QString& database);

    void add(const QByteArray& key, const QByteArray& value);
    const char* const* keywords();
    const char* const* values();

private:
    void terminate();

    Options pairs_;
    std::vector<const char*> keywords_, values_;
};

}  // namespace zartav::pg
