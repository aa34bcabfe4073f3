#include "app/main_window.h"
#include "app/message_board_form.h"
#include "app/splash_form.h"
#include "data/tdm.h"
#include "dates/date_picker_hook.h"
#include "dates/ui/date_picker_form.h"
#include "print/ui/certificate_preview.h"
#include "util/about_text.h"
#include "util/message_sink.h"
#include "util/ttools.h"
#include "util/ui/widget_message_sink.h"

#include <QApplication>
#include <QFont>
#include <QScreen>

int main(int argc, char** argv) {
    Q_INIT_RESOURCE(zartav_assets);
    QApplication app(argc, argv);
    // The program's title, before any window exists: the desktop shows it for the running
    // program and plain message boxes take it as their caption.
    QApplication::setApplicationDisplayName(QStringLiteral("زرتاو"));
    QApplication::setLayoutDirection(Qt::RightToLeft);
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               {QStringLiteral("Noto Sans Arabic UI"), QStringLiteral("Noto Sans Arabic"),
                                QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"),
                               {QStringLiteral("Noto Naskh Arabic"), QStringLiteral("DejaVu Serif")});
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    QApplication::setFont(font);

    zartav::WidgetMessageSink messages;
    zartav::setMessageSink(&messages);

    // The objects of the run, each created once, in this order.
    zartav::TForm1 form1;
    zartav::TDM dm;
    zartav::TTools tools;
    tools.FormCreate();
    zartav::TDatePickerForm datePicker(&form1);
    zartav::setDatePicker(&datePicker);
    zartav::TMessageBoardForm messageBoard(&form1);
    zartav::TForm3 splash;

    form1.setSplash(&splash);
    form1.PrintCommand = [&] { zartav::print::printCurrentCertificate(&form1, dm); };
    form1.AboutCommand = [&] { zartav::showAbout(messageBoard); };

    // Without a window manager (a virtual display) "maximised" means nothing: size it ourselves.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) form1.setGeometry(screen->availableGeometry());
    form1.showMaximized();
    const int result = app.exec();
    zartav::setDatePicker(nullptr);
    zartav::setMessageSink(nullptr);
    return result;
}
