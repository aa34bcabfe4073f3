#pragma once

// The five default-file services, over two small interfaces: the controls of a window and the
// fields of a record. The widget side implements ControlAccess (src/entry/ui/control_kinds.h)
// and installs it at start-up, so this library stays free of widgets.

#include "entry/default_file.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace zartav {
class RecordTable;
}

namespace zartav::defaults {

class ControlAccess {
public:
    virtual ~ControlAccess() = default;

    // The components the window owns, in their order (labels, buttons and dialogs included).
    virtual QList<QObject*> components(QObject* window) const = 0;
    // The component's class name as the program knows it ("TDBEdit", "TLabel" ...).
    virtual QString kindName(const QObject* component) const = 0;
    virtual ControlRole role(const QObject* component) const = 0;

    // Text box: the text. Drop-down box: the shown text.
    virtual QString text(const QObject* control) const = 0;
    virtual void setText(QObject* control, const QString& text) const = 0;
    // Drop-down box: its items. Radio group: its buttons' captions.
    virtual QStringList items(const QObject* control) const = 0;
    // Drop-down box or radio group: the selected item, -1 when none.
    virtual int selectedIndex(const QObject* control) const = 0;
    // -1 selects nothing (a drop-down box then shows empty text).
    virtual void select(QObject* control, int index) const = 0;
    // Check box.
    virtual bool isChecked(const QObject* control) const = 0;
    virtual void setChecked(QObject* control, bool checked) const = 0;
};

// The access in use. Until the widgets install theirs, a window's components are its named
// descendants, each of the kind its "zartavKind" property names (else its class name), and
// no value is read or set.
const ControlAccess& controlAccess();
void setControlAccess(std::shared_ptr<const ControlAccess> access);

// The fields of a data set's current record, as text.
class FieldSet {
public:
    virtual ~FieldSet() = default;
    virtual bool hasField(const QString& name) const = 0;  // Latin letters in any case
    virtual QString fieldText(const QString& name) const = 0;
    // Throws DefaultFileError when the field does not take the value.
    virtual void setFieldText(const QString& name, const QString& value) = 0;
};

// The record table's current record (in insert or edit mode for setting).
class RecordFields : public FieldSet {
public:
    explicit RecordFields(RecordTable& table) : table_(table) {}
    bool hasField(const QString& name) const override;
    QString fieldText(const QString& name) const override;
    void setFieldText(const QString& name, const QString& value) override;

private:
    RecordTable& table_;
};

// Writes the window's template: one line per component. Throws DefaultFileError.
void saveTemplate(QObject* window, const ControlAccess& access);
void applyControlDefaults(QObject* window, const ControlAccess& access);
void storeControlDefaults(QObject* window, const ControlAccess& access);
void applyFieldDefaults(FieldSet& fields, const QString& component);
void storeFieldDefaults(const FieldSet& fields, const QString& component);

}  // namespace zartav::defaults
