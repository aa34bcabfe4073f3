#pragma once

#include "print/certificate_layout.h"
#include "print/certificate_renderer.h"

#include <QList>
#include <QString>

namespace zartav::print {

// Writes one certificate page per record into one PDF file. The file appears only when every
// page was written; on failure nothing is left behind and `error` says why.
bool writeCertificatesPdf(const QString& path, const CertificateLayout& layout,
                          const QList<CertificateRecord>& records, QString* error = nullptr);

}  // namespace zartav::print
