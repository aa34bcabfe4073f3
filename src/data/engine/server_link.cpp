#include "data/engine/server_link.h"

#include "data/engine/pg_driver.h"
#include "data/engine/pg_params.h"

#include <QByteArray>
#include <QSqlDriver>
#include <QStringList>
#include <QVariant>

#include <libpq-fe.h>

#include <algorithm>

namespace zartav::server {
namespace {

QList<std::pair<QString, QString>> optionsWithDefaults(const StoreAddress& address) {
    QList<std::pair<QString, QString>> options = address.options();
    const std::pair<QString, QString> defaults[] = {
        // Without a timeout an unreachable server holds the desk for minutes; a connection
        // across a district's link, TLS included, takes well under a second.
        {QStringLiteral("connect_timeout"), QStringLiteral("4")},
        // A link that dies (a VPN dropped, a cable pulled) fails what is sent over it within
        // seconds instead of the system's quarter of an hour of resending, and an idle one is
        // found dead before the next save needs it.
        {QStringLiteral("tcp_user_timeout"), QStringLiteral("4000")},
        {QStringLiteral("keepalives"), QStringLiteral("1")},
        {QStringLiteral("keepalives_idle"), QStringLiteral("10")},
        {QStringLiteral("keepalives_interval"), QStringLiteral("2")},
        {QStringLiteral("keepalives_count"), QStringLiteral("3")},
        {QStringLiteral("application_name"), QStringLiteral("zartav")},
    };
    for (const auto& [name, value] : defaults)
        if (address.option(name).isEmpty()) options.append({name, value});
    return options;
}

// `-c name=value` for the server's startup options: a blank or a backslash in the value is
// written behind a backslash.
QString sessionSetting(const QString& name, const QString& value) {
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char(' '), QStringLiteral("\\ "));
    return QStringLiteral("-c %1=%2").arg(name, escaped);
}

}  // namespace

bool configure(QSqlDatabase& db, const StoreAddress& address, QString* why,
               const QList<std::pair<QString, QString>>& settings) {
    QList<std::pair<QString, QString>> parameters = optionsWithDefaults(address);
    if (!settings.isEmpty()) {
        QStringList startup;
        for (const auto& [name, value] : settings) startup << sessionSetting(name, value);
        auto given = std::find_if(parameters.begin(), parameters.end(), [](const auto& p) { return p.first == QLatin1String("options"); });
        if (given == parameters.end()) parameters.append({QStringLiteral("options"), startup.join(QLatin1Char(' '))});
        else given->second += QLatin1Char(' ') + startup.join(QLatin1Char(' '));
    }
    QStringList options;
    for (const auto& [name, value] : parameters) {
        // The driver splits its options at ";".
        if (name.contains(QLatin1Char(';')) || value.contains(QLatin1Char(';'))) {
            if (why) *why = QStringLiteral("the parameter %1 holds a \";\"").arg(name);
            return false;
        }
        options << pg::connectOption(name, value);
    }
    db.setHostName(address.host());
    db.setPort(address.port() > 0 ? address.port() : -1);
    db.setUserName(address.user());
    db.setPassword(address.password());
    db.setDatabaseName(address.database());
    db.setConnectOptions(options.join(QLatin1Char(';')));
    return true;
}

bool isLost(const QSqlDatabase& db) {
    if (!db.isValid() || !db.isOpen() || !db.driver()) return true;
    // A link no statement has used since the server restarted is still up as far as the client
    // library knows; what the server said as it went tells.
    pg::takeIdleInput(db);
    const QVariant handle = db.driver()->handle();
    // The driver's handle is the client library's connection (named by its struct or its typedef).
    if (!handle.isValid() || (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return true;
    PGconn* connection = *static_cast<PGconn* const*>(handle.constData());
    return !connection || PQstatus(connection) == CONNECTION_BAD;
}

bool wantsPassword(const StoreAddress& address) {
    pg::ConnectParams params(address.host(), address.port(), address.user(), QString(), address.database());
    // Options named zartav_ are our driver's own: the client library refuses them.
    for (const auto& [name, value] : optionsWithDefaults(address))
        if (!name.startsWith(QLatin1String("zartav_"))) params.add(name.toUtf8(), value.toUtf8());
    PGconn* probe = PQconnectdbParams(params.keywords(), params.values(), 0);
    const bool wants = probe && PQstatus(probe) == CONNECTION_BAD && PQconnectionNeedsPassword(probe);
    PQfinish(probe);
    return wants;
}

QString failureReason(const QString& engineWords) {
    struct Known {
        const char* words;
        const char* reason;
    };
    static const Known known[] = {
        {"does not support SSL", "اين سرور اتصال رمزدار (SSL/TLS) را نمي پذيرد و اين رايانه اتصال رمزدار خواسته است."},
        {"certificate verify failed", "گواهي امنيتي سرور با گواهي اين رايانه جور نيست."},
        {"password authentication failed", "سرور نام كاربر يا رمز عبور را نپذيرفت."},
        {"no password supplied", "سرور رمز عبور مي خواهد و رمزي داده نشد."},
        {"no pg_hba.conf entry", "سرور اتصال اين رايانه را با اين كاربر و اين پايگاه نمي پذيرد."},
        {"does not exist", "پايگاه يا كاربري كه نام برده شده روي سرور نيست."},
        {"timeout expired", "سرور در زمان مقرر پاسخ نداد."},
        {"Connection refused", "در اين نشاني و درگاه سروري پاسخ نمي دهد."},
        {"could not translate host name", "نام سرور در شبكه شناخته نشد."},
    };
    for (const Known& k : known)
        if (engineWords.contains(QLatin1String(k.words), Qt::CaseInsensitive)) return QString::fromUtf8(k.reason);
    return {};
}

}  // namespace zartav::server
