#include "util/world_clock.h"

#include <QTimeZone>
#include <algorithm>
#include <cstdlib>
#include <map>

namespace zartav::world_clock {
namespace {

constexpr int kTehranOffsetSeconds = 3 * 3600 + 30 * 60;
constexpr qsizetype kPlacesLength = 100;

// The zones Windows lists under its Time Zones key. The database ids of each come from Qt's
// Windows table, which names some by their older ids (Asia/Calcutta, Asia/Katmandu, Etc/GMT+12)
// that the database's own list leaves out: starting from the database's list would lose them.
const char* const kWindowsZoneIds[] = {
    "Dateline Standard Time", "UTC-11", "Aleutian Standard Time", "Hawaiian Standard Time",
    "Marquesas Standard Time", "Alaskan Standard Time", "UTC-09", "Pacific Standard Time (Mexico)",
    "UTC-08", "Pacific Standard Time", "US Mountain Standard Time", "Mountain Standard Time (Mexico)",
    "Mountain Standard Time", "Yukon Standard Time", "Central America Standard Time",
    "Central Standard Time", "Easter Island Standard Time", "Central Standard Time (Mexico)",
    "Canada Central Standard Time", "SA Pacific Standard Time", "Eastern Standard Time (Mexico)",
    "Eastern Standard Time", "Haiti Standard Time", "Cuba Standard Time", "US Eastern Standard Time",
    "Turks And Caicos Standard Time", "Paraguay Standard Time", "Atlantic Standard Time",
    "Venezuela Standard Time", "Central Brazilian Standard Time", "SA Western Standard Time",
    "Pacific SA Standard Time", "Newfoundland Standard Time", "Tocantins Standard Time",
    "E. South America Standard Time", "SA Eastern Standard Time", "Argentina Standard Time",
    "Greenland Standard Time", "Montevideo Standard Time", "Magallanes Standard Time",
    "Saint Pierre Standard Time", "Bahia Standard Time", "UTC-02", "Azores Standard Time",
    "Cape Verde Standard Time", "UTC", "GMT Standard Time", "Greenwich Standard Time",
    "Sao Tome Standard Time", "Morocco Standard Time", "W. Europe Standard Time",
    "Central Europe Standard Time", "Romance Standard Time", "Central European Standard Time",
    "W. Central Africa Standard Time", "Jordan Standard Time", "GTB Standard Time",
    "Middle East Standard Time", "Egypt Standard Time", "E. Europe Standard Time", "Syria Standard Time",
    "West Bank Standard Time", "South Africa Standard Time", "FLE Standard Time", "Israel Standard Time",
    "South Sudan Standard Time", "Kaliningrad Standard Time", "Sudan Standard Time", "Libya Standard Time",
    "Namibia Standard Time", "Arabic Standard Time", "Turkey Standard Time", "Arab Standard Time",
    "Belarus Standard Time", "Russian Standard Time", "E. Africa Standard Time", "Volgograd Standard Time",
    "Iran Standard Time", "Arabian Standard Time", "Astrakhan Standard Time", "Azerbaijan Standard Time",
    "Russia Time Zone 3", "Mauritius Standard Time", "Saratov Standard Time", "Georgian Standard Time",
    "Caucasus Standard Time", "Afghanistan Standard Time", "West Asia Standard Time",
    "Ekaterinburg Standard Time", "Pakistan Standard Time", "Qyzylorda Standard Time",
    "India Standard Time", "Sri Lanka Standard Time", "Nepal Standard Time", "Central Asia Standard Time",
    "Bangladesh Standard Time", "Omsk Standard Time", "Myanmar Standard Time", "SE Asia Standard Time",
    "Altai Standard Time", "W. Mongolia Standard Time", "North Asia Standard Time",
    "N. Central Asia Standard Time", "Tomsk Standard Time", "China Standard Time",
    "North Asia East Standard Time", "Singapore Standard Time", "W. Australia Standard Time",
    "Taipei Standard Time", "Ulaanbaatar Standard Time", "Aus Central W. Standard Time",
    "Transbaikal Standard Time", "Tokyo Standard Time", "North Korea Standard Time", "Korea Standard Time",
    "Yakutsk Standard Time", "Cen. Australia Standard Time", "AUS Central Standard Time",
    "E. Australia Standard Time", "AUS Eastern Standard Time", "West Pacific Standard Time",
    "Tasmania Standard Time", "Vladivostok Standard Time", "Lord Howe Standard Time",
    "Bougainville Standard Time", "Russia Time Zone 10", "Magadan Standard Time", "Norfolk Standard Time",
    "Sakhalin Standard Time", "Central Pacific Standard Time", "Russia Time Zone 11",
    "New Zealand Standard Time", "UTC+12", "Fiji Standard Time", "Chatham Islands Standard Time", "UTC+13",
    "Tonga Standard Time", "Samoa Standard Time", "Line Islands Standard Time",
};

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
    for (const char* windowsId : kWindowsZoneIds) byName[QString::fromLatin1(windowsId)] = QTimeZone::windowsIdToIanaIds(windowsId);
    // Any further zone the platform maps to a Windows name joins it.
    for (const QByteArray& iana : QTimeZone::availableTimeZoneIds()) {
        const QByteArray windowsId = QTimeZone::ianaIdToWindowsId(iana);
        if (windowsId.isEmpty()) continue;
        QList<QByteArray>& ianaIds = byName[QString::fromLatin1(windowsId)];
        if (!ianaIds.contains(iana)) ianaIds.append(iana);
    }
    QList<Zone> zones;
    for (auto& [name, ianaIds] : byName) {
        QList<QByteArray> candidates{QTimeZone::windowsIdToDefaultIanaId(name.toLatin1())};
        candidates += ianaIds;
        QTimeZone zone;
        for (const QByteArray& iana : candidates) {
            if (!iana.isEmpty() && (zone = QTimeZone(iana)).isValid()) break;
        }
        if (!zone.isValid()) continue;
        // "Etc/GMT-12" is a +12:00 zone (the sign is POSIX's): such ids name no place.
        QStringList places;
        for (const QByteArray& iana : candidates) {
            if (iana.isEmpty() || iana.startsWith("Etc/")) continue;
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
