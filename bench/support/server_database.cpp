#include "support/server_database.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace zartav::bench {

ServerDatabase::ServerDatabase(const QString& purpose)
    : name_(QStringLiteral("zartav_bench_%1_%2").arg(purpose).arg(QCoreApplication::applicationPid())) {
    if (qEnvironmentVariable("ZARTAV_PG_HOST").isEmpty()) {
        error_ = QStringLiteral("no server (ZARTAV_PG_HOST is not set; run-bench.sh starts one)");
        return;
    }
    error_ = admin(QStringLiteral("CREATE DATABASE ") + name_);
    address_ = QStringLiteral("postgresql://%1@%2:%3/%4").arg(user(), host(), port(), name_);
}

ServerDatabase::~ServerDatabase() {
    if (ok()) admin(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name_));
}

QString ServerDatabase::host() const { return qEnvironmentVariable("ZARTAV_PG_HOST"); }
QString ServerDatabase::port() const { return qEnvironmentVariable("ZARTAV_PG_PORT"); }
QString ServerDatabase::user() const { return qEnvironmentVariable("ZARTAV_PG_USER"); }

QString ServerDatabase::admin(const QString& statement) const {
    const QString connection = QStringLiteral("bench-admin");
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        db.setHostName(host());
        db.setPort(port().toInt());
        db.setUserName(user());
        db.setDatabaseName(qEnvironmentVariable("ZARTAV_PG_DB"));
        if (!db.open()) {
            error = db.lastError().text();
        } else {
            QSqlQuery query(db);
            if (!query.exec(statement)) error = query.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return error;
}

}  // namespace zartav::bench
