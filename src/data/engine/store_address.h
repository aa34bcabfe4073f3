#pragma once

// Where the records live: a database file (the single desk's Data.db) or a database server
// shared by the desks of an office, written as the server's own URL form
//   postgresql://user@host:port/database?sslmode=require&connect_timeout=5
// The display form never carries a password, so it is what messages, traces, the connection
// dialog and the saved setting use.

#include <QList>
#include <QStringList>
#include <QString>
#include <optional>
#include <utility>

namespace zartav {

enum class StoreEngine { File, Server };

class StoreAddress {
public:
    // Anything that does not begin with "postgresql://" or "postgres://" (any letter case) is a
    // file path. A server URL that cannot be read answers nothing; `why` then says what is wrong.
    static std::optional<StoreAddress> parse(const QString& text, QString* why = nullptr);
    static StoreAddress file(const QString& path);
    // A server address with nothing filled in (the client library's defaults throughout).
    static StoreAddress server();

    StoreEngine engine() const { return engine_; }
    bool isServer() const { return engine_ == StoreEngine::Server; }

    // File: the path as given.
    QString filePath() const { return filePath_; }

    // Server parts; empty (or 0) when the URL leaves them to the client library's defaults.
    QString host() const { return host_; }
    int port() const { return port_; }
    QString user() const { return user_; }
    QString database() const { return database_; }
    // A password written in the URL (or given later); held in memory only.
    QString password() const { return password_; }
    void setPassword(const QString& password) { password_ = password; }
    // The query parameters other than the password, in their order (sslmode, sslrootcert...).
    const QList<std::pair<QString, QString>>& options() const { return options_; }
    QString option(const QString& name) const;
    void setOption(const QString& name, const QString& value);
    void removeOption(const QString& name);
    void setHost(const QString& host) { host_ = host; }
    void setPort(int port) { port_ = port; }
    void setUser(const QString& user) { user_ = user; }
    void setDatabase(const QString& database) { database_ = database; }

    // The address without any password: a native file path, or the URL.
    QString display() const;

    // The same store (a file by its absolute path, a server by everything but the password).
    bool sameStore(const StoreAddress& other) const;

private:
    StoreEngine engine_ = StoreEngine::File;
    QString filePath_;
    QString host_;
    int port_ = 0;
    QString user_;
    QString password_;
    QString database_;
    QList<std::pair<QString, QString>> options_;
};

// A program's arguments are in the process list, which every user of the computer may read:
// the warning for standard error (a Farsi line, then the same in English) when one of
// `arguments` is a server address that carries a password, else nothing.
QStringList passwordInArgumentsWarning(const QStringList& arguments);

}  // namespace zartav
