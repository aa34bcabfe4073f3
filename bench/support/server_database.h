#pragma once

// A database of its own on the server that run-bench.sh starts (ZARTAV_PG_HOST and friends),
// dropped afterwards.

#include <QString>

namespace zartav::bench {

class ServerDatabase {
public:
    explicit ServerDatabase(const QString& purpose);
    ~ServerDatabase();
    ServerDatabase(const ServerDatabase&) = delete;
    ServerDatabase& operator=(const ServerDatabase&) = delete;

    bool ok() const { return error_.isEmpty(); }
    QString error() const { return error_; }
    // The store's address, as the program's --store takes it.
    QString address() const { return address_; }
    QString host() const;
    QString port() const;
    QString user() const;
    QString name() const { return name_; }

private:
    QString admin(const QString& statement) const;

    QString name_;
    QString address_;
    QString error_;
};

}  // namespace zartav::bench
