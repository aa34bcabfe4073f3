#include "dates/date_picker_hook.h"

#include "dates/date_services.h"

#include <QObject>
#include <QVariant>

namespace zartav {

namespace {
DatePicker* installed = nullptr;
}

DatePicker* datePicker() { return installed; }

void setDatePicker(DatePicker* picker) { installed = picker; }

void pickDateForBox(QObject* box, const std::function<bool(const QString&)>& isValidDate,
                    const QString& today) {
    if (!box || !installed) return;
    const QString text = box->property("text").toString();
    if (text.trimmed().isEmpty())
        installed->setDate(today);
    else if (isValidDate(text))
        installed->setDate(text);  // as typed: the calendar completes it by its own reading
    if (const auto picked = installed->pick()) box->setProperty("text", *picked);
}

void DateServices::PickDateFromDate(QObject* box) {
    pickDateForBox(box, [this](const QString& text) { return IsValidDate(text); }, FarsiToday());
}

}  // namespace zartav
