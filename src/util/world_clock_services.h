#pragma once

#include <QTime>
#include <functional>

namespace zartav {

// The world clock and computer report of TTools; both fill the message board.
class WorldClockServices {
public:
    // Polymorphic so the report can find the program's date services beside it in TTools.
    virtual ~WorldClockServices() = default;

    // The local time of every zone the platform knows, reckoned from this computer's clock
    // taken as Tehran time.
    void ShowTimes();
    // Screen, system version, volume, keyboard languages, name, memory and formats.
    void GetSystemPeroperties();

    // Tests pin the computer's clock; an empty function returns to the real one.
    static void setClockForTesting(std::function<QTime()> clock);
};

}  // namespace zartav
