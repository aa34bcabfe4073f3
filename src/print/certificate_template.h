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

// Foreign: well-formed XML whose root is not <certificate-layout>, such as a template of the
// report engine the office used before.
enum class TemplateStatus { Missing, Loaded, Broken, Foreign };

struct LoadedTemplate {
    CertificateLayout layout;  // the file's, or the built-in one when it is not usable
    TemplateStatus status = TemplateStatus::Missing;
    QString error;        // why the file was refused, with its line
    QString farsiReason;  // the same for the user, when it is something they can put right
};

// Reads the layout file; shows nothing.
LoadedTemplate loadCertificateTemplate(const QString& path);

// The layout to print with: the file's when it reads, otherwise the built-in one. A broken file
// is reported through the message sink at every call; a foreign one once per run.
CertificateLayout certificateLayoutForPrint(const QString& path);

// The message shown for a file at `path` that cannot be used.
QString templateMessage(const QString& path, const LoadedTemplate& loaded);

}  // namespace zartav::print
