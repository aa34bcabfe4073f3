#pragma once

// "اتصال به سرور": where this desk keeps its records. The office's server (its address, the
// user and, for this run only, the password), or this computer's own data file. The choice is
// tried before it is saved; the saved setting never holds a password.

#include "data/engine/store_address.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zartav {

class TForm1;

class StoreConnectionDialog : public QDialog {
    Q_OBJECT
public:
    // Opens with `current` (the store in use) filled in.
    explicit StoreConnectionDialog(const StoreAddress& current, QWidget* parent = nullptr);

    QRadioButton* FileChoice = nullptr;
    QRadioButton* ServerChoice = nullptr;
    QLineEdit* HostEdit = nullptr;
    QLineEdit* PortEdit = nullptr;
    QLineEdit* DatabaseEdit = nullptr;
    QLineEdit* UserEdit = nullptr;
    QLineEdit* PasswordEdit = nullptr;
    QCheckBox* EncryptedCheck = nullptr;
    QPushButton* TestButton = nullptr;
    QPushButton* SaveButton = nullptr;
    QPushButton* CancelButton = nullptr;

    // The store the boxes describe, the password included (held in memory only).
    StoreAddress address() const;

    // Tries the store; tells the user how it went. True when it opens.
    bool testConnection();
    // Tries the store and, when it opens, saves it as this desk's store and closes with OK.
    void save();

private:
    void showChoice();

    StoreAddress current_;
    QString fileAddress_;
};

// Asked before a desk's records are copied onto a server that holds none.
QString copyToServerQuestion(const QString& server, qint64 records);

// Adds "اتصال به سرور" to the main window's office commands: the dialog, and on OK the window
// changes over to the chosen store. A desk moving from a file with records to a server without
// any is offered to copy them there first (copy-store, with its progress).
void addStoreConnectionCommand(TForm1& window);

}  // namespace zartav
