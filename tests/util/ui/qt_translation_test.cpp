#include "util/qt_translation.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QPrintPreviewDialog>
#include <QToolBar>
#include <QTranslator>
#include <memory>

using namespace zartav;

namespace {

QStringList actionTexts(const QWidget& window) {
    QStringList texts;
    for (const QToolBar* bar : window.findChildren<QToolBar*>())
        for (const QAction* action : bar->actions())
            if (!action->isSeparator()) texts << action->text();
    return texts;
}

}  // namespace

// Qt's own windows (the certificate preview, the file dialogs) read in Farsi once the program
// has loaded Qt's translation.
TEST(QtTranslation, PreviewToolbarAndFileDialogReadInFarsi) {
    std::unique_ptr<QTranslator> translator(installQtTranslation(*qApp));
    ASSERT_TRUE(translator) << "qtbase_fa.qm is missing (Debian qt6-translations-l10n)";

    QPrintPreviewDialog preview;
    const QStringList toolbar = actionTexts(preview);
    for (const char* text : {"چاپ", "صفحهٔ اول", "صفحهٔ قبلی", "صفحهٔ بعدی", "صفحهٔ آخر", "بزرگ‌نمایی",
                             "کوچک‌نمایی", "پیکربندی صفحه", "عمودی", "افقی"})
        EXPECT_TRUE(toolbar.contains(QString::fromUtf8(text))) << text << " not in " << toolbar.join(" | ").toStdString();
    EXPECT_EQ(preview.windowTitle(), QString::fromUtf8("پیش‌نمایش چاپ"));

    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    QStringList labels;
    for (const QLabel* label : files.findChildren<QLabel*>()) labels << label->text();
    EXPECT_TRUE(labels.contains(QString::fromUtf8("&نام پرونده:"))) << labels.join(" | ").toStdString();

    QCoreApplication::removeTranslator(translator.get());
    EXPECT_EQ(QPrintPreviewDialog().windowTitle(), QStringLiteral("Print Preview"));
}
