#pragma once

#include <QByteArray>
#include <QDialog>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>
#include <memory>

class QColor;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QToolButton;

namespace zartav {

namespace pedigree {
class Pedigree;
}

class PictureBox;
class TDM;
class TDosSperm;
class TOpenPictureDialog;
class TPedigreeForm;

// The certificate entry form: every box is bound to one column of the record table's current
// record (in insert or edit mode while the form is shown). What is typed goes straight into the
// record; the New and Edit commands post or cancel it by the form's result. Created once and
// reused for every New and Edit.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    static constexpr int kOk = 1;
    static constexpr int kCancel = 2;

    explicit TForm2(TDM& dm, QWidget* parent = nullptr);
    ~TForm2() override;

    TDM& dataModule() const { return dm_; }

    // The catalogue picker the sire button opens (not owned).
    void setCataloguePicker(TDosSperm* picker) { picker_ = picker; }
    TDosSperm* cataloguePicker() const { return picker_; }
    // The pedigree window the "شجره" button opens for the record as typed (not owned).
    void setPedigreeWindow(TPedigreeForm* window) { pedigree_ = window; }
    QPushButton* pedigreeButton = nullptr;

    // Refills the six lists of stored values (province code and name, county, farm, herd code,
    // calf name); a list whose statement fails keeps its items, and one message names them.
    void FillLists();
    static QString storedValuesUnreadText(const QString& lists, const QString& store);
    // Shows the current record in the boxes, then the form modally: kOk or kCancel.
    int ShowModal();
    // Asked when OK has passed its date checks, before the form closes: false keeps the form
    // open with everything typed (the record could not be saved yet and may be tried again).
    void setOkConfirmation(std::function<bool()> confirm) { confirmOk_ = std::move(confirm); }
    // Puts the record's values into every box (and the photos into the picture boxes).
    void loadRecord();

    // Turns a picture file into the bitmap the next photo load stores; false when the file
    // cannot become one (the bitmap of an earlier load stays as it was).
    bool ConvertJPG2BMP(const QString& fileName);
    QByteArray temporaryBitmap() const { return temporaryBitmap_; }

    // The bound box of a column (nullptr for an unbound name).
    QWidget* boxOf(const QString& column) const;
    QString columnOf(const QWidget* box) const { return columns_.value(box); }

    // Fixed item lists.
    static QStringList mannerOfBirthItems();   // A
    static QStringList calfSexItems();         // B
    static QStringList serviceTypeItems();     // C
    static QStringList calvingMannerItems();   // D
    static QStringList patchColourItems();     // E

    // The message of a picture file that cannot be loaded.
    static QString photoFailureText();
    // The background of a box whose value OK refused.
    static QColor wrongBoxColour();
    // Asked when Escape would drop what was typed.
    static QString dropTypedQuestion();
    // What the form's keys do, each with its keys as the keyboard labels them (for F1's list).
    static QList<std::pair<QString, QStringList>> keyboardKeys();

    // Beside the sire: the calf's inbreeding and how complete its pedigree is, once its sire and
    // dam are known (empty otherwise); red above 6.25 %.
    QLabel* inbreedingLabel() const { return inbreeding_; }
    // Reads the pedigree of the record as typed and shows its inbreeding now.
    void showInbreeding();

