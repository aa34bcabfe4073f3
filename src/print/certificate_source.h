#pragma once

#include "print/certificate_renderer.h"

namespace zartav {
class RecordTable;
}

namespace zartav::print {

// The current record of the record table as the renderer takes it: every column's text and the
// three photos' bytes.
CertificateRecord certificateRecordFromTable(const RecordTable& table);

}  // namespace zartav::print
