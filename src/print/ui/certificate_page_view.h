#pragma once

// The preview's pages, one under the other. A page is drawn (its record read, its photos
// decoded) only when it comes on screen, and only the last few drawn are kept, so scrolling
// through ten thousand certificates holds no more than scrolling through ten. The records of the
// pages on screen are read together, off the window's thread where the source can: a page
// waiting for its record shows as blank paper until it arrives.

#include "print/certificate_layout.h"
#include "print/certificate_source.h"

#include <QAbstractScrollArea>
#include <QCache>
#include <QFutureWatcher>
#include <QHash>
#include <QImage>
#include <QSizeF>

namespace zartav::print {

class CertificatePageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    CertificatePageView(const CertificateLayout& layout, CertificateSource& source, QWidget* parent = nullptr);

    int pageCount() const { return source_.count(); }
    // The page at the middle of the view, from 1.
    int currentPage() const;
    void setCurrentPage(int page);
    // 1 is true size on the screen.
    double zoomFactor() const { return zoom_; }
    void setZoomFactor(double factor);
    void fitWidth();
    void fitPage();
    // The sheet each page is drawn on, in millimetres (the printer's paper).
    void setPaperSize(const QSizeF& millimetres);
    // How many pages the view shows at once, at least one.
    int pagesOnScreen() const;
    // Pages drawn and kept for the screen.
    int pagesInMemory() const { return cache_.count(); }

    static constexpr double kMinZoom = 0.1;
    static constexpr double kMaxZoom = 4.0;

signals:
    void currentPageChanged(int page);
    void zoomChanged(double factor);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    QSize pageSize() const;  // device-independent pixels at the current zoom
    QRect pageRect(int index) const;  // in the contents, from 0
    const QImage& page(int index);
    // Asks the source for the records of the pages on screen from `index` on, unless a read is
    // under way; answers whether page `index` can be drawn now.
    bool readPages(int index);
    void readArrived();
    void takeRead(RecordChunk chunk);
    QImage drawPage(int index);
    int lastPageOnScreen() const;
    void updateScrollBars();
    void dropPages();
    double pixelsPerMm() const;

    CertificateLayout layout_;
    CertificateSource& source_;
    QSizeF paper_;
    double zoom_ = 1.0;
    int lastReported_ = 0;
    QCache<int, QImage> cache_;
    QImage unkept_;
    QImage blank_;
    // Records read for pages not drawn yet, their photos decoded for the zoom they were read at,
    // and the pages whose record could not be read (its "ID").
    QHash<int, CertificateRecord> read_;
    QHash<int, qint64> unreadable_;
    QFutureWatcher<RecordChunk> reading_;
    bool waiting_ = false;
    int waitingFirst_ = 0;
    int waitingGeneration_ = 0;
    int readGeneration_ = 0;  // a read asked before the zoom or the paper changed is not drawn
};

}  // namespace zartav::print
