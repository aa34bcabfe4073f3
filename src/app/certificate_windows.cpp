#include "app/certificate_windows.h"
#include "dates/ui/file_dialog.h"

#include "app/main_window.h"
#include "data/certificates/certificate_register.h"
#include "data/certificates/office_texts.h"
#include "data/tdm.h"
#include "print/ui/certificate_preview.h"
#include "util/bidi_text.h"
#include "util/dialogs.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>

namespace zartav {

namespace {

void farsiWindow(QDialog& dialog, const QString& title) {
    dialog.setWindowTitle(title);
    dialog.setLayoutDirection(Qt::RightToLeft);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    dialog.setFont(font);
}

// The caption of each office text in the window, in the order they are asked.
struct OfficeBox {
    const char* name;
    const char* caption;
};
const OfficeBox kOfficeBoxes[] = {
    {certificates::kOfficeName, "نام دفتر صادر كننده:"},
    {certificates::kOfficeAddress, "نشاني:"},
    {certificates::kOfficeContact, "تلفن و راه تماس:"},
    {certificates::kMinistryLine, "سطر اول سربرگ (وزارتخانه):"},
    {certificates::kDeputyLine, "سطر دوم سربرگ (معاونت):"},
    {certificates::kCentreLine, "سطر سوم سربرگ (مركز اصلاح نژاد):"},
    {certificates::kUnionLine, "صادر كننده در پاي شناسنامه:"},
    {certificates::kRegistryLine, "سطر ثبت مشخصات و دفتر انساب:"},
    {certificates::kSignatoryName, "نام امضا كننده:"},
    {certificates::kSignatoryRole, "سمت امضا كننده:"},
};
constexpr int kMaxOfficeText = 120;

}  // namespace

CertificateCheckForm::CertificateCheckForm(Connection& store, QWidget* parent)
    : QDialog(parent), own_(std::make_unique<StoreWorker>(store, StoreWorker::Mode::Inline)), store_(*own_) {
    build();
}

CertificateCheckForm::CertificateCheckForm(StoreWorker& worker, QWidget* parent) : QDialog(parent), store_(worker) {
    build();
}

void CertificateCheckForm::build() {
    setObjectName(QStringLiteral("CertificateCheckForm"));
    farsiWindow(*this, QStringLiteral("بررسي گواهي"));
    setMinimumSize(560, 420);
    auto* column = new QVBoxLayout(this);
    VerdictLabel = new QLabel(QStringLiteral("تصوير يا PDF شناسنامه را باز كنيد تا كد آن بررسي شود."), this);
    VerdictLabel->setWordWrap(true);
    // The verdict quotes what the scanned code says: a forger's markup must show as the text it is.
    VerdictLabel->setTextFormat(Qt::PlainText);
    VerdictLabel->setMargin(8);
    column->addWidget(VerdictLabel);
    FactsTable = new QTableWidget(0, 3, this);
    FactsTable->setHorizontalHeaderLabels({QStringLiteral("عنوان"), QStringLiteral("روي گواهي"), QStringLiteral("اطلاعات فعلي")});
    FactsTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    FactsTable->verticalHeader()->hide();
    FactsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    column->addWidget(FactsTable, 1);
    auto* buttons = new QHBoxLayout;
    OpenButton = new QPushButton(QStringLiteral("باز كردن تصوير..."), this);
    CloseButton = new QPushButton(QStringLiteral("بازگشت"), this);
    buttons->addWidget(OpenButton);
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    column->addLayout(buttons);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(OpenButton, &QPushButton::clicked, this, [this] {
        const QString path = chooseFileToOpen(this, QStringLiteral("تصوير شناسنامه"), QString(),
                                              QStringLiteral("تصوير يا PDF (*.png *.jpg *.jpeg *.pdf)"));
        if (!path.isEmpty()) checkFile(path);
    });
}

CertificateCheckForm::~CertificateCheckForm() {
    // Closed while a file was being read: the reading ends before the window goes.
    if (worker_) {
        worker_->wait();
        delete worker_;
    }
}

void CertificateCheckForm::checkFile(const QString& path) {
    if (worker_) return;
    OpenButton->setEnabled(false);
    VerdictLabel->setText(QStringLiteral("در حال خواندن كد گواهي..."));
    // Decoding a photo takes a good part of a second: the window stays responsive meanwhile.
    // The store is asked afterwards by its worker, and the verdict shown when it answers.
    auto reading = std::make_shared<print::CodeReading>();
    worker_ = QThread::create([reading, path] { *reading = print::readCodesFromFile(path); });
    connect(worker_, &QThread::finished, this, [this, reading] {
        worker_->deleteLater();
        worker_ = nullptr;
        auto verdict = std::make_shared<print::Verification>();
        store_.post(
            [reading, verdict](StoreLink& link) {
                linkReady(link);
                *verdict = print::verifyReading(*reading, &link, std::nullopt);
            },
            [window = QPointer<CertificateCheckForm>(this), verdict] {
                // The window may have been closed while the store was asked.
                if (!window) return;
                window->show(*verdict);
                window->OpenButton->setEnabled(true);
                emit window->checked();
            });
    });
    worker_->start();
}

void CertificateCheckForm::show(const print::Verification& v) {
    verification_ = v;
    const char* colour = v.verdict == print::Verdict::Genuine      ? "#1b6e20"
                         : v.verdict == print::Verdict::Superseded ? "#a65c00"
                         : v.verdict == print::Verdict::Unsigned   ? "#a65c00"
                         : v.verdict == print::Verdict::NoCode     ? "#555555"
                                                                   : "#b00000";
    VerdictLabel->setStyleSheet(QStringLiteral("QLabel { color: %1; font-weight: bold; }").arg(QLatin1String(colour)));
    VerdictLabel->setText(v.storeError.isEmpty() ? v.farsi
                                                 : withEngineWords(v.farsi + QStringLiteral("\nاطلاعات فعلي خوانده نشد."),
                                                                   v.storeError));
    FactsTable->setRowCount(int(v.facts.size()));
    for (int row = 0; row < v.facts.size(); ++row) {
        const print::FactLine& f = v.facts[row];
        const QString cells[] = {f.caption, f.printed, f.stored};
        for (int c = 0; c < 3; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            // A fact that differs from the store stands out.
            if (c > 0 && !f.stored.isEmpty() && f.stored != f.printed) item->setForeground(QColor(0xb0, 0, 0));
            FactsTable->setItem(row, c, item);
        }
    }
}

namespace {

// The office's texts, read by the store's worker while the window waits, still painting.
std::optional<QHash<QString, QString>> officeTextsBy(StoreWorker& store) {
    std::optional<QHash<QString, QString>> texts;
    store.call([&](StoreLink& link) {
        texts = withLink(link, [&] {
            QSqlDatabase db = link.database();
            return certificates::readOfficeTexts(db);
        });
    });
    return texts;
}

}  // namespace

IssuerDetailsDialog::IssuerDetailsDialog(StoreWorker& store, QWidget* parent) : QDialog(parent), store_(store) {
    setObjectName(QStringLiteral("IssuerDetailsDialog"));
    farsiWindow(*this, QStringLiteral("مشخصات صادر كننده"));
    setMinimumWidth(520);
    auto* column = new QVBoxLayout(this);
    auto* note = new QLabel(QStringLiteral("اين متن ها روي همه شناسنامه هاي اين فايل اطلاعات چاپ مي شوند؛ "
                                           "خانه خالي يعني متن پيش فرض. سطرهاي سربرگ و پاي شناسنامه كه متن پيش فرض "
                                           "آن ها جانشين است بايد پيش از چاپ شناسنامه رسمي نوشته شوند."),
                            this);
    note->setWordWrap(true);
    column->addWidget(note);
    const QHash<QString, QString> texts = officeTextsBy(store).value_or(QHash<QString, QString>());
    QHash<QString, QString> defaults;
    for (const certificates::OfficeText& t : certificates::officeTexts())
        defaults.insert(QString::fromLatin1(t.name), QString::fromUtf8(t.defaultText));
    auto* form = new QFormLayout;
    for (const OfficeBox& b : kOfficeBoxes) {
        const QString name = QString::fromLatin1(b.name);
        auto* box = new QLineEdit(this);
        box->setObjectName(name);
        box->setMaxLength(kMaxOfficeText);
        box->setPlaceholderText(defaults.value(name));
        // Only what the office set is shown as its own; the default stays the placeholder.
        if (texts.value(name) != defaults.value(name)) box->setText(texts.value(name));
        form->addRow(QString::fromUtf8(b.caption), box);
        Boxes.insert(name, box);
    }
    column->addLayout(form);
    auto* buttons = new QHBoxLayout;
    SaveButton = new QPushButton(QStringLiteral("تاييد"), this);
    CancelButton = new QPushButton(QStringLiteral("انصراف"), this);
    buttons->addStretch();
    buttons->addWidget(SaveButton);
    buttons->addWidget(CancelButton);
    column->addLayout(buttons);
    connect(SaveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    if (store.connection().isReadOnly()) SaveButton->setEnabled(false);
}

bool IssuerDetailsDialog::save() {
    QHash<QString, QString> texts;
    for (auto it = Boxes.cbegin(); it != Boxes.cend(); ++it) {
        const QString value = it.value()->text().trimmed();
        // A direction control would print the office's words in another order than typed.
        if (holdsDirectionControl(value)) {
            showMessage(directionControlReason());
            it.value()->setFocus();
            return false;
        }
        texts.insert(it.key(), value);
    }
    QString error;
    bool saved = false;
    store_.call([&](StoreLink& link) {
        linkReady(link);
        QSqlDatabase db = link.database();
        saved = certificates::writeOfficeTexts(db, texts, &error);
    });
    if (!saved) {
        showMessage(withEngineWords(QStringLiteral("مشخصات صادر كننده ذخيره نشد."), error));
        return false;
    }
    accept();
    return true;
}

QList<BoardPost> officeAboutLines(StoreWorker& store) {
    const QHash<QString, QString> texts = officeTextsBy(store).value_or(QHash<QString, QString>());
    QList<BoardPost> lines;
    const std::pair<const char*, const char*> shown[] = {
        {certificates::kOfficeName, "صادر كننده"},
        {certificates::kOfficeAddress, "نشاني"},
        {certificates::kOfficeContact, "تماس"},
    };
    for (const auto& [name, caption] : shown)
        if (!texts.value(QString::fromLatin1(name)).isEmpty())
            lines.append({QString::fromUtf8(caption), texts.value(QString::fromLatin1(name))});
    return lines;
}

bool officeReadyToPrint(StoreWorker& store, QWidget* parent) {
    auto ready = [&store] {
        const std::optional<QHash<QString, QString>> texts = officeTextsBy(store);
        return texts && certificates::standInTexts(*texts).isEmpty();
    };
    if (ready()) return true;
    showMessage(certificates::standInTextsReason());
    if (store.connection().isReadOnly()) return false;
    IssuerDetailsDialog dialog(store, parent);
    return dialog.exec() == QDialog::Accepted && ready();
}

void addCertificateCommands(TForm1& window, TDM& dm) {
    window.addOfficeCommand(QStringLiteral("بررسي گواهي"), QKeySequence(), [&window, &dm] {
        CertificateCheckForm form(dm.worker(), &window);
        form.exec();
    });
    window.addOfficeCommand(
        QStringLiteral("مشخصات صادر كننده"), QKeySequence(),
        [&window, &dm] {
            IssuerDetailsDialog dialog(dm.worker(), &window);
            dialog.exec();
        },
        access::Action::OfficeTexts);
}

void addPrintCommands(TForm1& window, TDM& dm) {
    // A draft prints whatever the office's texts hold: only an official page waits for them.
    window.PrintCommand = [&window, &dm] {
        if (!access::may(dm.Maincon.rights(), access::Action::Issue) || officeReadyToPrint(dm.worker(), &window))
            print::printCurrentCertificate(&window, dm);
    };
    window.addOfficeCommand(
        QStringLiteral("چاپ گروهي"), QKeySequence(QStringLiteral("Ctrl+Shift+P")),
        [&window, &dm] {
            if (!officeReadyToPrint(dm.worker(), &window)) return;
            if (const std::optional<QList<qint64>> chosen = window.chosenRecordIds())
                print::printCertificateBatch(&window, dm, *chosen, window.chosenHerd());
        },
        access::Action::Issue);
}

}  // namespace zartav
