#include "util/world_clock.h"

#include <QTimeZone>
#include <algorithm>
#include <cstdlib>
#include <map>

namespace zartav::world_clock {
namespace {

constexpr int kTehranOffsetSeconds = 3 * 3600 + 30 * 60;
constexpr qsizetype kPlacesLength = 100;

QString placeOf(const QByteArray& ianaId) {
    const qsizetype slash = ianaId.lastIndexOf('/');
    QString city = QString::fromLatin1(slash < 0 ? ianaId : ianaId.mid(slash + 1));
    return city.replace(QLatin1Char('_'), QLatin1Char(' '));
}

}  // namespace

QString offsetText(int offsetSeconds) {
    if (offsetSeconds == 0) return {};
    const int minutes = std::abs(offsetSeconds) / 60;
    return QStringLiteral("%1%2:%3")
        .arg(offsetSeconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QList<Zone> platformZones(const QDateTime& now) {
    // Windows name → its database zones; the map keeps the names sorted as Windows lists them.
    std::map<QString, QList<QByteArray>, bool (*)(const QString&, const QString&)> byName(
        [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    for (const QByteArray& iana : QTimeZone::availableTimeZoneIds()) {
        const QByteArray windowsId = QTimeZone::ianaIdToWindowsId(iana);
        if (!windowsId.isEmpty()) byName[QString::fromLatin1(windowsId)].append(iana);
    }
    QList<Zone> zones;
    for (auto& [name, ianaIds] : byName) {
        const QByteArray main = QTimeZone::windowsIdToDefaultIanaId(name.toLatin1());
        const QTimeZone zone(main.isEmpty() ? ianaIds.front() : main);
        if (!zone.isValid()) continue;
        QStringList places;
        if (!main.isEmpty()) places.append(placeOf(main));
        for (const QByteArray& iana : ianaIds) {
            const QString place = placeOf(iana);
            if (!places.contains(place)) places.append(place);
        }
        // Whole places only, and no more than the line key keeps after the ")".
        QString placesText;
        for (const QString& place : places) {
            const QString next = placesText.isEmpty() ? QLatin1Char(' ') + place
                                                      : placesText + QStringLiteral(", ") + place;
            if (next.size() >= kPlacesLength) break;
            placesText = next;
        }
        const QString offset = offsetText(zone.standardTimeOffset(now));
        zones.append({name, QStringLiteral("(GMT%1)%2").arg(offset, placesText)});
    }
    return zones;
}

bool isLeftOut(const QString& zoneName) {
    const qsizetype at = zoneName.indexOf(QStringLiteral("Standard Time"));
    const QString part = (at < 0 ? QString() : zoneName.left(at)).trimmed();
    for (const char* name : {"GMT", "Greenwich", "Greenland", "GTB"})
        if (part.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) return true;
    return false;
}

QString zoneTime(QTime computerTime, const QString& signedOffset) {
    const QTime offset = QTime::fromString(signedOffset.mid(1), QStringLiteral("hh:mm"));
    const int sign = signedOffset.startsWith(QLatin1Char('+')) ? 1 : -1;
    const int shift = -kTehranOffsetSeconds + sign * offset.msecsSinceStartOfDay() / 1000;
    return computerTime.addSecs(shift).toString(QStringLiteral("HH:mm:ss"));
}

std::optional<BoardPost> zoneLine(const Zone& zone, QTime computerTime) {
    if (isLeftOut(zone.name)) return std::nullopt;
    const qsizetype at = zone.name.indexOf(QStringLiteral("Standard Time"));
    const QString namePart = at < 0 ? QString() : zone.name.left(at);
    // The display after its "(GMT": the offset, ")" and the places.
    QString display = zone.display.mid(4);
    const qsizetype close = display.indexOf(QLatin1Char(')'));
    const QString places = close < 0 ? QString() : display.mid(close + 1, kPlacesLength);
    const QString key0 = namePart + QLatin1Char('(') + places + QLatin1Char(')');
    if (close >= 0) display.remove(close, kPlacesLength);
    if (display.isEmpty()) return std::nullopt;
    const QTime offset = QTime::fromString(display.mid(1), QStringLiteral("hh:mm"));
    if (!offset.isValid()) return std::nullopt;  // an unreadable offset gives no line, not a wrong time
    return BoardPost{key0 + QLatin1Char('[') + display + QLatin1Char(']'),
                     zoneTime(computerTime, display)};
}

QList<BoardPost> worldClockPosts(QTime computerTime, const QList<Zone>& zones) {
    QList<BoardPost> posts;
    posts.append({QStringLiteral("Iran(Tehran)"), computerTime.toString(QStringLiteral("HH:mm"))});
    for (const Zone& zone : zones)
        if (auto line = zoneLine(zone, computerTime)) posts.append(*line);
    return posts;
}

}  // namespace zartav::world_clock
