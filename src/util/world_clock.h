#pragma once

#include "util/message_board.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace zartav::world_clock {

// One time zone as Windows names and displays it: "Iran Standard Time",
// "(GMT+03:30) Tehran". Zones without an offset from Greenwich display "(GMT) places".
struct Zone {
    QString name;
    QString display;
};

// The platform's zones under their Windows names (where the time-zone database maps one), with
// the places of every database zone of that name and the standard (winter) offset at `now`, in
// the order Windows lists them (by name).
QList<Zone> platformZones(const QDateTime& now);

// "+03:30", "-05:00"; empty for Greenwich itself.
QString offsetText(int offsetSeconds);

// GMT, Greenwich, Greenland and GTB are left out, whatever their displays say.
bool isLeftOut(const QString& zoneName);

// The zone's time of day, reckoned from the computer's clock taken as Tehran time (+03:30).
QString zoneTime(QTime computerTime, const QString& signedOffset);

// The board line of one zone, or nothing for a left-out zone or a display without an offset.
std::optional<BoardPost> zoneLine(const Zone& zone, QTime computerTime);

// Every line of the world clock: Tehran first (the computer's time, HH:MM), then the zones.
QList<BoardPost> worldClockPosts(QTime computerTime, const QList<Zone>& zones);

inline const QString kCaption = QStringLiteral("ساعتهاي جهان");

}  // namespace zartav::world_clock
