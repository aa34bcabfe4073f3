#include "print/certificate_verify.h"

#include "data/certificates/certificate_register.h"
#include "data/certificates/office_texts.h"
#include "data/tdm.h"
#include "dates/calendar.h"
#include "dates/calendar_date_text.h"
#include "print/certificate_content.h"
#include "print/certificate_issuer.h"
#include "print/certificate_source.h"
#include "util/bidi_text.h"

#include <QHash>

#include <iterator>

namespace zartav::print {

namespace {

// A column as a verdict in Farsi names it: the one column named with Latin letters is said in words.
QString spokenColumn(const QString& column) {
    return column == QStringLiteral("HFگوساله") ? QStringLiteral("درصد هلشتاين گوساله") : column;
}

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
            for (const QString& c : v.changed) names << isolated(spokenColumn(c));
            QString farsi = v.recordDeleted ? QStringLiteral("گواهي %1 معتبر بوده، اما ركورد آن پس از صدور حذف شده است.").arg(number)
                                            : QStringLiteral("گواهي %1 معتبر بوده، اما ركورد آن پس از صدور تغيير كرده است").arg(number);
            if (!v.recordDeleted && !names.isEmpty()) farsi += QStringLiteral(": ") + names.join(QStringLiteral("، "));
            if (!v.recordDeleted) farsi += QLatin1Char('.');
            if (v.supersededBy) farsi += QStringLiteral(" گواهي شماره %1 جاي آن را گرفته است.").arg(v.supersededBy);
            v.farsi = farsi;
            v.english = v.recordDeleted       ? QStringLiteral("superseded: the record was deleted after the issue")
                        : v.changed.isEmpty() ? QStringLiteral("superseded")
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
        case Verdict::Unsigned:
            v.farsi = v.checkedOffline
                          ? QStringLiteral("گواهي %1 بدون امضا است: بدون دفتر صدور، چيزي آن را تاييد نمي كند.").arg(number)
                          : QStringLiteral("گواهي %1 بدون امضا صادر شده است: با دفتر صدور و اطلاعات فعلي ركورد يكي است، "
                                           "اما جز دفتر صدور چيزي آن را تاييد نمي كند.")
                                .arg(number);
            v.english = v.checkedOffline ? QStringLiteral("unsigned: nothing vouches for it without the office's register")
                                         : QStringLiteral("unsigned: it matches the register and the record, but nothing "
                                                          "vouches for it beyond the register");
            break;
        case Verdict::Forged: {
            QStringList names;
            for (const QString& f : v.forgedFacts) names << isolated(f);
            switch (v.forgery) {
                case Forgery::Register:
                    v.farsi = QStringLiteral("گواهي %1 جعلي است: رديف آن در دفتر صدور با مهر دفتر نمي خواند و دستكاري شده است.").arg(number);
                    v.english = QStringLiteral("forged: the register's issue does not hold: %1").arg(v.registerProblem);
                    break;
                case Forgery::TakenBack:
                    v.farsi = QStringLiteral("گواهي %1 جعلي است: اين شماره در دفتر صدور پس گرفته شده و هرگز چاپ نشده است.").arg(number);
                    v.english = QStringLiteral("forged: the register took number %1 back before it was printed").arg(number);
                    break;
                case Forgery::UnsignedOfSigned:
                    v.farsi = QStringLiteral("گواهي %1 جعلي است: دفتر صدور آن را امضا شده ثبت كرده، اما كد آن امضا ندارد.").arg(number);
                    v.english = QStringLiteral("forged: the register issued it signed, and the code carries no signature");
                    break;
                case Forgery::Facts:
                    v.farsi = QStringLiteral("گواهي %1 جعلي است: %2 آن با دفتر صدور نمي خواند.").arg(number, names.join(QStringLiteral("، ")));
                    v.english = QStringLiteral("forged: differs from the register's issue: %1").arg(v.forgedFacts.join(QStringLiteral(", ")));
                    break;
                case Forgery::Signature:
                case Forgery::None:
                    v.farsi = QStringLiteral("گواهي %1 جعلي است: امضاي آن با محتوايش نمي خواند.").arg(number);
                    v.english = QStringLiteral("forged: the signature does not match");
                    break;
            }
            break;
        }
        case Verdict::NoCode:
            v.farsi = v.readFailure == ReadFailure::TooLarge      ? QStringLiteral("تصوير بزرگتر از آن است كه بررسي شود.")
                      : v.readFailure == ReadFailure::TooComplex  ? QStringLiteral("اين فايل پيچيده تر از آن است كه در زمان كوتاهي بررسي شود.")
                      : v.readFailure == ReadFailure::NotAPicture ? QStringLiteral("اين فايل تصوير يا پي دي اف خوانا نيست.")
                      : v.readFailure == ReadFailure::NoFile      ? QStringLiteral("فايل پيدا نشد.")
                                                                  : QStringLiteral("كد گواهي خوانا در آن پيدا نشد.");
            v.english = v.readFailure == ReadFailure::TooLarge      ? QStringLiteral("no readable code: the picture is too large")
                        : v.readFailure == ReadFailure::TooComplex  ? QStringLiteral("no readable code: the file is too complex to read in time")
                        : v.readFailure == ReadFailure::NotAPicture ? QStringLiteral("no readable code: not a picture or PDF that can be read")
                        : v.readFailure == ReadFailure::NoFile      ? QStringLiteral("no readable code: no such file")
                                                                    : QStringLiteral("no readable code");
            break;
    }
    if (!v.listDate.isEmpty() && v.verdict != Verdict::NoCode) {
        const QDate day = QDateTime::fromString(v.listDate, Qt::ISODate).toUTC().date();
        v.english += QStringLiteral(" (as of the trust list of %1)").arg(day.toString(Qt::ISODate));
        v.farsi += QStringLiteral(" (فهرست ابطال تا تاريخ %1)").arg(calendar_text::format(calendar::fromGregorian(day)));
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
        {spokenColumn(QStringLiteral("HFگوساله")), printed.hf, s(&SealFacts::hf)},
        {QStringLiteral("تاريخ صدور"), printed.issued, s(&SealFacts::issued)},
        {QStringLiteral("صادر كننده"), printed.office, s(&SealFacts::office)},
        {QStringLiteral("كد بررسي"), checkCode(printed.contentHash), stored ? checkCode(stored->contentHash) : QString()},
    };
}

