#pragma once

// The certificate layout file: the program's own XML form of a CertificateLayout. The built-in
// layout serves whenever there is no file; a file that cannot be used never yields an empty page.

#include "print/certificate_layout.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace zartav::print {

inline constexpr const char* kTemplateFileName = "Center.Fr3";

std::optional<CertificateLayout> parseCertificateLayout(const QByteArray& xml, QString* error = nullptr);
QByteArray serializeCertificateLayout(const CertificateLayout& layout);

enum class TemplateStatus { Missing, Loaded, Broken };

struct LoadedTemplate {
    CertificateLayout layout;  // the file's, or the built-in one when it is missing or broken
    TemplateStatus status = TemplateStatus::Missing;
    QString error;  // why a broken file was refused
};

// Reads the layout file; shows nothing.
LoadedTemplate loadCertificateTemplate(const QString& path);

// The layout to print with: the file's when it reads, otherwise the built-in one. A file that
// exists but cannot be used is reported once through the message sink.
CertificateLayout certificateLayoutForPrint(const QString& path);

// The message shown for a file that cannot be used.
QString brokenTemplateMessage(const QString& path);

}  // namespace zartav::print
