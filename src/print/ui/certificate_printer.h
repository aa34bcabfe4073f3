#pragma once

// Certificates to a printer. The whole job is made first, in a spool file with the printer's
// paper, and handed to the printer only when it is complete: a job stopped or failed half-way
// sends nothing at all, never the first half of a herd.

#include "print/certificate_pdf.h"

class QPrinter;

namespace zartav::print {

// Prints the pages of `run` on `printer`: a printer of the system, or a PDF file when the print
// dialog chose "print to file". Pages the print dialog chose (from, to) narrow `run`.
// Any document to `printer` the same way: made whole as a PDF on the printer's paper, then handed
// to the printing system (or, for "print to file", written to that file).
PrintOutcome printDocument(QPrinter& printer, const QString& title, const PagePainter& paint, QString* error = nullptr);

PrintOutcome printCertificates(QPrinter& printer, const CertificateLayout& layout, CertificateSource& source,
                               PageRun run, QString* error = nullptr);

}  // namespace zartav::print
