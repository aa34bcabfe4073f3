#pragma once

// The default-value files of the "ini" folder: one entry a line, fields separated by "~",
// Windows-1256 text with CR LF. Nothing here knows about widgets or tables; the services in
// default_templates.h put these pieces together.

#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>

namespace zartav::defaults {

// A defaults file could not be read or written, or a value could not be set. The message is
// the platform's (or the table's) own words.
class DefaultFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Paths in the "ini" folder: "1" + window name + ".Ini" for a template, name + ".Ini" for a
// control or field defaults file.
QString templateFilePath(const QString& windowName);
QString defaultsFilePath(const QString& name);

// The lines of a file; CR, LF and CR LF all end a line, and a final line ending adds no line.
// std::nullopt when the file does not exist. Throws DefaultFileError when it cannot be read.
std::optional<QStringList> readLines(const QString& path);
QStringList splitLines(const QString& text);

// Writes every non-blank line, each ending in CR LF, replacing the file. Throws
// DefaultFileError (a missing folder, a read-only file) and leaves an existing file as it was.
void writeLines(const QString& path, const QStringList& lines);

// kind "~" name "~" value. The value is everything after the second "~", so it may hold "~".
struct ControlLine {
    QString kind;
    QString name;
    QString value;
};
ControlLine splitControlLine(const QString& line);
QString joinControlLine(const ControlLine& line);
// The template line of a component: its kind and name with a single blank as the value.
QString templateLine(const QString& kind, const QString& name);

// field name "~" value.
struct FieldLine {
    QString name;
    QString value;
    bool hasSeparator = false;
};
FieldLine splitFieldLine(const QString& line);

// The five kinds of control the defaults know, by the kind name a line carries.
enum class ControlRole { TextBox, DropDown, RadioGroup, CheckBox, Other };
ControlRole roleOfKind(const QString& kind);  // any letter case

// Value rules.
// A radio group's stored index: a whole number, -1 (none) for anything else; below -1 counts as
// -1 and past the last button selects the last one.
int radioIndexFromText(const QString& value, int buttonCount);
QString radioIndexText(int index);
// A check box is checked by a number other than zero or the word True (any case).
bool checkedFromText(const QString& value);
QString checkedText(bool checked);
// The first item equal to the value ignoring letter case, -1 when none. Both sides are compared
// as the file holds them (folded for Windows-1256: ی as ي, Persian digits as 0-9), so a value
// typed with the Persian keyboard finds its item again.
int dropDownIndexOf(const QStringList& items, const QString& value);

// A value as one line of a file: each line break (CR LF, CR or LF) becomes one blank.
QString oneLine(const QString& value);

// Names that differ only in the letter case of Latin letters are the same name.
bool sameLatinName(const QString& a, const QString& b);

}  // namespace zartav::defaults
