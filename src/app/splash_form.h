#pragma once

#include <QWidget>

class QLabel;
class QTimer;

namespace zartav {

// The splash window: the product picture for two seconds while the program starts.
class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);
    ~TForm3() override;

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QTimer* Timer1 = nullptr;

public slots:
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* event) override;  // FormShow: starts the timer
};

}  // namespace zartav