// The office's key the seal names; of two a short key id names alike, the one whose signature
// holds.
std::optional<QByteArray> officeKey(StoreLink& store, const Seal& seal, QString* error) {
    QSqlDatabase db = store.database();
    const std::optional<QList<certificates::PublicKey>> keys = certificates::publicKeys(db, error);
    if (!keys) return std::nullopt;
    std::optional<QByteArray> named;
    for (const certificates::PublicKey& k : *keys) {
        if (!keyIdNames(seal.keyId, keyFingerprint(k.key))) continue;
        if (sealSignatureHolds(seal, k.key)) return k.key;
        if (!named) named = k.key;
    }
    return named;
}

// The values of a canonical content text, unescaped.
QHash<QString, QString> contentValues(const QString& content) {
    QHash<QString, QString> values;
    for (const QString& line : content.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) continue;
        QString value;
        for (qsizetype i = eq + 1; i < line.size(); ++i) {
            QChar c = line.at(i);
            if (c == QLatin1Char('\\') && i + 1 < line.size()) {
                const QChar e = line.at(++i);
                c = e == QLatin1Char('n') ? QChar(u'\n') : e == QLatin1Char('r') ? QChar(u'\r') : e;
            }
            value += c;
        }
        values.insert(line.left(eq), value);
    }
    return values;
}

// The issue's Solar Hijri date wherever it was issued: the desk writes its own day, so every
// day the issue's moment falls on somewhere on earth is its day.
bool issuedOn(const QDateTime& issued, const QString& date) {
    for (int hours = -12; hours <= 14; ++hours)
        if (calendar_text::format(calendar::fromGregorian(issued.toOffsetFromUtc(hours * 3600).date())) == date) return true;
    return false;
}

