#pragma once

// The preview's pages, one under the other. A page is drawn (its record read, its photos
// decoded) only when it comes on screen, and only the last few drawn are kept, so scrolling
// through ten thousand certificates holds no more than scrolling through ten.

#include "print/certificate_layout.h"
#include "print/certificate_source.h"

#include <QAbstractScrollArea>
#include <QCache>
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
};

}  // namespace zartav::print
