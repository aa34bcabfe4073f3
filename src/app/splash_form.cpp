#include "app/splash_form.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

namespace zartav {

TForm3::TForm3(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("Form3"));
    setLayoutDirection(Qt::RightToLeft);
    setFixedSize(400, 301);

    Image1 = new QLabel(this);
    Image1->setGeometry(0, 0, 400, 301);
    Image1->setPixmap(QPixmap(QStringLiteral(":/assets/splash.png")));
    Image1->setScaledContents(true);

    Label1 = new QLabel(QStringLiteral("گروه پرسوگ"), this);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(27);
    Label1->setFont(font);
    Label1->setStyleSheet(QStringLiteral("color: blue; background: transparent;"));
    Label1->setAttribute(Qt::WA_TranslucentBackground);
    Label1->adjustSize();
    Label1->move(252, 256);
    // The picture is 400 px wide: keep the whole name inside it.
    if (Label1->x() + Label1->width() > width()) Label1->move(width() - Label1->width(), 256);

    Timer1 = new QTimer(this);
    Timer1->setInterval(2000);
    connect(Timer1, &QTimer::timeout, this, &TForm3::Timer1Timer);
}

TForm3::~TForm3() = default;

void TForm3::showEvent(QShowEvent* event) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    Timer1->start();
    QWidget::showEvent(event);
}

void TForm3::Timer1Timer() { hide(); }

}  // namespace zartav