// The captions of the facts the code carries that the register's issue does not.
QStringList factsDifferingFromIssue(const SealFacts& printed, const certificates::Issue& issue, const QString& officeNow,
                                    bool compareOffice) {
    const QHash<QString, QString> values = contentValues(issue.content);
    QStringList differ;
    const std::pair<const char*, const QString*> columns[] = {
        {"شماره ثبت", &printed.registration}, {"تاريخ تولد", &printed.birthDate}, {"جنس گوساله", &printed.sex},
        {"ثبت داخلي", &printed.sire},         {"ثبت مادر تني", &printed.dam},     {"HFگوساله", &printed.hf},
    };
    const QList<FactLine> captions = factLines(printed, std::nullopt);
    for (qsizetype i = 0; i < qsizetype(std::size(columns)); ++i) {
        const QString column = QString::fromUtf8(columns[i].first);
        if (factText(values.value(column)) != *columns[i].second) differ << captions[i + 1].caption;
    }
    if (!issuedOn(issue.issued, printed.issued)) differ << captions[7].caption;
    if (compareOffice && printed.office != factText(officeNow)) differ << captions[8].caption;
    return differ;
}

}  // namespace

Verification verifyPayload(const QByteArray& payload, StoreLink* store, const std::optional<QByteArray>& publicKey) {
    Verification v;
    v.seal = parseSeal(payload);
    if (!v.seal) return finish(v);
    const Seal& seal = *v.seal;
    v.facts = factLines(seal.facts, std::nullopt);
    auto forged = [&](Forgery why) {
        v.verdict = Verdict::Forged;
        v.forgery = why;
        return finish(v);
    };
    if (publicKey) {
        v.checkedOffline = true;
        if (!seal.isSigned()) v.verdict = Verdict::Unsigned;
        else if (!keyIdNames(seal.keyId, keyFingerprint(*publicKey))) v.verdict = Verdict::UnknownKey;
        else if (!sealSignatureHolds(seal, *publicKey)) return forged(Forgery::Signature);
        else v.verdict = Verdict::Genuine;
        return finish(v);
    }
    if (!store) return finish(v);
    if (seal.isSigned()) {
        const std::optional<QByteArray> key = officeKey(*store, seal, &v.storeError);
        if (!key) {
            v.verdict = Verdict::UnknownKey;
            return finish(v);
        }
        if (!sealSignatureHolds(seal, *key)) return forged(Forgery::Signature);
    }
    QSqlDatabase db = store->database();
    const std::optional<certificates::Issue> issued = certificates::findIssue(db, seal.facts.number, &v.storeError);
    v.inRegister = issued.has_value();
    if (!issued) {
        // The register cannot be read, or does not hold the number (another store of the office,
        // or a register older than the certificate): the signature is all that vouches for it.
        // Without one, nothing does.
        v.checkedOffline = !v.storeError.isEmpty();
        v.verdict = seal.isSigned() ? Verdict::Genuine : Verdict::UnknownKey;
        return finish(v);
    }
    // The row relied on must be the register's own, as it was sealed.
    const certificates::RegisterCheck row = certificates::checkIssue(db, *issued);
    if (!row.ok && row.badNumber == 0) {
        v.storeError = row.problem;
    } else if (!row.ok) {
        v.registerProblem = row.problem;
        return forged(Forgery::Register);
    }
    if (issued->withdrawn) return forged(Forgery::TakenBack);
    // The register knows whether the issue was signed, and by which key.
    const bool issuedSigned = !issued->keyFingerprint.isEmpty();
    if (issuedSigned && !seal.isSigned()) return forged(Forgery::UnsignedOfSigned);
    const QList<FactLine> captions = factLines(seal.facts, std::nullopt);
    if (issuedSigned != seal.isSigned() ||
        (seal.isSigned() && !keyIdNames(seal.keyId, QByteArray::fromHex(issued->keyFingerprint.toLatin1()))))
        v.forgedFacts << QStringLiteral("كليد امضا");
    if (issued->contentHash.left(seal.facts.contentHash.size()) != seal.facts.contentHash) v.forgedFacts << captions.last().caption;
    // The office's name is not in the register: a signature vouches for it, else the office's
    // name now must be it. The compact code names no office: the store's own is its office.
    const QString officeNow =
        certificates::readOfficeTexts(db).value_or(QHash<QString, QString>()).value(QLatin1String(certificates::kOfficeName));
    if (seal.version >= 2) v.seal->facts.office = factText(officeNow);
    v.forgedFacts << factsDifferingFromIssue(seal.facts, *issued, officeNow, !seal.isSigned() && seal.version < 2);
    if (!v.forgedFacts.isEmpty()) return forged(Forgery::Facts);

    // The record now, photos and all, for what changed since the issue.
    RecordChunk now = readRecordChunk(*store, 0, {issued->recordId});
    const std::optional<CertificateRecord> record =
        now.records.isEmpty() ? std::nullopt : std::optional<CertificateRecord>(std::move(now.records.first()));
    std::optional<SealFacts> stored;
    QString contentNow;
    if (record) {
        contentNow = certificateContentText(*record);
        stored = sealFacts(*record, issued->number, issued->issued, seal.facts.office);
        stored->contentHash = certificateContentHash(contentNow);
    } else if (now.failure && now.failure->missing) {
        v.recordDeleted = true;
    } else {
        v.storeError = now.failure ? now.failure->why : QString();
    }
    v.facts = factLines(seal.facts, stored);
    v.supersededBy = issued->supersededBy;
    if (record && contentNow != issued->content) v.changed = changedContentColumns(issued->content, contentNow);
    if (v.recordDeleted || v.supersededBy || !v.changed.isEmpty()) v.verdict = Verdict::Superseded;
    else v.verdict = seal.isSigned() ? Verdict::Genuine : Verdict::Unsigned;
    return finish(v);
}

