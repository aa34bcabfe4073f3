#pragma once

#include "print/pedigree_chart.h"

#include <QDialog>
#include <functional>

class QPushButton;

namespace zartav {

class TDM;

// "شجره": a calf's pedigree over three generations, drawn right to left. A box of an ancestor
// that is a record of the store opens that record's own pedigree (and tells the main window,
// which makes it the current record). Printed and saved as PDF like a certificate.
class TPedigreeForm : public QDialog {
    Q_OBJECT
public:
    explicit TPedigreeForm(TDM& dm, QWidget* parent = nullptr);
    ~TPedigreeForm() override;

    // Reads the pedigree of record `id`, or of a calf being typed; false, with the reason shown,
    // when the store cannot be read.
    bool showRecord(qint64 id);
    bool showAnimal(const pedigree::Animal& calf);

    const print::PedigreeChart& chart() const { return chart_; }
    // The boxes that open a record, where the view draws them.
    QList<std::pair<QRectF, qint64>> links() const;
    // Opens the pedigree of an ancestor that is a record of the store.
    void openRecord(qint64 id);

    std::function<void(qint64 id)> recordOpened;
    // Tests answer in place of the dialogs; an empty name or false means the user declined.
    std::function<QString(QWidget*)> choosePdfFile;

    bool saveAsPdf();
    bool print();

    QPushButton* printButton;
    QPushButton* pdfButton;
    QPushButton* closeButton;

private:
    class ChartView;
    TDM& dm_;
    print::PedigreeChart chart_;
    ChartView* view_;
};

}  // namespace zartav
