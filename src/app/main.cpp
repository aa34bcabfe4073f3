#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setLayoutDirection(Qt::RightToLeft);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("زرتاو"));
    window.show();
    return app.exec();
}
