// The real preview window: modal, at 100 %, with its PDF button; closed by the test itself.
#include "../certificate_fixture.h"
#include "print/ui/certificate_preview.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTimer>
#include <QToolBar>

namespace zartav::print {
namespace {

TEST(CertificatePreview, OpensModallyAtFullSizeWithAPdfButton) {
    bool seen = false;
    double zoom = 0;
    int pages = 0;
    bool pdfButton = false;
    // Looks for the open preview until it appears, checks it and closes it.
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        seen = true;
        if (auto* preview = dialog->findChild<QPrintPreviewWidget*>()) {
            zoom = preview->zoomFactor();
            pages = preview->pageCount();
        }
        if (auto* bar = dialog->findChild<QToolBar*>())
            for (QAction* a : bar->actions()) pdfButton = pdfButton || a->text() == QLatin1String("PDF");
        if (const QByteArray shot = qgetenv("ZARTAV_PREVIEW_SHOT"); !shot.isEmpty())
            dialog->grab().save(QString::fromLocal8Bit(shot));
        dialog->reject();
    });
    poll.start();
    QTimer::singleShot(20000, [] {  // never leave a test hanging on a window
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    showCertificatePreview(nullptr, builtinCertificateLayout(), {sample::realisticRecord()});
    EXPECT_TRUE(seen);
    EXPECT_DOUBLE_EQ(zoom, 1.0);
    EXPECT_EQ(pages, 1);
    EXPECT_TRUE(pdfButton);
}

}  // namespace
}  // namespace zartav::print
