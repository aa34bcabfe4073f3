#include "data/certificates/certificate_numbering.h"

#include "data/certificates/certificate_register.h"
#include "data/schema/store_numbering.h"

namespace zartav::certificates {

std::optional<qint64> issuedHighWater(QSqlDatabase& db) { return numberHighWater(db, kIssueTable, "number"); }

bool raiseIssueNumbers(QSqlDatabase& db, qint64 atLeast, QString* error) {
    return raiseNumbers(db, kIssueTable, "number", atLeast, error);
}

}  // namespace zartav::certificates
