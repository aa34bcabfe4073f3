#pragma once

// Checking a certificate from its code: the signature against the office's public keys, and,
// with the office's store, the register and the record as it is now.

#include "print/certificate_code.h"
#include "print/certificate_seal.h"
#include "print/trust_list.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace zartav {
class StoreLink;
}

namespace zartav::print {

// The verdicts, numbered as zartav-cli verify exits with them. Unsigned: a code without a
// signature of an issue the register holds as unsigned; nothing but the register vouches for it.
enum class Verdict { Genuine = 0, Superseded = 3, UnknownKey = 4, Forged = 5, NoCode = 6, Unsigned = 7 };

// Why a code is forged.
enum class Forgery { None, Signature, Register, TakenBack, UnsignedOfSigned, Facts };

// One fact of a certificate: its caption, what the code says, what the store holds now (empty
// when there is no store or no record).
struct FactLine {
    QString caption;
    QString printed;
    QString stored;
};

struct Verification {
    Verdict verdict = Verdict::NoCode;
    std::optional<Seal> seal;
    QList<FactLine> facts;
    QStringList changed;       // columns changed since the issue (superseded)
    qint64 supersededBy = 0;   // the issue that replaced it, 0 when none
    bool recordDeleted = false;
    bool inRegister = false;   // the store's register holds this number
    bool checkedOffline = false;
    ReadFailure readFailure = ReadFailure::None;
    Forgery forgery = Forgery::None;
    QStringList forgedFacts;   // the captions of the facts that differ from the register's issue
    QString registerProblem;   // what does not hold in the register's issue
    QString farsi;             // the verdict for the user
    QString english;           // the same for the command line
    QString storeError;        // the store's words when it could not be read
    QString listDate;          // checked against trust lists: the date of the list that decided
};

// Checks a payload. `publicKey`: check offline with that key alone; otherwise `store` (open)
// gives the office's keys, the register and the record now.
Verification verifyPayload(const QByteArray& payload, StoreLink* store, const std::optional<QByteArray>& publicKey);

// Checks a payload offline against offices' trust lists: their keys, and the numbers each has
// superseded or taken back as of its date; the verdicts are those the store would give.
Verification verifyWithLists(const QByteArray& payload, const QList<TrustList>& lists);

// Checks the first of a reading's codes that is a certificate's; "no readable code" when none is.
Verification verifyReading(const CodeReading& reading, StoreLink* store, const std::optional<QByteArray>& publicKey);
Verification verifyReading(const CodeReading& reading, const QList<TrustList>& lists);

}  // namespace zartav::print
