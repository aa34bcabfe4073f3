#pragma once

// "درخواست هاي اصلاح": the open correction requests, for a registrar to approve or refuse, each
// changed column before and after side by side; and a clerk's desk told of its requests' answers.

#include "data/corrections/correction_requests.h"

#include <QDialog>

class QPushButton;
class QTableWidget;

namespace zartav {

class TDM;
class TForm1;

class CorrectionRequestsWindow : public QDialog {
    Q_OBJECT
public:
    explicit CorrectionRequestsWindow(TDM& dm, QWidget* parent = nullptr);

    QTableWidget* table() const { return table_; }
    QPushButton* approveButton() const { return approve_; }
    QPushButton* refuseButton() const { return refuse_; }
    // Reads the open requests again; false with the reason shown when they cannot be read.
    bool reload();
    // "تاييد": the chosen request applied to its record.
    bool approveChosen();
    // "رد": the chosen request refused, with the answer asked for.
    bool refuseChosen();

private:
    // The request of the chosen line; nothing when none is chosen.
    const corrections::Request* chosen() const;
    bool decide(const corrections::Request& request, bool approve, const QString& answer);
    void showChoice();

    TDM& dm_;
    QTableWidget* table_;
    QPushButton* approve_;
    QPushButton* refuse_;
    bool mayDecide_ = false;
    QList<corrections::Request> requests_;
    QList<int> lineRequest_;  // for each line, its request in requests_
};

// The command, in the "ابزار" group and the list's context menu; and, on a server whose roles are
// in force, the desk's look at its own requests' answers whenever the store tells of a change and
// when a store opens.
void addCorrectionRequestCommands(TForm1& window, TDM& dm);

// The question of "رد".
QString refusalQuestion();

}  // namespace zartav
