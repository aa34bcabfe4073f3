#include "data/engine/store_address.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace zartav {
namespace {

const QString kPasswordOption = QStringLiteral("password");
// The passphrase of the desk's TLS key is a secret like the password: passed to the client
// library, never shown, traced or saved.
const QString kKeyPassphraseOption = QStringLiteral("sslpassword");

bool isHexDigit(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

QString decode(const QString& part, bool* ok) {
    // A "%" that does not start two hex digits is not percent-encoding.
    for (qsizetype i = part.indexOf(QLatin1Char('%')); i >= 0; i = part.indexOf(QLatin1Char('%'), i + 1)) {
        if (i + 2 >= part.size() || !isHexDigit(part.at(i + 1)) || !isHexDigit(part.at(i + 2))) {
            *ok = false;
            return {};
        }
    }
    return QUrl::fromPercentEncoding(part.toUtf8());
}

QString encode(const QString& part) { return QString::fromLatin1(QUrl::toPercentEncoding(part)); }

bool fail(QString* why, const QString& text) {
    if (why) *why = text;
    return false;
}

bool parseServer(const QString& rest, StoreAddress& address, QString* why) {
    bool ok = true;
    QString body = rest;
    QString query;
    if (const qsizetype q = body.indexOf(QLatin1Char('?')); q >= 0) {
        query = body.mid(q + 1);
        body.truncate(q);
    }
    QString authority = body;
    QString database;
    if (const qsizetype slash = body.indexOf(QLatin1Char('/')); slash >= 0) {
        authority = body.left(slash);
        database = decode(body.mid(slash + 1), &ok);
    }
    if (const qsizetype at = authority.lastIndexOf(QLatin1Char('@')); at >= 0) {
        const QString userInfo = authority.left(at);
        authority = authority.mid(at + 1);
        const qsizetype colon = userInfo.indexOf(QLatin1Char(':'));
        address.setUser(decode(colon < 0 ? userInfo : userInfo.left(colon), &ok));
        if (colon >= 0) address.setPassword(decode(userInfo.mid(colon + 1), &ok));
    }
    if (authority.contains(QLatin1Char(',')))
        return fail(why, QStringLiteral("only one server may be named"));
    QString host = authority;
    QString port;
    if (authority.startsWith(QLatin1Char('['))) {
        const qsizetype close = authority.indexOf(QLatin1Char(']'));
        if (close < 0) return fail(why, QStringLiteral("an IPv6 address is not closed with ]"));
        host = authority.mid(1, close - 1);
        const QString after = authority.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(QLatin1Char(':')))
            return fail(why, QStringLiteral("unexpected text after the IPv6 address"));
        port = after.mid(1);
    } else if (const qsizetype colon = authority.lastIndexOf(QLatin1Char(':')); colon >= 0) {
        host = authority.left(colon);
        port = authority.mid(colon + 1);
    }
    address.setHost(decode(host, &ok));
    if (!port.isEmpty()) {
        bool numeric = false;
        const int number = port.toInt(&numeric);
        if (!numeric || number < 1 || number > 65535) return fail(why, QStringLiteral("the port is not a number from 1 to 65535"));
        address.setPort(number);
    }
    address.setDatabase(database);
    if (!query.isEmpty()) {
        for (const QString& pair : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
            const qsizetype equals = pair.indexOf(QLatin1Char('='));
            if (equals <= 0) return fail(why, QStringLiteral("a parameter without a name or value: %1").arg(pair));
            const QString name = decode(pair.left(equals), &ok);
            const QString value = decode(pair.mid(equals + 1), &ok);
            if (name == kPasswordOption)
                address.setPassword(value);
            else
                address.setOption(name, value);
        }
    }
    if (!ok) return fail(why, QStringLiteral("a % that is not followed by two hexadecimal digits"));
    return true;
}

}  // namespace

std::optional<StoreAddress> StoreAddress::parse(const QString& text, QString* why) {
    const QString trimmed = text.trimmed();
    for (const QString& scheme : {QStringLiteral("postgresql://"), QStringLiteral("postgres://")}) {
        if (!trimmed.startsWith(scheme, Qt::CaseInsensitive)) continue;
        StoreAddress address = server();
        if (!parseServer(trimmed.mid(scheme.size()), address, why)) return std::nullopt;
        return address;
    }
    if (trimmed.isEmpty()) {
        if (why) *why = QStringLiteral("no address");
        return std::nullopt;
    }
    return file(text);
}

StoreAddress StoreAddress::file(const QString& path) {
    StoreAddress address;
    address.engine_ = StoreEngine::File;
    address.filePath_ = path;
    return address;
}

StoreAddress StoreAddress::server() {
    StoreAddress address;
    address.engine_ = StoreEngine::Server;
    return address;
}

QString StoreAddress::option(const QString& name) const {
    for (const auto& [key, value] : options_)
        if (key == name) return value;
    return {};
}

void StoreAddress::setOption(const QString& name, const QString& value) {
    for (auto& [key, old] : options_) {
        if (key == name) {
            old = value;
            return;
        }
    }
    options_.append({name, value});
}

void StoreAddress::removeOption(const QString& name) {
    options_.removeIf([&](const auto& option) { return option.first == name; });
}

QString StoreAddress::display() const {
    if (!isServer()) return QDir::toNativeSeparators(filePath_);
    QString text = QStringLiteral("postgresql://");
    if (!user_.isEmpty()) text += encode(user_) + QLatin1Char('@');
    text += host_.contains(QLatin1Char(':')) ? QLatin1Char('[') + host_ + QLatin1Char(']') : encode(host_);
    if (port_ > 0) text += QLatin1Char(':') + QString::number(port_);
    text += QLatin1Char('/') + encode(database_);
    QStringList query;
    for (const auto& [key, value] : options_)
        if (key != kKeyPassphraseOption) query << encode(key) + QLatin1Char('=') + encode(value);
    if (!query.isEmpty()) text += QLatin1Char('?') + query.join(QLatin1Char('&'));
    return text;
}

bool StoreAddress::sameStore(const StoreAddress& other) const {
    if (engine_ != other.engine_) return false;
    if (!isServer()) return QFileInfo(filePath_).absoluteFilePath() == QFileInfo(other.filePath_).absoluteFilePath();
    return host_ == other.host_ && port_ == other.port_ && database_ == other.database_ && user_ == other.user_;
}

QStringList passwordInArgumentsWarning(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        // "--store=ADDRESS" as well as "--store ADDRESS".
        const QString text = argument.startsWith(QLatin1String("--")) ? argument.section(QLatin1Char('='), 1) : argument;
        const std::optional<StoreAddress> address = StoreAddress::parse(text);
        if (!address || !address->isServer() || (address->password().isEmpty() && address->option(kKeyPassphraseOption).isEmpty()))
            continue;
        return {QStringLiteral("هشدار: نشاني سرور در خط فرمان گذرواژه دارد و هر كاربر اين رايانه آن را در فهرست "
                               "برنامه هاي در حال اجرا مي بيند؛ گذرواژه را در فايل ~/.pgpass بگذاريد و از نشاني برداريد."),
                QStringLiteral(
            "warning: the server address on the command line holds a password, which every user of this computer "
            "can read in the process list; put the password in ~/.pgpass (host:port:database:user:password, "
            "mode 0600) and leave it out of the address.")};
    }
    return {};
}

}  // namespace zartav
