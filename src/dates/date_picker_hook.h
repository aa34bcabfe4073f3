#pragma once

#include <QString>
#include <functional>
#include <optional>

class QObject;

namespace zartav {

// The date picker dialog is a window, so the service that opens it for an edit box cannot
// show it itself: the program installs its dialog here at start-up. Without one (the command-line
// tool, core tests) picking a date does nothing.
class DatePicker {
public:
    virtual ~DatePicker() = default;
    // Puts the picker's calendar on `text` as typed; the calendar completes it, or shows its own
    // message and keeps its date.
    virtual void setDate(const QString& text) = 0;
    // Shows the picker modally: the picked date on OK, nothing on Cancel.
    virtual std::optional<QString> pick() = 0;
};

DatePicker* datePicker();
// Not owned; nullptr removes it.
void setDatePicker(DatePicker* picker);

// Opens the picker on the date in `box`'s "text" property and writes the picked date back into
// it on OK. A blank box opens on `today`; a text that `isValidDate` rejects (it shows why) leaves
// the picker on the date it had. Cancel never touches the box.
void pickDateForBox(QObject* box, const std::function<bool(const QString&)>& isValidDate,
                    const QString& today);

}  // namespace zartav
