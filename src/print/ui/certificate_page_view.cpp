#include "print/ui/certificate_page_view.h"

#include "print/certificate_renderer.h"

#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace zartav::print {

namespace {

constexpr int kGap = 12;             // pixels around and between pages
constexpr qint64 kCacheKb = 64 * 1024;  // pages kept for scrolling back, beyond those on screen

int clampToInt(qint64 v) { return int(std::clamp<qint64>(v, 0, INT_MAX)); }

}  // namespace

CertificatePageView::CertificatePageView(const CertificateLayout& layout, CertificateSource& source, QWidget* parent)
    : QAbstractScrollArea(parent), layout_(layout), source_(source), paper_(layout.page.width, layout.page.height) {
    setObjectName(QStringLiteral("CertificatePageView"));
    viewport()->setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    verticalScrollBar()->setSingleStep(40);
    horizontalScrollBar()->setSingleStep(40);
    connect(&reading_, &QFutureWatcherBase::finished, this, &CertificatePageView::readArrived);
}

double CertificatePageView::pixelsPerMm() const { return logicalDpiX() / 25.4 * zoom_; }

QSize CertificatePageView::pageSize() const {
    return QSize(std::max(1, qRound(paper_.width() * pixelsPerMm())), std::max(1, qRound(paper_.height() * pixelsPerMm())));
}

QRect CertificatePageView::pageRect(int index) const {
    const QSize size = pageSize();
    const int x = kGap + std::max(0, (viewport()->width() - size.width() - 2 * kGap) / 2);
    const qint64 y = kGap + qint64(index) * (size.height() + kGap);
    return QRect(QPoint(x, clampToInt(y)), size);
}

int CertificatePageView::pagesOnScreen() const {
    return std::max(1, viewport()->height() / (pageSize().height() + kGap));
}

