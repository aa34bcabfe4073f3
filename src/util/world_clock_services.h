#pragma once

#include <QString>
#include <QTime>
#include <functional>

namespace zartav {

// The world clock and computer report of TTools; both fill the message board.
class WorldClockServices {
public:
    // `today` gives the day the report names, as the program holds it; without it the report
    // names none.
    explicit WorldClockServices(std::function<QString()> today = {}) : today_(std::move(today)) {}

    // The local time of every zone the platform knows, reckoned from this computer's clock
    // taken as Tehran time.
    void ShowTimes();
    // Screen, system version, volume, keyboard languages, name, memory and formats.
    void GetSystemPeroperties();

    // Tests pin the computer's clock; an empty function returns to the real one.
    static void setClockForTesting(std::function<QTime()> clock);

private:
    std::function<QString()> today_;
};

}  // namespace zartav
