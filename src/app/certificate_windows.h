#pragma once

// The office's certificate windows: "بررسي گواهي" (a scan or photo of a certificate checked
// against this store) and "مشخصات صادر كننده" (the issuing office's texts on every certificate).

#include "print/certificate_verify.h"
#include "util/message_board.h"

#include <QDialog>
#include <QHash>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QThread;

namespace zartav {

class Connection;
class StoreWorker;
class TDM;
class TForm1;

class CertificateCheckForm : public QDialog {
    Q_OBJECT
public:
    // The store read inline over `store`, or through `worker` with the window's thread free.
    CertificateCheckForm(Connection& store, QWidget* parent = nullptr);
    CertificateCheckForm(StoreWorker& worker, QWidget* parent = nullptr);
    ~CertificateCheckForm() override;

    QPushButton* OpenButton = nullptr;
    QPushButton* CloseButton = nullptr;
    QLabel* VerdictLabel = nullptr;
    QTableWidget* FactsTable = nullptr;

    // Reads the file's code off the window's thread, then shows its verdict; checked() follows.
    void checkFile(const QString& path);
    const print::Verification& verification() const { return verification_; }

signals:
    void checked();

private:
    void build();
    void show(const print::Verification& v);

    std::unique_ptr<StoreWorker> own_;
    StoreWorker& store_;
    print::Verification verification_;
    QThread* worker_ = nullptr;  // while a file is being read
};

class IssuerDetailsDialog : public QDialog {
    Q_OBJECT
public:
    // Opens with the store's texts; an empty box stands for the default text.
    IssuerDetailsDialog(StoreWorker& store, QWidget* parent = nullptr);

    QHash<QString, QLineEdit*> Boxes;  // by the text's name in the office table
    QPushButton* SaveButton = nullptr;
    QPushButton* CancelButton = nullptr;

    // Saves the boxes for the whole store and closes with OK; a value that cannot be saved is
    // named in a message and the window stays open.
    bool save();

private:
    StoreWorker& store_;
};

// The office's texts that About shows as its contacts: those set, in the order name, address, contact.
QList<BoardPost> officeAboutLines(StoreWorker& store);

// Before the window prints: while the office's texts still hold stand-in words, says why and
// opens "مشخصات صادر كننده". True when an official page may print.
bool officeReadyToPrint(StoreWorker& store, QWidget* parent);

// Adds both windows to the main window's office commands.
void addCertificateCommands(TForm1& window, TDM& dm);

// "چاپ", the current record's certificate, and "چاپ گروهي", the records chosen or the herd's.
// A desk whose user may not issue previews and prints drafts of the one, and the other is greyed.
void addPrintCommands(TForm1& window, TDM& dm);

}  // namespace zartav
