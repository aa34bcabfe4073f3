#pragma once

// Issuing while printing: each certificate put out to a printer or a file gets its number from
// the store's register, and its code is signed with the desk's key when it has one.

#include "data/certificates/certificate_register.h"
#include "data/certificates/office_texts.h"
#include "print/certificate_layout.h"
#include "print/certificate_renderer.h"
#include "print/certificate_seal.h"
#include "print/token_key.h"

#include <QHash>
#include <functional>
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
    // `signer`: what holds the desk's signing key; without one the codes are unsigned.
    // `office`: the issuing office's name the codes carry.
    CertificateIssuer(Connection& connection, std::unique_ptr<Signer> signer, QString office);
    // The register written through `worker`, each write waited for.
    CertificateIssuer(StoreWorker& worker, std::unique_ptr<Signer> signer, QString office);
    ~CertificateIssuer();

    // Registers the records' certificates in one transaction and gives each its code; false with
    // the reason when the register cannot be written or a code cannot be signed (none of them is
    // then to be printed, and the numbers a failed signature leaves are taken back).
    bool issue(const QList<CertificateRecord*>& records, QString* error);
    bool issue(CertificateRecord& record, QString* error) { return issue(QList<CertificateRecord*>{&record}, error); }
    // Takes this printing's issues back out of the register, for a job whose pages never reached
    // the printer or the file; false with the reason when the register cannot be written.
    bool withdraw(QString* error);

    bool isSigning() const { return signer_ != nullptr; }
    // Why the last issue failed; empty when none has.
    QString lastError() const { return lastError_; }
    // The issues of this printing, in page order.
    const QList<certificates::Issue>& issued() const { return issued_; }

private:
    // The key's fingerprint, and who issues at which desk.
    void takeDesk();
    // Takes `issues` back out of the register.
    bool takeBack(const QList<certificates::Issue>& issues);

    std::unique_ptr<StoreWorker> own_;  // inline over the connection given
    StoreWorker& worker_;
    std::unique_ptr<Signer> signer_;
    QString fingerprint_;
    QString office_;
    QString user_;
    QString desk_;
    QList<certificates::Issue> issued_;
    QString lastError_;
};

// The desk's settings that name its signing key: a key file, or a key on a token (the token's
// module, the token's label and the key's label; the token when a module is set).
inline constexpr const char* kKeyFileSetting = "Certificate/KeyFile";
inline constexpr const char* kTokenModuleSetting = "Certificate/Pkcs11Module";
inline constexpr const char* kTokenLabelSetting = "Certificate/TokenLabel";
inline constexpr const char* kTokenKeySetting = "Certificate/TokenKeyLabel";

// Where a desk's signing key is.
struct DeskKey {
    QString keyFile;      // none: no key, unless a token is named
    TokenKeyPlace token;  // used instead of the file when token.module is set
};

// The PIN of the token at `place`, asked when the token is to be opened; nothing when the person
// gave none.
using PinPrompt = std::function<std::optional<TokenPin>(const TokenKeyPlace& place)>;

// A desk's way of issuing for one print job: an issuer for `office` signing with the desk's key
// (none: unsigned). No issuer on a store this desk may only read: its certificates print without
// a code. `notice` says, in Farsi, what the desk should be told once per run (no key, a key file
// that cannot be used, a store only read); `englishNotice` the same for the command line.
// `refused`: the desk's token could not be opened or logged in (the notice says why, each time):
// the job prints nothing and takes no number.
struct DeskIssuing {
    std::unique_ptr<CertificateIssuer> issuer;
    QString notice;
    QString englishNotice;
    bool refused = false;
};
// A key file others may read (any permission for group or others) is still used, and the notice
// says so. A token is opened and logged in here, before anything is written to the register.
DeskIssuing issuingForDesk(Connection& connection, const QString& office, const DeskKey& key, const PinPrompt& pin = {});
DeskIssuing issuingForDesk(StoreWorker& worker, const QString& office, const DeskKey& key, const PinPrompt& pin = {});

// The key the desk's settings (store::deskSettings) name; a token's key label defaults to
// kDefaultTokenKeyLabel.
DeskKey deskKey();
// issuingForDesk with that key: how the window's Print and PDF pick their key. A token's PIN is
// asked through the message sink once per run of the program and kept in memory while the token
// takes it; one it refused is asked again at the next job.
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
