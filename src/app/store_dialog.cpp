#include "app/store_dialog.h"

#include "app/main_window.h"
#include "data/link/store_choice.h"
#include "data/transfer/store_copy.h"
#include "data/tdm.h"
#include "util/app_paths.h"
#include "util/bidi_text.h"
#include "util/dialogs.h"
#include "util/ui/dialog_helpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace zartav {
namespace {

const QString kSslMode = QStringLiteral("sslmode");

QLineEdit* latinBox(QWidget* parent, const QString& name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    // Addresses, names and passwords are typed left to right.
    box->setLayoutDirection(Qt::LeftToRight);
    box->setAlignment(Qt::AlignLeft);
    return box;
}

}  // namespace

StoreConnectionDialog::StoreConnectionDialog(const StoreAddress& current, QWidget* parent)
    : QDialog(parent), current_(current) {
    setObjectName(QStringLiteral("StoreConnectionDialog"));
    setWindowTitle(QStringLiteral("اتصال به سرور"));
    setLayoutDirection(Qt::RightToLeft);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    setFont(font);
    setMinimumWidth(360);

    auto* column = new QVBoxLayout(this);
    FileChoice = new QRadioButton(QStringLiteral("فايل اطلاعات همين رايانه"), this);
    ServerChoice = new QRadioButton(QStringLiteral("سرور اطلاعات دفتر"), this);
    column->addWidget(FileChoice);
    column->addWidget(ServerChoice);

    auto* form = new QFormLayout;
    HostEdit = latinBox(this, QStringLiteral("HostEdit"));
    PortEdit = latinBox(this, QStringLiteral("PortEdit"));
    PortEdit->setValidator(new QIntValidator(1, 65535, PortEdit));
    PortEdit->setPlaceholderText(QStringLiteral("5432"));
    DatabaseEdit = latinBox(this, QStringLiteral("DatabaseEdit"));
    UserEdit = latinBox(this, QStringLiteral("UserEdit"));
    PasswordEdit = latinBox(this, QStringLiteral("PasswordEdit"));
    PasswordEdit->setEchoMode(QLineEdit::Password);
    EncryptedCheck = new QCheckBox(QStringLiteral("اتصال رمزنگاري شده (TLS)"), this);
    form->addRow(QStringLiteral("نشاني سرور:"), HostEdit);
    form->addRow(QStringLiteral("درگاه:"), PortEdit);
    form->addRow(QStringLiteral("پايگاه داده:"), DatabaseEdit);
    form->addRow(QStringLiteral("نام كاربر:"), UserEdit);
    form->addRow(QStringLiteral("رمز عبور:"), PasswordEdit);
    form->addRow(QString(), EncryptedCheck);
    column->addLayout(form);
    auto* note = new QLabel(QStringLiteral("رمز عبور فقط تا پايان اين نوبت كار نگه داشته مي شود و هرگز ذخيره نمي شود."), this);
    note->setWordWrap(true);
    column->addWidget(note);

    auto* buttons = new QHBoxLayout;
    TestButton = new QPushButton(QStringLiteral("آزمايش اتصال"), this);
    SaveButton = new QPushButton(QStringLiteral("ذخيره"), this);
    CancelButton = new QPushButton(QStringLiteral("انصراف"), this);
    for (QPushButton* b : {TestButton, SaveButton, CancelButton}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    column->addLayout(buttons);

    if (current.isServer()) {
        ServerChoice->setChecked(true);
        HostEdit->setText(current.host());
        PortEdit->setText(current.port() > 0 ? QString::number(current.port()) : QString());
        DatabaseEdit->setText(current.database());
        UserEdit->setText(current.user());
        PasswordEdit->setText(current.password());
        const QString mode = current.option(kSslMode);
        EncryptedCheck->setChecked(!mode.isEmpty() && mode != QLatin1String("disable") && mode != QLatin1String("allow") &&
                                   mode != QLatin1String("prefer"));
    } else {
        FileChoice->setChecked(true);
        EncryptedCheck->setChecked(true);
    }
    connect(FileChoice, &QRadioButton::toggled, this, &StoreConnectionDialog::showChoice);
    connect(TestButton, &QPushButton::clicked, this, &StoreConnectionDialog::testConnection);
    connect(SaveButton, &QPushButton::clicked, this, &StoreConnectionDialog::save);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    showChoice();
    centreOnScreen(this);
}

void StoreConnectionDialog::showChoice() {
    const bool server = ServerChoice->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{HostEdit, PortEdit, DatabaseEdit, UserEdit, PasswordEdit,
                                                      EncryptedCheck, TestButton})
        w->setEnabled(server);
}

