#include "entry/default_file_services.h"

#include "data/schema/record_schema.h"
#include "data/tdm.h"
#include "util/dialogs.h"

#include <QVariant>

namespace zartav::defaults {

namespace {

class PlainControlAccess : public ControlAccess {
public:
    QList<QObject*> components(QObject* window) const override {
        QList<QObject*> found;
        for (QObject* child : window->findChildren<QObject*>()) {
            const QString name = child->objectName();
            if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_"))) found << child;
        }
        return found;
    }
    QString kindName(const QObject* component) const override {
        const QVariant kind = component->property("zartavKind");
        if (kind.isValid()) return kind.toString();
        return QString::fromLatin1(component->metaObject()->className());
    }
    ControlRole role(const QObject*) const override { return ControlRole::Other; }
    QString text(const QObject*) const override { return {}; }
    void setText(QObject*, const QString&) const override {}
    QStringList items(const QObject*) const override { return {}; }
    int selectedIndex(const QObject*) const override { return -1; }
    void select(QObject*, int) const override {}
    bool isChecked(const QObject*) const override { return false; }
    void setChecked(QObject*, bool) const override {}
};

std::shared_ptr<const ControlAccess>& installedAccess() {
    static std::shared_ptr<const ControlAccess> access = std::make_shared<PlainControlAccess>();
    return access;
}

// Control names match in any letter case; the first component of that name wins.
QObject* findComponent(const QList<QObject*>& components, const QString& name) {
    if (name.isEmpty()) return nullptr;
    for (QObject* c : components) {
        if (c->objectName().compare(name, Qt::CaseInsensitive) == 0) return c;
    }
    return nullptr;
}

void applyValue(QObject* control, ControlRole role, const QString& value, const ControlAccess& access) {
    switch (role) {
    case ControlRole::TextBox: access.setText(control, value); break;
    case ControlRole::DropDown: access.select(control, dropDownIndexOf(access.items(control), value)); break;
    case ControlRole::RadioGroup:
        access.select(control, radioIndexFromText(value, static_cast<int>(access.items(control).size())));
        break;
    case ControlRole::CheckBox: access.setChecked(control, checkedFromText(value)); break;
    case ControlRole::Other: break;
    }
}

QString presentValue(const QObject* control, ControlRole role, const ControlAccess& access) {
    switch (role) {
    case ControlRole::TextBox:
    case ControlRole::DropDown: return oneLine(access.text(control));
    case ControlRole::RadioGroup: return radioIndexText(access.selectedIndex(control));
    case ControlRole::CheckBox: return checkedText(access.isChecked(control));
    case ControlRole::Other: break;
    }
    return {};
}

// The files are named after the object: without a name they would be "1.Ini" and ".Ini", shared
// by every unnamed object. Such an object is refused, and the user told.
bool isNamed(const QString& name) {
    if (!name.isEmpty()) return true;
    showMessage(QStringLiteral("اين پنجره يا جدول نامي ندارد؛ مقادير پيش فرض آن خوانده و ذخيره نمي شود."));
    return false;
}

}  // namespace

const ControlAccess& controlAccess() { return *installedAccess(); }

void setControlAccess(std::shared_ptr<const ControlAccess> access) {
    installedAccess() = access ? std::move(access) : std::make_shared<PlainControlAccess>();
}

bool RecordFields::hasField(const QString& name) const {
    const int index = RecordTable::columnIndex(name);
    // Photos are bytes, not text: a line naming one is left as it is.
    return index >= 0 && index < schema::kFirstPhotoColumnIndex;
}

QString RecordFields::fieldText(const QString& name) const { return table_.value(name); }

void RecordFields::setFieldText(const QString& name, const QString& value) {
    if (!table_.setValue(name, value)) {
        QString reason = table_.errorText();
        if (table_.state() == RecordState::Browse) reason = QStringLiteral("the record is not being inserted or edited");
        else if (reason.isEmpty()) reason = QStringLiteral("the field does not take this value");
        throw DefaultFileError((name + QStringLiteral(": ") + reason).toStdString());
    }
}

void saveTemplate(QObject* window, const ControlAccess& access) {
    if (!isNamed(window->objectName())) return;
    QStringList lines;
    for (const QObject* c : access.components(window)) lines << templateLine(access.kindName(c), c->objectName());
    writeLines(templateFilePath(window->objectName()), lines);
}

void applyControlDefaults(QObject* window, const ControlAccess& access) {
    if (!isNamed(window->objectName())) return;
    const auto lines = readLines(defaultsFilePath(window->objectName()));
    if (!lines) return;
    const QList<QObject*> components = access.components(window);
    for (const QString& text : *lines) {
        const ControlLine line = splitControlLine(text);
        QObject* control = findComponent(components, line.name);
        if (!control) continue;
        const ControlRole role = roleOfKind(line.kind);
        // A line of one kind naming a control of another is passed over.
        if (role == ControlRole::Other || access.role(control) != role) continue;
        applyValue(control, role, line.value, access);
    }
}

void storeControlDefaults(QObject* window, const ControlAccess& access) {
    if (!isNamed(window->objectName())) return;
    const QString path = defaultsFilePath(window->objectName());
    const auto lines = readLines(path);
    if (!lines) return;
    const QList<QObject*> components = access.components(window);
    QStringList out;
    for (const QString& text : *lines) {
        ControlLine line = splitControlLine(text);
        const QObject* control = findComponent(components, line.name);
        if (!control) {
            out << text;  // kept as it stands, whatever its form
            continue;
        }
        // The line takes the control's kind, and with a kind that holds a value, that value: a
        // line turned live never carries a stale one. A live line naming a control without a
        // value stays as it is rather than die.
        const ControlRole role = access.role(control);
        if (role == ControlRole::Other && roleOfKind(line.kind) != ControlRole::Other) {
            out << text;
            continue;
        }
        if (role != ControlRole::Other) line.value = presentValue(control, role, access);
        line.kind = access.kindName(control);
        out << joinControlLine(line);
    }
    writeLines(path, out);
}

void applyFieldDefaults(FieldSet& fields, const QString& component) {
    if (!isNamed(component)) return;
    const auto lines = readLines(defaultsFilePath(component));
    if (!lines) return;
    for (const QString& text : *lines) {
        if (text.trimmed().isEmpty()) continue;
        const FieldLine line = splitFieldLine(text);
        if (fields.hasField(line.name)) fields.setFieldText(line.name, line.value);
    }
}

void storeFieldDefaults(const FieldSet& fields, const QString& component) {
    if (!isNamed(component)) return;
    const QString path = defaultsFilePath(component);
    const auto lines = readLines(path);
    if (!lines) return;
    QStringList out;
    for (const QString& text : *lines) {
        const FieldLine line = splitFieldLine(text);
        if (fields.hasField(line.name)) out << line.name + QLatin1Char('~') + oneLine(fields.fieldText(line.name));
        else out << text;
    }
    writeLines(path, out);
}

}  // namespace zartav::defaults
