#include "data/engine/pg_params.h"

namespace zartav::pg {

QString connectOption(const QString& name, const QString& value) {
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return name + QStringLiteral("='") + escaped + QLatin1Char('\'');
}

Options connectOptions(const QString& text) {
    Options options;
    const QByteArray s = text.toUtf8();
    const qsizetype n = s.size();
    qsizetype i = 0;
    auto blank = [&](qsizetype k) { return s[k] == ';' || s[k] == ' ' || s[k] == '\t' || s[k] == '\n'; };
    for (;;) {
        while (i < n && blank(i)) ++i;
        const qsizetype equals = s.indexOf('=', i);
        if (i >= n || equals < 0) break;
        const QByteArray key = s.mid(i, equals - i).trimmed();
        i = equals + 1;
        while (i < n && s[i] == ' ') ++i;
        QByteArray value;
        if (i < n && s[i] == '\'') {
            for (++i; i < n && s[i] != '\''; ++i) {
                if (s[i] == '\\' && i + 1 < n) ++i;
                value += s[i];
            }
            ++i;
        } else {
            while (i < n && !blank(i)) value += s[i++];
        }
        options.emplace_back(key, value);
    }
    return options;
}

ConnectParams::ConnectParams(const QString& host, int port, const QString& user, const QString& password,
                             const QString& database) {
    auto part = [this](const char* key, const QString& value) {
        if (!value.isEmpty()) pairs_.emplace_back(key, value.toUtf8());
    };
    part("host", host);
    part("port", port > 0 ? QString::number(port) : QString());
    part("user", user);
    part("password", password);
    part("dbname", database);
}

void ConnectParams::add(const QByteArray& key, const QByteArray& value) {
    pairs_.emplace_back(key, value);
    keywords_.clear();
    values_.clear();
}

void ConnectParams::terminate() {
    if (keywords_.size() == pairs_.size() + 1) return;
    keywords_.clear();
    values_.clear();
    for (const auto& [key, value] : pairs_) {
        keywords_.push_back(key.constData());
        values_.push_back(value.constData());
    }
    keywords_.push_back(nullptr);
    values_.push_back(nullptr);
}

const char* const* ConnectParams::keywords() {
    terminate();
    return keywords_.data();
}

const char* const* ConnectParams::values() {
    terminate();
    return values_.data();
}

}  // namespace zartav::pg
