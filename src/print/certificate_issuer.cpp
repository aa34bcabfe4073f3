#include "print/certificate_issuer.h"

#include "data/link/store_choice.h"
#include "data/link/store_worker.h"
#include "data/tdm.h"
#include "dates/calendar.h"
#include "dates/calendar_date_text.h"
#include "print/certificate_content.h"
#include "util/bidi_text.h"
#include "util/message_sink.h"

#include <QFile>
#include <QSettings>
#include <QSysInfo>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zartav::print {

namespace {

QString unansweredText() { return QStringLiteral("فايل اطلاعات يا سرور پاسخي نداد؛ ارتباط با آن را بررسي كنيد."); }

}  // namespace

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

CertificateIssuer::CertificateIssuer(Connection& connection, std::unique_ptr<Signer> signer, QString office)
    : own_(std::make_unique<StoreWorker>(connection, StoreWorker::Mode::Inline)), worker_(*own_),
      signer_(std::move(signer)), office_(std::move(office)) {
    takeDesk();
}

CertificateIssuer::CertificateIssuer(StoreWorker& worker, std::unique_ptr<Signer> signer, QString office)
    : worker_(worker), signer_(std::move(signer)), office_(std::move(office)) {
    takeDesk();
}

void CertificateIssuer::takeDesk() {
    if (signer_) fingerprint_ = QString::fromLatin1(keyFingerprint(signer_->publicKey()).toHex());
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
        // A link that is gone leaves the engine without words; the clerk still hears why.
        if (lastError_.isEmpty()) lastError_ = unansweredText();
        if (error) *error = lastError_;
        return false;
    }
    lastError_.clear();
    // A token signs a page in tens of milliseconds: a herd is signed on the worker's thread while
    // the window keeps painting.
    QList<QByteArray> payloads;
    QString why;
    worker_.call([&](StoreLink&) {
        for (qsizetype i = 0; i < records.size(); ++i) {
            const certificates::Issue& made = done->at(i);
            SealFacts facts = sealFacts(*records[i], made.number, made.issued, office_);
            facts.contentHash = requests[i].contentHash;
            payloads << sealPayload(facts, signer_.get(), &why).toUtf8();
            if (payloads.back().isEmpty()) return;
        }
    });
    for (qsizetype i = 0; i < records.size(); ++i) {
        const certificates::Issue& made = done->at(i);
        PrintedSeal seal;
        seal.payload = i < payloads.size() ? payloads.at(i) : QByteArray();
        if (seal.payload.isEmpty()) {
            // No unsigned issue stays in the register: this batch's numbers go back.
            QString failure = why;
            if (!takeBack(*done))
                failure = QStringLiteral("%1\n%2").arg(why, QStringLiteral("شماره هاي اين شناسنامه ها از دفتر صدور پس گرفته نشد: ") +
                                                                 lastError_);
            lastError_ = failure;
            if (error) *error = lastError_;
            return false;
        }
        seal.number = made.number;
        seal.checkCode = checkCode(requests[i].contentHash);
        seal.duplicate = made.duplicate;
        seal.isSigned = signer_ != nullptr;
        records[i]->seal = seal;
    }
    issued_ << *done;
    return true;
}

bool CertificateIssuer::takeBack(const QList<certificates::Issue>& issues) {
    bool withdrawn = false;
    worker_.call([&](StoreLink& link) {
        linkReady(link);
        QSqlDatabase db = link.database();
        withdrawn = certificates::withdraw(db, issues, &lastError_);
    });
    if (!withdrawn && lastError_.isEmpty()) lastError_ = unansweredText();
    return withdrawn;
}

