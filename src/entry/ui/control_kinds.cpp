#include "entry/ui/control_kinds.h"

#include "entry/ui/entry_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace zartav {

namespace {

using defaults::ControlRole;

// A radio group is a group box whose own radio buttons are its choices, in their order.
QList<QRadioButton*> radioButtons(const QObject* control) {
    const auto* group = qobject_cast<const QGroupBox*>(control);
    if (!group) return {};
    return group->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
}

bool isRadioGroup(const QObject* control) { return !radioButtons(control).isEmpty(); }

bool isBound(const QObject* control) {
    if (!control->property("zartavColumn").toString().isEmpty()) return true;
    for (const QObject* p = control->parent(); p; p = p->parent()) {
        if (const auto* form = qobject_cast<const TForm2*>(p)) {
            const auto* widget = qobject_cast<const QWidget*>(control);
            return widget && !form->columnOf(widget).isEmpty();
        }
    }
    return false;
}

// Widgets that only hold other components; the components inside them belong to the window.
// Everything else (a drop-down box's own line edit, a dialog's inner widgets) is one component.
bool isContainer(const QObject* object) {
    if (isRadioGroup(object)) return false;
    const char* cls = object->metaObject()->className();
    return qstrcmp(cls, "QWidget") == 0 || qstrcmp(cls, "QFrame") == 0 || qstrcmp(cls, "QGroupBox") == 0 ||
           qstrcmp(cls, "QScrollArea") == 0 || qstrcmp(cls, "QSplitter") == 0 || qstrcmp(cls, "QStackedWidget") == 0 ||
           qstrcmp(cls, "QTabWidget") == 0;
}

bool isComponent(const QObject* object) {
    if (qobject_cast<const QLayout*>(object)) return false;
    const QString name = object->objectName();
    if (name.startsWith(QLatin1String("qt_"))) return false;
    // Captions count even without a name of their own.
    return !name.isEmpty() || qobject_cast<const QLabel*>(object);
}

void collect(QObject* parent, QList<QObject*>& found) {
    for (QObject* child : parent->children()) {
        if (isComponent(child)) found << child;
        if (isContainer(child)) collect(child, found);
    }
}

}  // namespace

QList<QObject*> WidgetControlAccess::components(QObject* window) const {
    QList<QObject*> found;
    if (window) collect(window, found);
    return found;
}

QString WidgetControlAccess::kindName(const QObject* component) const {
    const QVariant own = component->property("zartavKind");
    if (own.isValid() && !own.toString().isEmpty()) return own.toString();
    const bool bound = isBound(component);
    if (qobject_cast<const QLineEdit*>(component)) return bound ? QStringLiteral("TDBEdit") : QStringLiteral("TEdit");
    if (qobject_cast<const QComboBox*>(component)) return bound ? QStringLiteral("TDBComboBox") : QStringLiteral("TComboBox");
    if (qobject_cast<const QCheckBox*>(component)) return bound ? QStringLiteral("TDBCheckBox") : QStringLiteral("TCheckBox");
    if (isRadioGroup(component)) return bound ? QStringLiteral("TDBRadioGroup") : QStringLiteral("TRadioGroup");
    if (qobject_cast<const QPushButton*>(component)) return QStringLiteral("TButton");
    // Others by their class: our own carry a T name already, Qt's lose the Q.
    QString cls = QString::fromLatin1(component->metaObject()->className());
    cls = cls.mid(cls.lastIndexOf(QLatin1Char(':')) + 1);
    if (cls.startsWith(QLatin1Char('T'))) return cls;
    if (cls.startsWith(QLatin1Char('Q'))) return QLatin1Char('T') + cls.mid(1);
    return QLatin1Char('T') + cls;
}

ControlRole WidgetControlAccess::role(const QObject* component) const {
    const QVariant own = component->property("zartavKind");
    if (own.isValid() && !own.toString().isEmpty()) return defaults::roleOfKind(own.toString());
    if (qobject_cast<const QLineEdit*>(component)) return ControlRole::TextBox;
    if (qobject_cast<const QComboBox*>(component)) return ControlRole::DropDown;
    if (qobject_cast<const QCheckBox*>(component)) return ControlRole::CheckBox;
    if (isRadioGroup(component)) return ControlRole::RadioGroup;
    return ControlRole::Other;
}

QString WidgetControlAccess::text(const QObject* control) const {
    if (const auto* line = qobject_cast<const QLineEdit*>(control)) return line->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(control)) return combo->currentText();
    return {};
}

void WidgetControlAccess::setText(QObject* control, const QString& text) const {
    if (auto* line = qobject_cast<QLineEdit*>(control)) line->setText(text);
}

QStringList WidgetControlAccess::items(const QObject* control) const {
    QStringList list;
    if (const auto* combo = qobject_cast<const QComboBox*>(control)) {
        for (int i = 0; i < combo->count(); ++i) list << combo->itemText(i);
    } else {
        for (const QRadioButton* b : radioButtons(control)) list << b->text();
    }
    return list;
}

int WidgetControlAccess::selectedIndex(const QObject* control) const {
    if (const auto* combo = qobject_cast<const QComboBox*>(control)) return combo->currentIndex();
    const QList<QRadioButton*> buttons = radioButtons(control);
    for (int i = 0; i < buttons.size(); ++i) {
        if (buttons.at(i)->isChecked()) return i;
    }
    return -1;
}

void WidgetControlAccess::select(QObject* control, int index) const {
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        combo->setCurrentIndex(index);
        if (index < 0 && combo->isEditable()) combo->setEditText(QString());
        return;
    }
    const QList<QRadioButton*> buttons = radioButtons(control);
    for (int i = 0; i < buttons.size(); ++i) {
        QRadioButton* b = buttons.at(i);
        // Auto-exclusive buttons refuse to be all unchecked: lift that while clearing.
        const bool exclusive = b->autoExclusive();
        b->setAutoExclusive(false);
        b->setChecked(i == index);
        b->setAutoExclusive(exclusive);
    }
}

bool WidgetControlAccess::isChecked(const QObject* control) const {
    const auto* box = qobject_cast<const QCheckBox*>(control);
    return box && box->isChecked();
}

void WidgetControlAccess::setChecked(QObject* control, bool checked) const {
    if (auto* box = qobject_cast<QCheckBox*>(control)) box->setChecked(checked);
}

void installWidgetControlAccess() { defaults::setControlAccess(std::make_shared<WidgetControlAccess>()); }

}  // namespace zartav
