#include "dates/ui/date_picker_form.h"

#include "dates/ui/farsi_calendar.h"
#include "util/ui/dialog_helpers.h"

#include <QPushButton>

namespace zartav {

TDatePickerForm::TDatePickerForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("DatePickerForm"));
    setWindowTitle(QString());
    setLayoutDirection(Qt::RightToLeft);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFixedSize(221, 325);

    FarsiCalendar1 = new TFarsiCalendar(this);
    FarsiCalendar1->setObjectName(QStringLiteral("FarsiCalendar1"));
    FarsiCalendar1->move(0, 0);
    QPalette pal = FarsiCalendar1->palette();
    pal.setColor(QPalette::Window, QColor(221, 221, 255));
    FarsiCalendar1->setPalette(pal);
    FarsiCalendar1->setOffDayColor(QColor(255, 223, 223));
    FarsiCalendar1->setDisableColor(QColor(225, 255, 225));
    FarsiCalendar1->setEnableColor(QColor(157, 255, 157));
    FarsiCalendar1->setFocusedCellColor(QColor(255, 0, 0));

    dxButton1 = new QPushButton(QStringLiteral("قبول"), this);
    dxButton1->setObjectName(QStringLiteral("dxButton1"));
    dxButton1->setGeometry(221 - 8 - 75, 296, 75, 23);
    dxButton1->setDefault(true);
    dxButton2 = new QPushButton(QStringLiteral("انصراف"), this);
    dxButton2->setObjectName(QStringLiteral("dxButton2"));
    dxButton2->setGeometry(8, 296, 75, 23);
    setTabOrder(FarsiCalendar1, dxButton1);
    setTabOrder(dxButton1, dxButton2);

    connect(dxButton1, &QPushButton::clicked, this, &TDatePickerForm::dxButton1Click);
    connect(dxButton2, &QPushButton::clicked, this, [this] { done(kCancel); });

    setDatePicker(this);
}

TDatePickerForm::~TDatePickerForm() {
    if (datePicker() == this) setDatePicker(nullptr);
}

void TDatePickerForm::setDate(const QString& text) { FarsiCalendar1->SetDate(text); }

std::optional<QString> TDatePickerForm::pick() {
    if (exec() == kOk) return pickedDate_;
    return std::nullopt;
}

void TDatePickerForm::dxButton1Click() {
    pickedDate_ = FarsiCalendar1->SelectedDate();
    done(kOk);
}

void TDatePickerForm::reject() { done(kCancel); }

void TDatePickerForm::showEvent(QShowEvent* event) {
    centreOnScreen(this);
    QDialog::showEvent(event);
}

}  // namespace zartav
