#include "util/qt_translation.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QTranslator>
#include <memory>

using namespace zartav;

namespace {

// Every caption a window shows: labels, buttons and group titles.
QStringList widgetTexts(const QWidget& window) {
    QStringList texts;
    for (const QLabel* label : window.findChildren<QLabel*>()) texts << label->text();
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>()) texts << button->text();
    for (const QGroupBox* group : window.findChildren<QGroupBox*>()) texts << group->title();
    return texts;
}

}  // namespace

// Qt's own windows that the program opens (the print and page set-up dialogs of the certificate
// preview, the file dialogs) read in Farsi once the program has loaded Qt's translation.
TEST(QtTranslation, PrintPageSetupAndFileDialogsReadInFarsi) {
    std::unique_ptr<QTranslator> translator(installQtTranslation(*qApp));
    ASSERT_TRUE(translator) << "qtbase_fa.qm is missing (Debian qt6-translations-l10n)";

    QPrinter printer;
    QPrintDialog print(&printer);
    EXPECT_EQ(print.windowTitle(), QString::fromUtf8("چاپ"));
    const QStringList printTexts = widgetTexts(print);
    for (const char* text : {"چاپگر", "&نام:", "محدودهٔ چاپ", "چاپ همه", "تعداد:", "&چاپ", "انصراف"})
        EXPECT_TRUE(printTexts.contains(QString::fromUtf8(text))) << text << " not in " << printTexts.join(" | ").toStdString();

    QPageSetupDialog pageSetup(&printer);
    const QStringList pageTexts = widgetTexts(pageSetup);
    EXPECT_TRUE(pageTexts.contains(QString::fromUtf8("کاغذ"))) << pageTexts.join(" | ").toStdString();

    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    const QStringList fileTexts = widgetTexts(files);
    EXPECT_TRUE(fileTexts.contains(QString::fromUtf8("&نام پرونده:"))) << fileTexts.join(" | ").toStdString();

    QCoreApplication::removeTranslator(translator.get());
    EXPECT_EQ(QPrintDialog(&printer).windowTitle(), QStringLiteral("Print"));
}
