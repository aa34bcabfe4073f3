#pragma once

#include "data/pedigree/mating.h"
#include "entry/catalogue_search.h"

#include <QDialog>
#include <QList>
#include <QStringList>

#include <utility>

class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace zartav {

class TDM;
class CataloguePickerModel;

// The bull catalogue picker: the whole catalogue in a read-only grid, and a search box that
// moves to the first bull whose foreign registration number begins with what is typed. The
// choice is the catalogue's current row when OK, Enter or a double-click closes the window. Created once and reused:
// the search text and the current row stay from one showing to the next.
class TDosSperm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kOk = 1;
    static constexpr int kCancel = 2;

    explicit TDosSperm(TDM& dm, QWidget* parent = nullptr);
    ~TDosSperm() override;

    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* dxButton2;  // OK
    QPushButton* dxButton1;  // Cancel
    QTableView* DBGrid1;

    // The search box's colour when nothing matches.
    static QColor notFoundColour();
    // What the picker's keys do, each with its keys as the keyboard labels them (for F1's list).
    static QList<std::pair<QString, QStringList>> keyboardKeys();

    // The registration number of the dam typed in the entry form: once it is known, the grid
    // shows, for each bull, the inbreeding their calf would have, and sorts by it when its title
    // is clicked. Read when the window is shown.
    void setDam(const QString& damNumber);

public slots:
    void FormShow();
    void Edit1Change(const QString& text);
    void reject() override;  // the title bar does not close it; Escape cancels (keyPressEvent)

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setSearchColour(const QColor& colour);
    void selectCurrentRowInGrid(int row);
    int findRow(const QString& prefix);
    void foldSearchKeys();
    void showMating();
    void sortByColumn(int section);

    TDM& dm_;
    catalogue::ForeignRegSearch search_;
    bool searchStale_ = true;  // the catalogue's rows changed since the keys were made
    bool syncing_ = false;
    CataloguePickerModel* model_ = nullptr;
    QSortFilterProxyModel* sorted_ = nullptr;
    pedigree::MatingTable mating_;
    bool matingStale_ = true;
    QString dam_;
};

}  // namespace zartav
