#pragma once

// The certificate preview and the Print command's window side.

#include "print/certificate_layout.h"
#include "print/certificate_renderer.h"

#include <QList>
#include <functional>

class QPrinter;
class QWidget;

namespace zartav {
class TDM;
}

namespace zartav::print {

// Paints one page per record on a printer (or the preview's printer), each at true size.
void printCertificates(QPrinter& printer, const CertificateLayout& layout, const QList<CertificateRecord>& records);

// The modal preview at 100 %: print, zoom, page set-up, save as PDF; returns when it is closed.
void showCertificatePreview(QWidget* parent, const CertificateLayout& layout,
                            const QList<CertificateRecord>& records);

// Tests replace the modal preview; nullptr restores it.
using PreviewRunner =
    std::function<void(QWidget* parent, const CertificateLayout& layout, const QList<CertificateRecord>& records)>;
void setPreviewRunnerForTesting(PreviewRunner runner);

// The Print command: narrows the record table to the current record, shows its certificate
// with the layout of the template file (or the built-in one), then shows every record again
// with the printed one current.
void printCurrentCertificate(QWidget* parent, TDM& dm);

}  // namespace zartav::print
