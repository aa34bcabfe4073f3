#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QFileDialog;
class QWidget;

namespace zartav {

// The picture-file dialog of the entry form. One object for the run, so the dialog comes back
// in the folder the user last took a picture from.
class TOpenPictureDialog : public QObject {
    Q_OBJECT
public:
    explicit TOpenPictureDialog(QWidget* parent);
    ~TOpenPictureDialog() override;

    // Shows the dialog modally: the chosen file, or nothing when the user cancels.
    std::optional<QString> Execute();

    // The kinds of picture offered, all of them together first.
    static QString nameFilters();

    // Replaces the modal dialog (tests, scripted runs).
    std::function<std::optional<QString>()> chooser;

private:
    QWidget* parentWidget_;
    QFileDialog* dialog_ = nullptr;
};

}  // namespace zartav
