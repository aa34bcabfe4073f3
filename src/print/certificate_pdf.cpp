#include "print/certificate_pdf.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QBuffer>
#include <QFile>

namespace zartav::print {

bool writeCertificatesPdf(const QString& path, const CertificateLayout& layout,
                          const QList<CertificateRecord>& records, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (records.isEmpty()) return fail(QStringLiteral("no certificate to write"));

    // The whole document is made in memory first: a failure half-way leaves no file behind.
    // (Not QSaveFile: its flush to disk costs more than drawing the page.)
    QByteArray document;
    {
        QBuffer buffer(&document);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("Zartav"));
        writer.setTitle(QStringLiteral("شناسنامه"));
        writer.setResolution(1200);
        // The renderer places everything from the paper's corner, margins included.
        const QPageSize size(QSizeF(layout.page.width, layout.page.height), QPageSize::Millimeter,
                             QString(), QPageSize::FuzzyMatch);
        writer.setPageLayout(QPageLayout(size, QPageLayout::Portrait, QMarginsF(), QPageLayout::Millimeter));
        QPainter painter;
        if (!painter.begin(&writer)) return fail(QStringLiteral("cannot start the PDF"));
        const QRectF paper(0, 0, layout.page.width / 25.4 * writer.resolution(),
                           layout.page.height / 25.4 * writer.resolution());
        for (qsizetype i = 0; i < records.size(); ++i) {
            if (i > 0 && !writer.newPage()) return fail(QStringLiteral("cannot add a page"));
            paintCertificate(painter, paper, layout, records[i]);
        }
        if (!painter.end()) return fail(QStringLiteral("cannot finish the PDF"));
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return fail(file.errorString());
    if (file.write(document) != document.size() || !file.flush()) {
        const QString why = file.errorString();
        file.close();
        file.remove();
        return fail(why);
    }
    file.close();
    return true;
}

}  // namespace zartav::print