bool CertificateIssuer::withdraw(QString* error) {
    if (!takeBack(issued_)) {
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

// The desk's token opened and logged in, or the refusal that stops the job.
std::unique_ptr<Signer> openToken(const TokenKeyPlace& place, const PinPrompt& pin, DeskIssuing& d) {
    std::optional<TokenPin> given = pin ? pin(place) : std::nullopt;
    TokenError why = tokenError(TokenFault::NoPin, place);
    std::unique_ptr<TokenKey> key = given ? TokenKey::open(place, *given, &why) : nullptr;
    if (!key) {
        d.refused = true;
        d.notice = why.farsi + QStringLiteral("\nشناسنامه چاپ نشد و شماره اي به آن داده نشد.");
        d.englishNotice = QStringLiteral("cannot sign with the token: %1; nothing was printed or issued").arg(why.english);
    }
    return key;
}

// The key file read, with the notices it calls for; nothing when there is none or it cannot be used.
std::unique_ptr<Signer> readKeyFile(const QString& keyFile, DeskIssuing& d) {
    if (keyFile.isEmpty()) {
        d.notice = QStringLiteral("اين رايانه كليد امضاي گواهي ندارد؛ كد شناسنامه ها بدون امضا چاپ مي شود.");
        d.englishNotice = QStringLiteral("no signing key: the certificates' codes are unsigned");
        return nullptr;
    }
    QString why;
    std::optional<SigningKey> key = readSigningKey(keyFile, &why);
    if (!key) {
        d.notice = QStringLiteral("كليد امضاي %1 به كار نمي آيد؛ كد شناسنامه ها بدون امضا چاپ مي شود.").arg(isolatedPath(keyFile)) +
                   QStringLiteral("\n") + why;
        d.englishNotice = QStringLiteral("the signing key %1 cannot be used (%2): the codes are unsigned").arg(keyFile, why);
        return nullptr;
    }
    if (struct stat st {}; ::stat(QFile::encodeName(keyFile).constData(), &st) == 0 && (st.st_mode & 077) != 0) {
        d.notice = QStringLiteral("فايل كليد امضاي %1 را كاربران ديگر اين رايانه هم مي توانند بخوانند؛ "
                                  "دسترسي آن را فقط به صاحب فايل بدهيد (chmod 600).")
                       .arg(isolatedPath(keyFile));
        d.englishNotice = QStringLiteral("the signing key %1 can be read by other users (mode %2): make it 0600")
                              .arg(keyFile, QString::number(st.st_mode & 0777, 8));
    }
    return std::make_unique<KeySigner>(std::move(*key));
}

// The key and the notices of a desk's issuing; the issuer is the caller's to make.
template <typename Store>
DeskIssuing deskIssuing(Store& store, const Connection& connection, const QString& office, const DeskKey& key,
                        const PinPrompt& pin) {
    DeskIssuing d;
    if (connection.isReadOnly()) {
        d.notice = QStringLiteral("اطلاعات فقط خواندني است؛ شناسنامه ها بدون شماره و كد گواهي چاپ مي شوند.");
        d.englishNotice = QStringLiteral("the store can only be read: certificates print without a number or code");
        return d;
    }
    std::unique_ptr<Signer> signer = key.token.module.isEmpty() ? readKeyFile(key.keyFile, d) : openToken(key.token, pin, d);
    if (!d.refused) d.issuer = std::make_unique<CertificateIssuer>(store, std::move(signer), office);
    return d;
}

// The PIN of this run of the program, once a token took it.
TokenPin& sessionPin() {
    static TokenPin pin;
    return pin;
}

// issuingForDesk with the desk's settings, its token's PIN asked of the person when this run
// holds none, and remembered only when the token took it.
template <typename Store>
DeskIssuing issuingWithSessionPin(Store& store, const QString& office) {
    TokenPin typed;
    const PinPrompt pin = [&typed](const TokenKeyPlace& place) -> std::optional<TokenPin> {
        if (!sessionPin().isEmpty()) return sessionPin().copy();
        InputRequest request;
        request.caption = QStringLiteral("رمز توكن امضا");
        request.prompt = QStringLiteral("رمز توكن امضا «%1» را بنويسيد:").arg(isolated(place.token));
        request.password = true;
        QString text;
        if (!messageSink().input(request, text)) return std::nullopt;
        typed = TokenPin::fromText(text);
        return typed.copy();
    };
    DeskIssuing d = issuingForDesk(store, office, deskKey(), pin);
    if (d.refused) sessionPin().wipe();
    else if (!typed.isEmpty()) sessionPin() = std::move(typed);
    return d;
}

}  // namespace

DeskIssuing issuingForDesk(Connection& connection, const QString& office, const DeskKey& key, const PinPrompt& pin) {
    return deskIssuing(connection, connection, office, key, pin);
}

DeskIssuing issuingForDesk(StoreWorker& worker, const QString& office, const DeskKey& key, const PinPrompt& pin) {
    return deskIssuing(worker, worker.connection(), office, key, pin);
}

DeskKey deskKey() {
    const std::unique_ptr<QSettings> settings = store::deskSettings();
    auto value = [&](const char* name) { return settings->value(QString::fromLatin1(name)).toString(); };
    DeskKey key;
    key.keyFile = value(kKeyFileSetting);
    key.token.module = value(kTokenModuleSetting);
    key.token.token = value(kTokenLabelSetting);
    key.token.key = value(kTokenKeySetting);
    if (key.token.key.isEmpty()) key.token.key = QString::fromLatin1(kDefaultTokenKeyLabel);
    return key;
}

DeskIssuing issuingForThisDesk(Connection& connection, const QString& office) {
    return issuingWithSessionPin(connection, office);
}

DeskIssuing issuingForThisDesk(StoreWorker& worker, const QString& office) { return issuingWithSessionPin(worker, office); }

}  // namespace zartav::print
