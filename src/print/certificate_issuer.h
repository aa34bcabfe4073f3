#pragma once

// Issuing while printing: each certificate put out to a printer or a file gets its number from
// the store's register, and its code is signed with the desk's key when it has one.

#include "data/certificates/certificate_register.h"
#include "data/certificates/office_texts.h"
#include "print/certificate_layout.h"
#include "print/certificate_renderer.h"
#include "print/certificate_seal.h"

#include <QHash>
#include <memory>
#include <optional>

namespace zartav {
class Connection;
class StoreWorker;
}

namespace zartav::print {

// The facts of a certificate's code, taken from its record's printed values.
SealFacts sealFacts(const CertificateRecord& record, qint64 number, const QDateTime& issued, const QString& office);

// The issue's date as the code and the verdicts give it: its Solar Hijri date where it was issued.
QString issueDateText(const QDateTime& issued);

class CertificateIssuer {
public:
    // `key`: the desk's signing key; without one the codes are unsigned. `office`: the issuing
    // office's name the codes carry.
    CertificateIssuer(Connection& connection, std::optional<SigningKey> key, QString office);
    // The register written through `worker`, each write waited for.
    CertificateIssuer(StoreWorker& worker, std::optional<SigningKey> key, QString office);
    ~CertificateIssuer();

    // Registers the records' certificates in one transaction and gives each its code; false with
    // the reason when the register cannot be written (none of them is then to be printed).
    bool issue(const QList<CertificateRecord*>& records, QString* error);
    bool issue(CertificateRecord& record, QString* error) { return issue(QList<CertificateRecord*>{&record}, error); }
    // Takes this printing's issues back out of the register, for a job whose pages never reached
    // the printer or the file; false with the reason when the register cannot be written.
    bool withdraw(QString* error);

    bool isSigning() const { return key_.has_value(); }
    // Why the last issue failed; empty when none has.
    QString lastError() const { return lastError_; }
    // The issues of this printing, in page order.
    const QList<certificates::Issue>& issued() const { return issued_; }

private:
    // The key's fingerprint, and who issues at which desk.
    void takeDesk();

    std::unique_ptr<StoreWorker> own_;  // inline over the connection given
    StoreWorker& worker_;
    std::optional<SigningKey> key_;
    QString fingerprint_;
    QString office_;
    QString user_;
    QString desk_;
    QList<certificates::Issue> issued_;
    QString lastError_;
};

// The desk's setting that names its signing key file.
inline constexpr const char* kKeyFileSetting = "Certificate/KeyFile";

// A desk's way of issuing for one print job: an issuer for `office` signing with the key in
// `keyFile` (none: unsigned). No issuer on a store this desk may only
// read: its certificates print without a code. `notice` says, in Farsi, what the desk should be
// told once per run (no key, a key file that cannot be used, a store only read); `englishNotice`
// the same for the command line.
struct DeskIssuing {
    std::unique_ptr<CertificateIssuer> issuer;
    QString notice;
    QString englishNotice;
};
// A key file others may read (any permission for group or others) is still used, and the notice
// says so.
DeskIssuing issuingForDesk(Connection& connection, const QString& office, const QString& keyFile);
DeskIssuing issuingForDesk(StoreWorker& worker, const QString& office, const QString& keyFile);

// The key file the desk's settings (store::deskSettings) name under kKeyFileSetting; empty when none.
QString deskKeyFile();
// issuingForDesk with that key file: how the window's Print and PDF pick their key.
DeskIssuing issuingForThisDesk(Connection& connection, const QString& office);
DeskIssuing issuingForThisDesk(StoreWorker& worker, const QString& office);

// The issuing office's texts set into a layout: the header's ministry and breeding-centre lines,
// the footer's union and registry lines (where the layout holds the default words), and the
// signatory's name and role at the signature place.
void applyOfficeTexts(CertificateLayout& layout, const QHash<QString, QString>& texts);

// A draft page: a large "پيش نويس" where the code would be, and no code (so no number either).
void markDraft(CertificateLayout& layout);

// Reads the office's texts from the store and sets them into `layout`; answers the office's name
// for the codes, nothing when the store cannot be read (`error` says why).
std::optional<QString> useOfficeTexts(Connection& connection, CertificateLayout& layout, QString* error = nullptr);

}  // namespace zartav::print
