#include "entry/default_templates.h"

#include "entry/default_file_services.h"

#include <QObject>

namespace zartav {

void DefaultTemplates::SaveTempleateForDef(QObject* window) const {
    defaults::saveTemplate(window, defaults::controlAccess());
}

void DefaultTemplates::LoadDef(QObject* window) const {
    defaults::applyControlDefaults(window, defaults::controlAccess());
}

void DefaultTemplates::SaveDef(QObject* window) const {
    defaults::storeControlDefaults(window, defaults::controlAccess());
}

void DefaultTemplates::LoadDefField(RecordTable& dataSet, const QObject* component) const {
    LoadDefField(dataSet, component->objectName());
}

void DefaultTemplates::SaveDefField(RecordTable& dataSet, const QObject* component) const {
    SaveDefField(dataSet, component->objectName());
}

void DefaultTemplates::LoadDefField(RecordTable& dataSet, const QString& componentName) const {
    defaults::RecordFields fields(dataSet);
    defaults::applyFieldDefaults(fields, componentName);
}

void DefaultTemplates::SaveDefField(RecordTable& dataSet, const QString& componentName) const {
    const defaults::RecordFields fields(dataSet);
    defaults::storeFieldDefaults(fields, componentName);
}

}  // namespace zartav
