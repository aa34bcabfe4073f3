#include "print/certificate_issuer.h"

#include "data/link/store_choice.h"
#include "data/link/store_worker.h"
#include "data/tdm.h"
#include "dates/calendar.h"
#include "dates/calendar_date_text.h"
#include "print/certificate_content.h"
#include "util/bidi_text.h"

#include <QFile>
#include <QSettings>
#include <QSysInfo>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zartav::print {

QString issueDateText(const QDateTime& issued) {
    return calendar_text::format(calendar::fromGregorian(issued.toLocalTime().date()));
}

SealFacts sealFacts(const CertificateRecord& record, qint64 number, const QDateTime& issued, const QString& office) {
    // A code carries no hidden control: the verdicts print its facts.
    auto v = [&](const char* column) { return factText(record.value(QString::fromUtf8(column))); };
    SealFacts f;
    f.number = number;
    f.registration = v("شماره ثبت");
    f.birthDate = v("تاريخ تولد");
    f.sex = v("جنس گوساله");
    f.sire = v("ثبت داخلي");
    f.dam = v("ثبت مادر تني");
    f.hf = v("HFگوساله");
    f.issued = issueDateText(issued);
    f.office = office;
    return f;
}

CertificateIssuer::CertificateIssuer(Connection& connection, std::optional<SigningKey> key, QString office)
    : own_(std::make_unique<StoreWorker>(connection, StoreWorker::Mode::Inline)), worker_(*own_), key_(std::move(key)),
      office_(std::move(office)) {
    takeDesk();
}

CertificateIssuer::CertificateIssuer(StoreWorker& worker, std::optional<SigningKey> key, QString office)
    : worker_(worker), key_(std::move(key)), office_(std::move(office)) {
    takeDesk();
}

void CertificateIssuer::takeDesk() {
    if (key_) fingerprint_ = QString::fromLatin1(keyFingerprint(key_->publicKey).toHex());
    user_ = qEnvironmentVariable("USER", qEnvironmentVariable("LOGNAME", qEnvironmentVariable("USERNAME")));
    if (user_.isEmpty())
        if (const passwd* account = getpwuid(getuid())) user_ = QString::fromLocal8Bit(account->pw_name);
    desk_ = QSysInfo::machineHostName();
}

CertificateIssuer::~CertificateIssuer() = default;

bool CertificateIssuer::issue(const QList<CertificateRecord*>& records, QString* error) {
    QList<certificates::IssueRequest> requests;
    requests.reserve(records.size());
    for (CertificateRecord* record : records) {
        if (record->content.isEmpty()) record->content = certificateContentText(*record);
        certificates::IssueRequest request;
        request.recordId = record->value(QStringLiteral("ID")).toLongLong();
        request.content = record->content;
        request.contentHash = certificateContentHash(record->content);
        request.issuedBy = user_;
        request.desk = desk_;
        request.keyFingerprint = fingerprint_;
        requests << request;
    }
    std::optional<QList<certificates::Issue>> done;
    worker_.call([&](StoreLink& link) {
        linkReady(link);
        QSqlDatabase db = link.database();
        done = certificates::issue(db, requests, &lastError_);
    });
    if (!done) {
        if (error) *error = lastError_;
        return false;
    }
    lastError_.clear();
    for (qsizetype i = 0; i < records.size(); ++i) {
        const certificates::Issue& made = done->at(i);
        SealFacts facts = sealFacts(*records[i], made.number, made.issued, office_);
        facts.contentHash = requests[i].contentHash;
        PrintedSeal seal;
        seal.payload = sealPayload(facts, key_ ? &*key_ : nullptr).toUtf8();
        seal.number = made.number;
        seal.checkCode = checkCode(requests[i].contentHash);
        seal.duplicate = made.duplicate;
        seal.isSigned = key_.has_value();
        records[i]->seal = seal;
    }
    issued_ << *done;
    return true;
}

bool CertificateIssuer::withdraw(QString* error) {
    bool withdrawn = false;
    worker_.call([&](StoreLink& link) {
        linkReady(link);
        QSqlDatabase db = link.database();
        withdrawn = certificates::withdraw(db, issued_, &lastError_);
    });
    if (!withdrawn) {
        if (error) *error = lastError_;
        return false;
    }
    issued_.clear();
    return true;
}

