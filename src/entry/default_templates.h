#pragma once

#include <QString>

class QObject;

namespace zartav {

class RecordTable;

// The field default templates of TTools: default values of a window's controls, or of a
// record's fields, kept in small text files in the "ini" folder. A missing defaults file is
// normal and does nothing; a file that cannot be written, or a field that does not take its
// value, throws defaults::DefaultFileError (src/entry/default_file.h) to the caller.
class DefaultTemplates {
public:
    // Writes "1" + window name + ".Ini": every component of the window as kind~name~ .
    void SaveTempleateForDef(QObject* window) const;
    // Applies / stores the window's control defaults file (window name + ".Ini").
    void LoadDef(QObject* window) const;
    void SaveDef(QObject* window) const;
    // Applies / stores the field defaults file named after the component (its object name)
    // on the current record of the data set. Loading needs the record in insert or edit mode.
    void LoadDefField(RecordTable& dataSet, const QObject* component) const;
    void SaveDefField(RecordTable& dataSet, const QObject* component) const;
    void LoadDefField(RecordTable& dataSet, const QString& componentName) const;
    void SaveDefField(RecordTable& dataSet, const QString& componentName) const;
};

}  // namespace zartav