void CertificatePageView::updateScrollBars() {
    const QSize size = pageSize();
    const qint64 height = kGap + qint64(pageCount()) * (size.height() + kGap);
    verticalScrollBar()->setRange(0, clampToInt(height - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    horizontalScrollBar()->setRange(0, std::max(0, size.width() + 2 * kGap - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    // Everything on screen stays drawn, whatever the zoom.
    const qint64 pageKb = qint64(size.width()) * size.height() * 4 * devicePixelRatio() * devicePixelRatio() / 1024;
    cache_.setMaxCost(clampToInt(std::max(kCacheKb, (pagesOnScreen() + 1) * pageKb)));
}

int CertificatePageView::currentPage() const {
    if (pageCount() == 0) return 0;
    const qint64 middle = verticalScrollBar()->value() + viewport()->height() / 2;
    return int(std::clamp<qint64>(middle / (pageSize().height() + kGap), 0, pageCount() - 1)) + 1;
}

void CertificatePageView::setCurrentPage(int page) {
    if (pageCount() == 0) return;
    page = std::clamp(page, 1, pageCount());
    verticalScrollBar()->setValue(pageRect(page - 1).top() - kGap);
}

void CertificatePageView::setZoomFactor(double factor) {
    factor = std::clamp(factor, kMinZoom, kMaxZoom);
    if (qFuzzyCompare(factor, zoom_)) return;
    const int page = currentPage();
    zoom_ = factor;
    dropPages();
    setCurrentPage(page);
    emit zoomChanged(zoom_);
}

void CertificatePageView::fitWidth() {
    setZoomFactor(double(viewport()->width() - 2 * kGap) / (paper_.width() * logicalDpiX() / 25.4));
}

void CertificatePageView::fitPage() {
    const double perMm = logicalDpiX() / 25.4;
    setZoomFactor(std::min(double(viewport()->width() - 2 * kGap) / (paper_.width() * perMm),
                           double(viewport()->height() - 2 * kGap) / (paper_.height() * perMm)));
}

void CertificatePageView::setPaperSize(const QSizeF& millimetres) {
    if (millimetres == paper_ || millimetres.isEmpty()) return;
    paper_ = millimetres;
    dropPages();
}

void CertificatePageView::dropPages() {
    cache_.clear();
    read_.clear();
    unreadable_.clear();
    ++readGeneration_;
    updateScrollBars();
    viewport()->update();
}

int CertificatePageView::lastPageOnScreen() const {
    const qint64 bottom = verticalScrollBar()->value() + viewport()->height();
    return int(std::clamp<qint64>(bottom / (pageSize().height() + kGap), 0, std::max(0, pageCount() - 1)));
}

bool CertificatePageView::readPages(int index) {
    if (read_.contains(index) || unreadable_.contains(index)) return true;
    if (waiting_) return false;
    const double perMm = pixelsPerMm() * devicePixelRatio();
    QFuture<RecordChunk> read = source_.read(index, std::max(index, lastPageOnScreen()));
    if (read.isFinished()) {
        // Held in memory, or read inline: drawn at once.
        RecordChunk chunk;
        if (read.resultCount() > 0) chunk = read.takeResult();
        chunk.first = index;
        for (CertificateRecord& record : chunk.records) preparePhotos(record, layout_, perMm);
        takeRead(std::move(chunk));
        return read_.contains(index) || unreadable_.contains(index);
    }
    // The photos are decoded as the records arrive, off this thread as well.
    waiting_ = true;
    waitingFirst_ = index;
    waitingGeneration_ = readGeneration_;
    reading_.setFuture(read.then(QtFuture::Launch::Async, [layout = layout_, perMm](RecordChunk chunk) {
        for (CertificateRecord& record : chunk.records) preparePhotos(record, layout, perMm);
        return chunk;
    }));
    return false;
}

void CertificatePageView::readArrived() {
    if (!waiting_) return;
    waiting_ = false;
    // Taken out of the future, so the watcher holds nothing of it.
    QFuture<RecordChunk> read = reading_.future();
    RecordChunk chunk;
    if (read.resultCount() > 0) chunk = read.takeResult();
    else chunk.failure = UnreadRecord{};  // stopped unanswered: the page says it was not read
    chunk.first = waitingFirst_;
    if (waitingGeneration_ == readGeneration_) takeRead(std::move(chunk));
    viewport()->update();
}

void CertificatePageView::takeRead(RecordChunk chunk) {
    // Records of an earlier read still here belong to pages scrolled past before they were drawn.
    read_.clear();
    for (qsizetype i = 0; i < chunk.records.size(); ++i) read_.insert(chunk.first + int(i), std::move(chunk.records[i]));
    if (chunk.failure) unreadable_.insert(chunk.first + int(chunk.records.size()), chunk.failure->id);
}

QImage CertificatePageView::drawPage(int index) {
    const double ratio = devicePixelRatio();
    const QSize size = pageSize();
    QImage image(size * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    const double perMm = pixelsPerMm();
    if (const auto record = read_.constFind(index); record != read_.cend()) {
        paintCertificate(painter, QRectF(0, 0, layout_.page.width * perMm, layout_.page.height * perMm), layout_, *record);
        read_.erase(record);
    } else {
        painter.setPen(Qt::darkRed);
        painter.drawText(QRect(QPoint(), size), Qt::AlignCenter,
                         QStringLiteral("ركورد شماره %1 خوانده نشد.").arg(unreadable_.value(index)));
    }
    painter.end();
    return image;
}

const QImage& CertificatePageView::page(int index) {
    if (const QImage* kept = cache_.object(index)) return *kept;
    if (!readPages(index)) {
        // Blank paper until the record arrives.
        if (blank_.size() != pageSize() * devicePixelRatio()) {
            blank_ = QImage(pageSize() * devicePixelRatio(), QImage::Format_RGB32);
            blank_.setDevicePixelRatio(devicePixelRatio());
            blank_.fill(Qt::white);
        }
        return blank_;
    }
    auto* image = new QImage(drawPage(index));
    // A page the cache will not take (it makes room for every page on screen, so only in a
    // moment of resizing) is still shown, from its own copy.
    unkept_ = *image;
    if (cache_.insert(index, image, int(qint64(unkept_.sizeInBytes()) / 1024))) unkept_ = QImage();
    return unkept_.isNull() ? *cache_.object(index) : unkept_;
}

void CertificatePageView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), QColor(0x80, 0x80, 0x80));
    if (pageCount() == 0) return;
    const int scrollY = verticalScrollBar()->value();
    const int scrollX = horizontalScrollBar()->value();
    const int step = pageSize().height() + kGap;
    const int first = std::max(0, (scrollY - kGap) / step);
    const int last = std::min(pageCount() - 1, (scrollY + viewport()->height()) / step);
    for (int i = first; i <= last; ++i) {
        const QRect r = pageRect(i).translated(-scrollX, -scrollY);
        painter.fillRect(r.translated(3, 3), QColor(0x50, 0x50, 0x50));  // shadow
        painter.drawImage(r, page(i));
    }
}

void CertificatePageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void CertificatePageView::scrollContentsBy(int, int) {
    viewport()->update();
    if (const int page = currentPage(); page != lastReported_) {
        lastReported_ = page;
        emit currentPageChanged(page);
    }
}

}  // namespace zartav::print
