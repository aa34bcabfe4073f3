#include "print/certificate_verify.h"

#include "data/certificate_register.h"
#include "data/tdm.h"
#include "print/certificate_content.h"
#include "print/certificate_issuer.h"
#include "print/certificate_source.h"
#include "util/bidi_text.h"

namespace zartav::print {

namespace {

Verification finish(Verification v) {
    const QString number = v.seal ? QString::number(v.seal->facts.number) : QString();
    switch (v.verdict) {
        case Verdict::Genuine:
            v.farsi = v.checkedOffline ? QStringLiteral("گواهي %1 معتبر است: امضاي دفتر صادر كننده با محتواي آن مي خواند.").arg(number)
                      : v.inRegister  ? QStringLiteral("گواهي %1 معتبر است و با اطلاعات فعلي ركورد يكي است.").arg(number)
                                      : QStringLiteral("امضاي گواهي %1 معتبر است، اما اين شماره در دفتر صدور اين فايل اطلاعات نيست.").arg(number);
            v.english = v.checkedOffline ? QStringLiteral("genuine: the office's signature matches its content")
                        : v.inRegister  ? QStringLiteral("genuine and current")
                                        : QStringLiteral("genuine signature, but number %1 is not in this store's register").arg(number);
            break;
        case Verdict::Superseded: {
            QStringList names;
            for (const QString& c : v.changed) names << isolated(c);
            QString farsi = v.recordDeleted ? QStringLiteral("گواهي %1 معتبر بوده، اما ركورد آن پس از صدور حذف شده است.").arg(number)
                                            : QStringLiteral("گواهي %1 معتبر بوده، اما ركورد آن پس از صدور تغيير كرده است").arg(number);
            if (!v.recordDeleted && !names.isEmpty()) farsi += QStringLiteral(": ") + names.join(QStringLiteral("، "));
            if (!v.recordDeleted) farsi += QLatin1Char('.');
            if (v.supersededBy) farsi += QStringLiteral(" گواهي شماره %1 جاي آن را گرفته است.").arg(v.supersededBy);
            v.farsi = farsi;
            v.english = v.recordDeleted ? QStringLiteral("superseded: the record was deleted after the issue")
                                        : QStringLiteral("superseded: changed since the issue: %1").arg(v.changed.join(QStringLiteral(", ")));
            if (v.supersededBy) v.english += QStringLiteral("; replaced by certificate %1").arg(v.supersededBy);
            break;
        }
        case Verdict::UnknownKey:
            v.farsi = v.seal && !v.seal->isSigned() ? QStringLiteral("گواهي %1 امضا ندارد و در دفتر صدور هم نيست.").arg(number)
                                                    : QStringLiteral("گواهي %1 با كليدي امضا شده كه اين دفتر نمي شناسد.").arg(number);
            v.english = v.seal && !v.seal->isSigned() ? QStringLiteral("unsigned, and not confirmed by a register")
                                                      : QStringLiteral("signed by a key this office does not know");
            break;
        case Verdict::Forged:
            v.farsi = QStringLiteral("گواهي %1 جعلي است: امضا يا دفتر صدور با محتواي آن نمي خواند.").arg(number);
            v.english = QStringLiteral("forged: the signature does not match");
            break;
        case Verdict::NoCode:
            v.farsi = v.readFailure == ReadFailure::TooLarge      ? QStringLiteral("تصوير بزرگتر از آن است كه بررسي شود.")
                      : v.readFailure == ReadFailure::NotAPicture ? QStringLiteral("اين فايل تصوير يا PDF خوانا نيست.")
                      : v.readFailure == ReadFailure::NoFile      ? QStringLiteral("فايل پيدا نشد.")
                                                                  : QStringLiteral("كد گواهي خوانا در آن پيدا نشد.");
            v.english = v.readFailure == ReadFailure::TooLarge      ? QStringLiteral("no readable code: the picture is too large")
                        : v.readFailure == ReadFailure::NotAPicture ? QStringLiteral("no readable code: not a picture or PDF that can be read")
                        : v.readFailure == ReadFailure::NoFile      ? QStringLiteral("no readable code: no such file")
                                                                    : QStringLiteral("no readable code");
            break;
    }
    return v;
}

QList<FactLine> factLines(const SealFacts& printed, const std::optional<SealFacts>& stored) {
    auto s = [&](const QString SealFacts::*field) { return stored ? (*stored).*field : QString(); };
    return {
        {QStringLiteral("شماره گواهي"), QString::number(printed.number), stored ? QString::number(stored->number) : QString()},
        {QStringLiteral("شماره ثبت"), printed.registration, s(&SealFacts::registration)},
        {QStringLiteral("تاريخ تولد"), printed.birthDate, s(&SealFacts::birthDate)},
        {QStringLiteral("جنس گوساله"), printed.sex, s(&SealFacts::sex)},
        {QStringLiteral("ثبت داخلي پدر"), printed.sire, s(&SealFacts::sire)},
        {QStringLiteral("ثبت مادر تني"), printed.dam, s(&SealFacts::dam)},
        {QStringLiteral("HFگوساله"), printed.hf, s(&SealFacts::hf)},
        {QStringLiteral("تاريخ صدور"), printed.issued, s(&SealFacts::issued)},
        {QStringLiteral("صادر كننده"), printed.office, s(&SealFacts::office)},
        {QStringLiteral("كد بررسي"), checkCode(printed.contentHash), stored ? checkCode(stored->contentHash) : QString()},
    };
}

std::optional<QByteArray> officeKey(Connection& store, const QByteArray& keyId, QString* error) {
    QSqlDatabase db = store.database();
    const std::optional<QList<certificates::PublicKey>> keys = certificates::publicKeys(db, error);
    if (!keys) return std::nullopt;
    for (const certificates::PublicKey& k : *keys)
        if (keyFingerprint(k.key).left(kKeyIdBytes) == keyId) return k.key;
    return std::nullopt;
}

}  // namespace

Verification verifyPayload(const QByteArray& payload, Connection* store, const std::optional<QByteArray>& publicKey) {
    Verification v;
    v.seal = parseSeal(payload);
    if (!v.seal) return finish(v);
    const Seal& seal = *v.seal;
    v.facts = factLines(seal.facts, std::nullopt);
    if (publicKey) {
        v.checkedOffline = true;
        if (!seal.isSigned() || keyFingerprint(*publicKey).left(kKeyIdBytes) != seal.keyId) v.verdict = Verdict::UnknownKey;
        else v.verdict = sealSignatureHolds(seal, *publicKey) ? Verdict::Genuine : Verdict::Forged;
        return finish(v);
    }
    if (!store) return finish(v);
    if (seal.isSigned()) {
        const std::optional<QByteArray> key = officeKey(*store, seal.keyId, &v.storeError);
        if (!key) {
            v.verdict = Verdict::UnknownKey;
            return finish(v);
        }
        if (!sealSignatureHolds(seal, *key)) {
            v.verdict = Verdict::Forged;
            return finish(v);
        }
    }
    QSqlDatabase db = store->database();
    const std::optional<certificates::Issue> issued = certificates::findIssue(db, seal.facts.number, &v.storeError);
    v.inRegister = issued.has_value();
    if (!issued && !v.storeError.isEmpty()) {
        // The register cannot be read: the signature is all that was checked.
        v.checkedOffline = true;
        v.verdict = seal.isSigned() ? Verdict::Genuine : Verdict::UnknownKey;
        return finish(v);
    }
    if (!issued) {
        // Signed by the office, but not in this store's register (another store of the office,
        // or a register older than the certificate). Unsigned, nothing vouches for it.
        v.verdict = seal.isSigned() ? Verdict::Genuine : Verdict::UnknownKey;
        return finish(v);
    }
    if (issued->contentHash.left(kHashBytes) != seal.facts.contentHash) {
        v.verdict = Verdict::Forged;
        return finish(v);
    }
    // The record now, photos and all, for what changed since the issue.
    StoredCertificates now(*store, {issued->recordId});
    const std::optional<CertificateRecord> record = now.record(0);
    std::optional<SealFacts> stored;
    QString contentNow;
    if (record) {
        contentNow = certificateContentText(*record);
        stored = sealFacts(*record, issued->number, issued->issued, seal.facts.office);
        stored->contentHash = certificateContentHash(contentNow);
    } else if (now.recordMissing()) {
        v.recordDeleted = true;
    } else {
        v.storeError = now.errorText();
    }
    v.facts = factLines(seal.facts, stored);
    v.supersededBy = issued->supersededBy;
    if (record && contentNow != issued->content) v.changed = changedContentColumns(issued->content, contentNow);
    v.verdict = v.recordDeleted || v.supersededBy || !v.changed.isEmpty() ? Verdict::Superseded : Verdict::Genuine;
    return finish(v);
}

Verification verifyReading(const CodeReading& reading, Connection* store, const std::optional<QByteArray>& publicKey) {
    for (const QByteArray& code : reading.codes)
        if (parseSeal(code)) return verifyPayload(code, store, publicKey);
    Verification v;
    v.readFailure = reading.codes.isEmpty() ? reading.failure : ReadFailure::NoCode;
    return finish(v);
}

}  // namespace zartav::print