Verification verifyWithLists(const QByteArray& payload, const QList<TrustList>& lists) {
    Verification v;
    v.seal = parseSeal(payload);
    if (!v.seal) return finish(v);
    Seal& seal = *v.seal;
    v.checkedOffline = true;
    v.facts = factLines(seal.facts, std::nullopt);
    if (!seal.isSigned()) {
        v.verdict = Verdict::Unsigned;
        return finish(v);
    }
    const TrustList* list = nullptr;
    const TrustedKey* key = nullptr;
    bool named = false;
    for (const TrustList& l : lists)
        for (const TrustedKey& k : l.keys) {
            if (key || !keyIdNames(seal.keyId, keyFingerprint(k.publicKey))) continue;
            named = true;
            if (sealSignatureHolds(seal, k.publicKey)) list = &l, key = &k;
        }
    if (!key) {
        v.verdict = named ? Verdict::Forged : Verdict::UnknownKey;
        v.forgery = named ? Forgery::Signature : Forgery::None;
        return finish(v);
    }
    if (seal.version >= 2) seal.facts.office = key->office;
    v.facts = factLines(seal.facts, std::nullopt);
    v.listDate = list->date;
    v.verdict = Verdict::Genuine;
    for (const ClosedNumber& c : list->closed) {
        if (c.number != seal.facts.number) continue;
        // A number taken back never reached paper, as the register says.
        v.verdict = c.supersededBy ? Verdict::Superseded : Verdict::Forged;
        v.forgery = c.supersededBy ? Forgery::None : Forgery::TakenBack;
        v.supersededBy = c.supersededBy;
    }
    return finish(v);
}

namespace {

template <typename Check>
Verification firstCertificate(const CodeReading& reading, Check check) {
    for (const QByteArray& code : reading.codes)
        if (parseSeal(code)) return check(code);
    Verification v;
    v.readFailure = reading.codes.isEmpty() ? reading.failure : ReadFailure::NoCode;
    return finish(v);
}

}  // namespace

Verification verifyReading(const CodeReading& reading, StoreLink* store, const std::optional<QByteArray>& publicKey) {
    return firstCertificate(reading, [&](const QByteArray& code) { return verifyPayload(code, store, publicKey); });
}

Verification verifyReading(const CodeReading& reading, const QList<TrustList>& lists) {
    return firstCertificate(reading, [&](const QByteArray& code) { return verifyWithLists(code, lists); });
}

}  // namespace zartav::print