    // Controls, named as the rest of the program knows them.
    QLineEdit* DBEdit1;
    QComboBox* DBComboBox1;
    QComboBox* DBComboBox2;
    QComboBox* DBComboBox3;
    QComboBox* DBComboBox4;
    QComboBox* DBComboBox5;
    QLineEdit* DBEdit7;
    QLineEdit* DBEdit8;
    QLineEdit* DBEdit9;
    QLineEdit* DBEdit10;
    QComboBox* DBComboBox6;
    QLineEdit* DBEdit12;
    QLineEdit* DBEdit13;
    QComboBox* DBComboBox7;
    QComboBox* DBComboBox8;
    QLineEdit* DBEdit16;
    QLineEdit* DBEdit17;
    QLineEdit* DBEdit18;
    QLineEdit* DBEdit19;
    QLineEdit* DBEdit20;
    QLineEdit* DBEdit21;
    QLineEdit* DBEdit22;
    QLineEdit* DBEdit23;
    QLineEdit* DBEdit24;
    QLineEdit* DBEdit25;
    QLineEdit* DBEdit26;
    QLineEdit* DBEdit27;
    QLineEdit* DBEdit28;
    QLineEdit* DBEdit29;
    QLineEdit* DBEdit30;
    QLineEdit* DBEdit31;
    QLineEdit* DBEdit32;
    QLineEdit* DBEdit33;
    QLineEdit* DBEdit34;
    QComboBox* DBComboBox13;
    QLineEdit* DBEdit44;
    QLineEdit* DBEdit35;
    QComboBox* DBComboBox9;
    QLineEdit* DBEdit37;
    QLineEdit* DBEdit38;
    QComboBox* DBComboBox10;
    QLineEdit* DBEdit40;
    QLineEdit* DBEdit41;
    QComboBox* DBComboBox11;
    QLineEdit* DBEdit43;
    QLineEdit* DBEdit46;
    QComboBox* DBComboBox12;
    QComboBox* DBComboBox14;
    QLineEdit* DBEdit50;
    QComboBox* DBComboBox15;
    QLineEdit* DBEdit48;
    QLineEdit* reasonBox;  // "علت اصلاح", while editing
    QPushButton* dxButton1;  // OK
    QPushButton* dxButton2;  // Cancel
    PictureBox* DBImage1;
    PictureBox* DBImage2;
    PictureBox* DBImage3;
    QToolButton* dxToolButton1;  // sire from the catalogue
    QToolButton* dxToolButton2;  // photo 1
    QToolButton* dxToolButton3;  // photo 2
    QToolButton* dxToolButton4;  // photo 3
    TOpenPictureDialog* OpenPictureDialog1;

public slots:
    void dxToolButton1Click();
    void DBComboBox14Change();
    void dxToolButton2Click();
    void dxToolButton3Click();
    void dxToolButton4Click();
    void DBImage1DblClick();
    void DBImage2DblClick();
    void DBImage3DblClick();
    void DBEdit10DblClick();
    void DBEdit44DblClick(QLineEdit* box);
    void dxButton1Click();
    void dxButton2Click();
    void reject() override;  // the title bar does not close it; Escape asks first (keyPressEvent)

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The figure of a pedigree the worker has read.
    void showInbreeding(pedigree::Pedigree& pedigree);
    void buildControls();
    void buildLayout();
    void bindControls();
    void loadPhoto(int photo);
    void writeColumn(QWidget* box, const QString& text);
    void showColumn(QWidget* box);
    // On OK: the typed values are checked (entry/entry_checks.h); a refusal is shown and its box
    // takes the focus. Corrections (completed dates, codes in 0-9) go into the boxes either way.
    bool checkTyped();
    // The keyboard: Enter goes to the next box (on the last box or OK it is OK), Escape cancels,
    // asking first when something was typed.
    QWidget* lastBox() const;
    void enterPressed(QWidget* box);
    void escapePressed();
    // On OK, last: the registry's checks warn, and the user saves anyway or goes back.
    bool confirmChecks();

    TDM& dm_;
    TDosSperm* picker_ = nullptr;
    TPedigreeForm* pedigree_ = nullptr;
    QHash<const QWidget*, QString> columns_;
    QHash<QString, QWidget*> boxes_;
    QHash<QWidget*, QLabel*> captions_;
    QList<QLineEdit*> dateBoxes_;
    QByteArray temporaryBitmap_;
    std::function<bool()> confirmOk_;
    bool loading_ = false;
    bool reasonRequired_ = false;
    bool typed_ = false;  // something was typed, picked or loaded since the form opened
    QLabel* inbreeding_ = nullptr;
    // Counts the figures asked for: only the latest one's answer is shown.
    quint64 inbreedingAsked_ = 0;
    QTimer* inbreedingTimer_ = nullptr;
};

}  // namespace zartav
