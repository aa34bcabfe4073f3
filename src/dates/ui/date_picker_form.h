#pragma once

#include "dates/date_picker_hook.h"

#include <QDialog>

class QPushButton;

namespace zartav {

class TFarsiCalendar;

// The date picker: a calendar and two buttons. Created once at start-up, it installs itself as
// the picker behind TTools::PickDateFromDate and is reused for every pick, so its calendar keeps
// the last date it showed.
class TDatePickerForm : public QDialog, public DatePicker {
    Q_OBJECT
public:
    static constexpr int kOk = 1;
    static constexpr int kCancel = 2;

    explicit TDatePickerForm(QWidget* parent = nullptr);
    ~TDatePickerForm() override;

    void setDate(const QString& text) override;
    std::optional<QString> pick() override;

    TFarsiCalendar* FarsiCalendar1;
    QPushButton* dxButton1;
    QPushButton* dxButton2;

    // The date the OK button took from the calendar.
    QString pickedDate() const { return pickedDate_; }

public slots:
    void dxButton1Click();
    void reject() override;  // Escape is Cancel

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString pickedDate_;
};

}  // namespace zartav