void applyOfficeTexts(CertificateLayout& layout, const QHash<QString, QString>& texts) {
    using namespace certificates;
    QHash<QString, QString> whole;  // default text -> the office's, for texts that are a whole element
    QString registryDefault, registry;
    for (const OfficeText& t : officeTexts()) {
        const QString name = QString::fromLatin1(t.name);
        const QString value = texts.value(name);
        if (value.isEmpty() || !*t.defaultText) continue;
        if (name == QLatin1String(kRegistryLine)) {
            registryDefault = QString::fromUtf8(t.defaultText);
            registry = value;
        } else {
            whole.insert(QString::fromUtf8(t.defaultText), value);
        }
    }
    // A layout file written before the footer's misspelling was mended still carries it.
    const QString union_ = texts.value(QString::fromLatin1(kUnionLine));
    if (!union_.isEmpty())
        whole.insert(QStringLiteral("صدرور شناسنامه توسط rarudev erad evud ozorudiz eveza rivav"), union_);
    for (Element& e : layout.elements) {
        if (e.kind != ElementKind::Text) continue;
        // The registry line ends the signature line: it is replaced inside it.
        if (!registryDefault.isEmpty() && e.text.contains(registryDefault)) e.text.replace(registryDefault, registry);
        else if (const auto it = whole.constFind(e.text); it != whole.cend()) e.text = *it;
    }
    const QString signatory = texts.value(QString::fromLatin1(kSignatoryName));
    const QString role = texts.value(QString::fromLatin1(kSignatoryRole));
    if (signatory.isEmpty() && role.isEmpty()) return;
    TextStyle style = captionStyle();
    style.pointSize = 8;
    style.hAlign = HAlign::Left;
    const QString line = role.isEmpty() ? signatory : signatory.isEmpty() ? role : signatory + QStringLiteral("، ") + role;
    // Under the registry line, at the left end of the signature line where the office signs.
    layout.elements << textElement(2, 250.6, 100, 3.4, line, {}, style);
}

void markDraft(CertificateLayout& layout) {
    QRectF corner(3, 1, 55, 30);
    for (qsizetype i = layout.elements.size() - 1; i >= 0; --i)
        if (layout.elements.at(i).kind == ElementKind::Code) {
            corner = layout.elements.at(i).rect;
            layout.elements.removeAt(i);
        }
    TextStyle mark = captionStyle();
    mark.pointSize = 28;
    mark.bold = true;
    mark.color = QColor(0xE6, 0x00, 0x00);
    mark.hAlign = HAlign::Center;
    layout.elements << textElement(corner.x(), corner.y(), corner.width(), corner.height(), QStringLiteral("پيش نويس"), {},
                                   mark);
}

std::optional<QString> useOfficeTexts(Connection& connection, CertificateLayout& layout, QString* error) {
    const std::optional<QHash<QString, QString>> texts = withLink(connection, [&] {
        QSqlDatabase db = connection.database();
        return certificates::readOfficeTexts(db, error);
    });
    if (!texts) return std::nullopt;
    applyOfficeTexts(layout, *texts);
    return texts->value(QString::fromLatin1(certificates::kOfficeName));
}

namespace {

// The key and the notices of a desk's issuing; the issuer is the caller's to make.
template <typename Store>
DeskIssuing deskIssuing(Store& store, const Connection& connection, const QString& office, const QString& keyFile) {
    DeskIssuing d;
    if (connection.isReadOnly()) {
        d.notice = QStringLiteral("اطلاعات فقط خواندني است؛ شناسنامه ها بدون شماره و كد گواهي چاپ مي شوند.");
        d.englishNotice = QStringLiteral("the store can only be read: certificates print without a number or code");
        return d;
    }
    std::optional<SigningKey> key;
    if (keyFile.isEmpty()) {
        d.notice = QStringLiteral("اين رايانه كليد امضاي گواهي ندارد؛ كد شناسنامه ها بدون امضا چاپ مي شود.");
        d.englishNotice = QStringLiteral("no signing key: the certificates' codes are unsigned");
    } else {
        QString why;
        key = readSigningKey(keyFile, &why);
        if (!key) {
            d.notice = QStringLiteral("كليد امضاي %1 به كار نمي آيد؛ كد شناسنامه ها بدون امضا چاپ مي شود.").arg(isolatedPath(keyFile)) +
                       QStringLiteral("\n") + why;
            d.englishNotice = QStringLiteral("the signing key %1 cannot be used (%2): the codes are unsigned").arg(keyFile, why);
        } else if (struct stat st {}; ::stat(QFile::encodeName(keyFile).constData(), &st) == 0 && (st.st_mode & 077) != 0) {
            d.notice = QStringLiteral("فايل كليد امضاي %1 را كاربران ديگر اين رايانه هم مي توانند بخوانند؛ "
                                      "دسترسي آن را فقط به صاحب فايل بدهيد (chmod 600).")
                           .arg(isolatedPath(keyFile));
            d.englishNotice = QStringLiteral("the signing key %1 can be read by other users (mode %2): make it 0600")
                                  .arg(keyFile, QString::number(st.st_mode & 0777, 8));
        }
    }
    d.issuer = std::make_unique<CertificateIssuer>(store, std::move(key), office);
    return d;
}

}  // namespace

DeskIssuing issuingForDesk(Connection& connection, const QString& office, const QString& keyFile) {
    return deskIssuing(connection, connection, office, keyFile);
}

DeskIssuing issuingForDesk(StoreWorker& worker, const QString& office, const QString& keyFile) {
    return deskIssuing(worker, worker.connection(), office, keyFile);
}

QString deskKeyFile() { return store::deskSettings()->value(QString::fromLatin1(kKeyFileSetting)).toString(); }

DeskIssuing issuingForThisDesk(Connection& connection, const QString& office) {
    return issuingForDesk(connection, office, deskKeyFile());
}

DeskIssuing issuingForThisDesk(StoreWorker& worker, const QString& office) { return issuingForDesk(worker, office, deskKeyFile()); }

}  // namespace zartav::print