StoreAddress StoreConnectionDialog::address() const {
    if (FileChoice->isChecked()) return StoreAddress::file(paths::databasePath());
    // What the boxes do not show (a certificate file, a time-out) is kept from the address in use.
    StoreAddress address = current_.isServer() ? current_ : StoreAddress::server();
    address.setHost(HostEdit->text().trimmed());
    address.setPort(PortEdit->text().toInt());
    address.setDatabase(DatabaseEdit->text().trimmed());
    address.setUser(UserEdit->text().trimmed());
    address.setPassword(PasswordEdit->text());
    const QString mode = address.option(kSslMode);
    const bool encrypted = !mode.isEmpty() && mode != QLatin1String("disable") && mode != QLatin1String("allow") &&
                           mode != QLatin1String("prefer");
    if (EncryptedCheck->isChecked() && !encrypted) address.setOption(kSslMode, QStringLiteral("require"));
    if (!EncryptedCheck->isChecked() && encrypted) address.removeOption(kSslMode);
    return address;
}

bool StoreConnectionDialog::testConnection() {
    const StoreAddress store = address();
    if (store.isServer() && store.host().isEmpty() && store.option(QStringLiteral("host")).isEmpty()) {
        showError(QStringLiteral("نشاني سرور را بنويسيد."));
        HostEdit->setFocus();
        return false;
    }
    Connection trial;
    if (!trial.open(store)) {
        showError(trial.errorText());
        return false;
    }
    trial.close();
    if (store.isServer()) showMessage(QStringLiteral("اتصال به سرور اطلاعات برقرار شد:\n%1").arg(isolated(store.display())));
    return true;
}

void StoreConnectionDialog::save() {
    const StoreAddress store = address();
    if (store.isServer() && !testConnection()) return;
    if (!store::saveAddress(store.isServer() ? store.display() : QString())) {
        showError(QStringLiteral("تنظيمات اين رايانه ذخيره نشد."));
        return;
    }
    accept();
}

QString copyToServerQuestion(const QString& server, qint64 records) {
    return QStringLiteral("سرور اطلاعات زير هنوز ركوردي ندارد:\n%1\n%2 ركورد اين رايانه، با عكسها و كاتالوگ، به آن رونوشت شود؟")
        .arg(isolated(server))
        .arg(records);
}

namespace {

void offerCopyToEmptyServer(QWidget* parent, const StoreAddress& file, const StoreAddress& server) {
    // Only a desk with records moving onto a server without any: anything else is not a move.
    Connection from;
    Connection to;
    if (!from.open(file, StoreAccess::ReadOnly) || !to.open(server)) return;
    // Records copied onto the server are an administrator's move.
    if (!access::may(to.rights(), access::Action::CopyOntoServer)) return;
    RecordTable source(from);
    RecordTable target(to);
    if (!source.open() || !target.open() || source.isEmpty() || !target.isEmpty()) return;
    const qint64 records = source.shownCount().value_or(source.rowCount());
    source.close();
    target.close();
    if (askYesNo(copyToServerQuestion(to.displayName(), records)) != kAnswerYes) return;
    const auto progress = progressWindow(QStringLiteral("رونوشت به سرور"), QStringLiteral("رونوشت ركوردها به سرور ..."),
                                         QString(), 1000, parent);
    const StoreCopyReport report = copyStore(from, to, false, [&](qint64 done, qint64 total) {
        progress->setValue(total > 0 ? int(done * 1000 / total) : 0);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return true;
    });
    progress->close();
    if (report.ok)
        showMessage(QStringLiteral("%1 ركورد و %2 رديف كاتالوگ به سرور اطلاعات رونوشت شد.").arg(report.records).arg(report.catalogueRows) +
                    // The keys the server trusts are the office's to choose.
                    (report.registerLeft ? QStringLiteral("\nثبت گواهي ها و كليدهاي عمومي اين رايانه به سرور آورده نشد؛ "
                                                          "سرور ثبت و كليدهاي خود را دارد.")
                                         : QString()));
    else
        showError(withEngineWords(QStringLiteral("رونوشت به سرور انجام نشد؛ سرور همان طور كه بود خالي مانده است."), report.error));
}

}  // namespace

void addStoreConnectionCommand(TForm1& window) {
    window.addOfficeCommand(QStringLiteral("اتصال به سرور"), QKeySequence(), [&window] {
        const StoreAddress previous = window.currentStore();
        StoreConnectionDialog dialog(previous, &window);
        if (dialog.exec() != QDialog::Accepted) return;
        const StoreAddress chosen = dialog.address();
        if (!previous.isServer() && chosen.isServer()) offerCopyToEmptyServer(&window, previous, chosen);
        window.openStore(chosen);
    });
}

}  // namespace zartav
