#pragma once

#include "util/message_board.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace zartav::system_report {

// What the computer report says, gathered from whatever this platform offers.
struct Facts {
    int screenHeight = 0;
    int screenWidth = 0;
    // Operating-system version: Windows' own numbers there; the kernel release elsewhere.
    quint32 majorVersion = 0;
    quint32 minorVersion = 0;
    quint32 buildNumber = 0;
    QString platformId;
    std::optional<quint32> volumeSerial;  // of the system volume; none gives "Not Detect"
    QStringList keyboardLanguages;
    QString computerName;
    quint32 memoryLoadPercent = 0;
    quint64 totalPhysicalKb = 0;
    quint64 totalVirtualKb = 0;
};

Facts collectFacts();

// Language names of an XKB layout list such as "us,ir" (English, Persian): one per layout,
// so "gb,us" gives English twice.
QStringList languagesOfLayouts(const QString& xkbLayouts);

inline const QString kCaption = QStringLiteral("گزارش مشخصات كامپيوتر");

// The report's lines in order: date, screen, version, volume, languages (16 at most), name,
// memory, and the four date and time patterns in force.
QList<BoardPost> reportPosts(const Facts& facts, const QString& farsiToday);

}  // namespace zartav::system_report
