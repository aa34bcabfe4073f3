#pragma once

// How the default-file services see our widgets. Each control reports the class name the
// defaults files use for it: a text box bound to a column is a "TDBEdit", a drop-down box
// "TDBComboBox", a check box "TDBCheckBox", a radio group (a group box of radio buttons)
// "TDBRadioGroup"; unbound ones are "TEdit", "TComboBox", "TCheckBox" and "TRadioGroup".
// A widget may name its kind itself with the dynamic property "zartavKind", and say it is
// bound with a non-empty "zartavColumn" (the entry form's boxes are bound by their columns).

#include "entry/default_file_services.h"

namespace zartav {

class WidgetControlAccess : public defaults::ControlAccess {
public:
    QList<QObject*> components(QObject* window) const override;
    QString kindName(const QObject* component) const override;
    defaults::ControlRole role(const QObject* component) const override;
    QString text(const QObject* control) const override;
    void setText(QObject* control, const QString& text) const override;
    QStringList items(const QObject* control) const override;
    int selectedIndex(const QObject* control) const override;
    void select(QObject* control, int index) const override;
    bool isChecked(const QObject* control) const override;
    void setChecked(QObject* control, bool checked) const override;
};

// Makes the default-file services of TTools work on widgets (called once at start-up).
void installWidgetControlAccess();

}  // namespace zartav
