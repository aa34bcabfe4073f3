// What the window lets each of the office's roles do on the server, and what it shows: the commands
// greyed with the role that may, the status line, a clerk's draft print, and the server's refusals
// in words the desk reads, with what was typed kept.
#include "app/certificate_windows.h"
#include "app/history_window.h"
#include "app/main_window.h"
#include "app/office_commands.h"
#include "data/certificates/certificate_register.h"
#include "data/certificates/office_texts.h"
#include "data/engine/pg_driver.h"
#include "data/link/store_choice.h"
#include "data/schema/store_roles.h"
#include "data/tdm.h"
#include "data/transfer/daily_copies.h"
#include "data/transfer/store_backup.h"
#include "print/ui/certificate_preview.h"
#include "services/ttools.h"
#include "util/app_paths.h"

#include "message_recorder.h"
#include "modal_window.h"
#include "sql_test_database.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

using namespace zartav;

namespace {

QString isolated(const QString& run) { return QChar(0x2068) + run + QChar(0x2069); }

const QString kProvince = QStringLiteral("كد استان");
const QString kNumber = QStringLiteral("شماره ثبت");
const QString kCalf = QStringLiteral("نام گوساله");
// The office's one province, and another office's record, one of its own and one certified.
const QString kOurs = QStringLiteral("11");
constexpr qint64 kOtherProvince = 1000, kUncertified = 1001, kCertified = 1002;
const QString kGuardWords = QStringLiteral("اين شماره ثبت را سرور نمي پذيرد");

class WindowRightsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZARTAV_REQUIRE_STORE(store, test::Engine::PostgreSQL, false);
        paths::setProgramFolderForTesting(dir.path());
        paths::setUserDataFolderForTesting(dir.path());
        store::setSettingsFileForTesting(dir.filePath(QStringLiteral("Zartav.conf")));
        TDM owner;
        ASSERT_TRUE(owner.Maincon.open(store->address())) << owner.Maincon.technicalError().toStdString();
        QStringList cluster;
        const auto idempotent = [](const QString& statement, const char* tolerated) {
            return QStringLiteral("DO $$ BEGIN %1; EXCEPTION WHEN %2 THEN NULL; END $$").arg(statement, QString::fromLatin1(tolerated));
        };
        for (const char* group : {access::kClerkRole, access::kRegistrarRole, access::kAdminRole})
            cluster << idempotent(QStringLiteral("CREATE ROLE %1 NOLOGIN").arg(group), "duplicate_object OR unique_violation");
        const QStringList groups{"", access::kClerkRole, access::kRegistrarRole, access::kAdminRole};
        for (int i = 0; i < logins.size(); ++i) {
            cluster << idempotent(QStringLiteral("CREATE ROLE %1 LOGIN").arg(logins[i]), "duplicate_object OR unique_violation");
            if (!groups[i].isEmpty()) cluster << idempotent(QStringLiteral("GRANT %1 TO %2").arg(groups[i], logins[i]), "OTHERS");
        }
        ASSERT_EQ(test::serverAdminExec(cluster), QString());
        // The office's real objects, granted as `zartav-cli roles` grants them.
        {
            QSqlDatabase db = owner.Maincon.database();
            const offices::Setup granted = offices::grantRoles(db);
            ASSERT_TRUE(granted.ok) << granted.error.toStdString();
        }
        for (const QString& statement : {
                 QStringLiteral("INSERT INTO \"Offices\" VALUES ('T1', 'دفتر آزمون', ARRAY['11'], true)"),
                 QStringLiteral("INSERT INTO \"OfficeUsers\" SELECT unnest(ARRAY['%1']), 'T1'").arg(logins.join("','")),
                 // An office may let a login of no role read.
                 QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA %1 TO %2").arg(store->schemaName(), logins[0]),
                 // A guard of the server's own, in its own Farsi words.
                 QStringLiteral("CREATE FUNCTION rights_guard() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                                "IF NEW.\"شماره ثبت\" = 'guarded' THEN RAISE EXCEPTION USING ERRCODE = '42501', "
                                "MESSAGE = '%1'; END IF; RETURN NEW; END $$").arg(kGuardWords),
                 QStringLiteral("CREATE TRIGGER rights_guard BEFORE INSERT ON \"VaskorTemp\" FOR EACH ROW EXECUTE FUNCTION rights_guard()"),
                 QStringLiteral("INSERT INTO \"VaskorTemp\" (\"ID\", \"كد استان\", \"شماره ثبت\") VALUES "
                                "(1000, '22', 'R-22'), (1001, '11', 'R-11'), (1002, '11', 'R-C')"),
             })
            ASSERT_TRUE(store->exec(statement));
        QSqlDatabase db = owner.Maincon.database();
        ASSERT_TRUE(certificates::issue(db, {{kCertified, QByteArray(32, 'c'), QStringLiteral("R-C"), QStringLiteral("owner"),
                                              QStringLiteral("desk"), QString()}}));
        QHash<QString, QString> texts;
        for (const certificates::OfficeText& t : certificates::officeTexts())
            texts.insert(QString::fromLatin1(t.name), QStringLiteral("اتحاديه دامداران استان مركزي"));
        ASSERT_TRUE(certificates::writeOfficeTexts(db, texts));
    }
    void TearDown() override {
        print::setPreviewRunnerForTesting({});
        store::setSettingsFileForTesting(std::nullopt);
        paths::setProgramFolderForTesting(std::nullopt);
        paths::setUserDataFolderForTesting(std::nullopt);
    }

    QString address(int login) const { return store->addressFor(logins[login]); }
    qint64 issues() const { return store->scalar(QStringLiteral("SELECT COUNT(*) FROM \"CertificateIssues\"")).toLongLong(); }

    // The window as the program builds it, on `address`.
    std::unique_ptr<TForm1> window(TDM& dm, const QString& address) {
        auto form = std::make_unique<TForm1>(dm);
        addPrintCommands(*form, dm);
        addRecordImportCommand(*form, dm);
        addBackupCommands(*form, dm);
        addCertificateCommands(*form, dm);
        form->setStoreAddress(address);
        form->FormShow();
        return form;
    }

    // One test takes a right away from its clerk while the others run beside it: the logins are this
    // run's own.
    const QStringList logins = [] {
        QStringList names;
        for (const char* role : {"reader", "clerk", "registrar", "admin"})
            names << QStringLiteral("rights_%1_%2").arg(QLatin1String(role)).arg(QCoreApplication::applicationPid());
        return names;
    }();
    enum { Reader, Clerk, Registrar, Admin };
    std::unique_ptr<test::TestStore> store;
    QTemporaryDir dir;
    TTools tools;
    test::MessageRecorder messages;
};

}  // namespace

TEST_F(WindowRightsTest, EachRoleSeesWhatItMayNotUseGreyedWithWhoMayAndItselfOnTheStatusLine) {
    const QString clerks = QStringLiteral("فقط متصدي مجاز است"), registrars = QStringLiteral("فقط ثبت كننده مجاز است"),
                  admins = QStringLiteral("فقط مدير مجاز است");
    const QString office = QStringLiteral("، دفتر %1 (%2)").arg(isolated("T1"), isolated(QStringLiteral("دفتر آزمون")));
    using Greyed = QMap<QString, QString>;  // caption: tooltip
    const Greyed administrators = {{QStringLiteral("بازگرداني"), admins}, {QStringLiteral("مشخصات صادر كننده"), admins}};
    Greyed registrarsGrey = administrators, clerksGrey = administrators;
    clerksGrey.insert(QStringLiteral("چاپ گروهي"), registrars);
    Greyed readers = clerksGrey;
    for (const char* caption : {"جديد", "اصلاح", "حذف", "ورود ركوردها"}) readers.insert(QString::fromUtf8(caption), clerks);
    const struct {
        const char* name;
        QString address;
        Greyed greyed;
        QString status;  // how the store line ends
        bool restores;   // in "ركوردهاي حذف شده"
    } cases[] = {
        {"reader", address(Reader), readers, QStringLiteral("؛ كاربر %1، فقط خواندن").arg(isolated(logins[Reader])) + office, false},
        {"clerk", address(Clerk), clerksGrey, QStringLiteral("؛ كاربر %1، متصدي").arg(isolated(logins[Clerk])) + office, false},
        {"registrar", address(Registrar), administrators,
         QStringLiteral("؛ كاربر %1، ثبت كننده").arg(isolated(logins[Registrar])) + office, true},
        {"administrator", address(Admin), {}, QStringLiteral("؛ كاربر %1، مدير").arg(isolated(logins[Admin])) + office, true},
        {"the file's one administrator", dir.filePath(QStringLiteral("Data.db")), {}, QString(), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TDM dm;
        const std::unique_ptr<TForm1> form = window(dm, c.address);
        ASSERT_TRUE(dm.TVascor.isOpen()) << messages.texts().join("|").toStdString();
        Greyed greyed;
        QList<QToolButton*> commands = form->dxWinXPBar1Items;
        commands << form->OfficeBar->findChildren<QToolButton*>();
        for (const QToolButton* b : commands)
            // A long caption is broken over two lines on the panel.
            if (!b->text().isEmpty() && !b->isEnabled()) greyed.insert(QString(b->text()).replace(QLatin1Char('\n'), QLatin1Char(' ')), b->toolTip());
        EXPECT_EQ(greyed, c.greyed);
        // The menu and its keys go with the commands.
        for (const QAction* a : form->PopupMenu1->actions())
            if (!a->text().isEmpty()) {
                EXPECT_EQ(a->isEnabled(), !c.greyed.contains(a->text())) << a->text().toStdString();
            }
        if (const QString folder = qEnvironmentVariable("ZARTAV_SCREENS"); !folder.isEmpty()) {
            form->resize(1280, 800);
            form->grab().save(folder + QStringLiteral("/rights-%1.png").arg(QLatin1String(c.name)));
        }
        const QString line = form->StoreLine->text();
        if (c.status.isEmpty()) EXPECT_FALSE(line.contains(QStringLiteral("؛ كاربر"))) << line.toStdString();
        else EXPECT_TRUE(line.endsWith(c.status) && line.count(QStringLiteral("كاربر")) == 1) << line.toStdString();
        DeletedRecordsWindow deleted(dm);
        const QPushButton* restore = nullptr;
        for (const QPushButton* b : deleted.findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("بازگرداني")) restore = b;
        ASSERT_TRUE(restore);
        EXPECT_EQ(restore->toolTip(), c.restores ? QString() : registrars);
        messages.clear();
    }
}

TEST_F(WindowRightsTest, AClerkPrintsDraftsTakingNoNumberAndIsToldACertifiedRecordIsNotItsToDelete) {
    TDM dm;
    const std::unique_ptr<TForm1> form = window(dm, address(Clerk));
    ASSERT_TRUE(dm.TVascor.locateId(kUncertified));
    const qint64 before = issues();
    bool draft = false, coded = false;
    print::setPreviewRunnerForTesting([&](QWidget*, const print::CertificateLayout& layout, print::CertificateSource&) {
        for (const print::Element& e : layout.elements) {
            draft = draft || e.text == QStringLiteral("پيش نويس");
            coded = coded || e.kind == print::ElementKind::Code;
        }
    });
    form->PrintCommand();
    EXPECT_TRUE(draft && !coded);
    // The preview itself, saved as PDF, registers nothing.
    print::setPreviewRunnerForTesting({});
    const QString pdf = dir.filePath(QStringLiteral("draft.pdf"));
    bool saved = false;
    const auto watch = test::whenModal<print::CertificatePreview>([&](print::CertificatePreview& preview) {
        preview.choosePdfFile = [&](QWidget*) { return pdf; };
        saved = preview.saveAsPdf();
    });
    form->PrintCommand();
    EXPECT_TRUE(saved && QFile::exists(pdf));
    EXPECT_EQ(issues(), before);
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join("|").toStdString();

    ASSERT_TRUE(dm.TVascor.locateId(kCertified));
    form->dxWinXPBar1Items2Click();
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("فقط ثبت كننده مجاز است")});
    EXPECT_EQ(store->scalar(QStringLiteral("SELECT COUNT(*) FROM \"VaskorTemp\" WHERE \"ID\" = %1").arg(kCertified)).toInt(), 1);
}

TEST_F(WindowRightsTest, TheServersRefusalsAreToldInFarsiAndWhatWasTypedStays) {
    TDM dm;
    ASSERT_TRUE(dm.Maincon.open(address(Clerk)) && dm.TVascor.open()) << dm.Maincon.technicalError().toStdString();
    RecordTable& table = dm.TVascor;
    // The server's guard says it before its row-level security would.
    const QString otherProvince = QStringLiteral("كد استان 22 در حوزه دفتر T1 (دفتر آزمون) نيست");
    const struct {
        const char* name;
        std::function<bool()> write;  // answers whether the write went through
        QString words;
    } cases[] = {
        {"a new record of another province", [&] {
             table.insert();
             table.setValue(kProvince, "22");
             table.setValue(kCalf, QStringLiteral("آزمون"));
             return table.post();
         }, otherProvince},
        {"an edit of another province's record", [&] {
             table.locateId(kOtherProvince);
             table.edit();
             table.setValue(kCalf, QStringLiteral("آزمون"));
             return table.post();
         }, otherProvince},
        {"the server's own guard", [&] {
             table.insert();
             table.setValue(kProvince, kOurs);
             table.setValue(kNumber, "guarded");
             return table.post();
         }, kGuardWords},
        {"a delete of another province's record", [&] {
             table.locateId(kOtherProvince);
             return table.remove();
         }, otherProvince},
        {"a right taken away since the desk connected", [&] {
             EXPECT_EQ(test::serverAdminExec({QStringLiteral("REVOKE zartav_clerk FROM %1").arg(logins[Clerk])}), QString());
             table.insert();
             table.setValue(kProvince, kOurs);
             table.setValue(kCalf, QStringLiteral("آزمون"));
             return table.post();
         }, QStringLiteral("فقط متصدي مجاز است")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(c.write());
        EXPECT_EQ(table.saveFailure(), SaveFailure::NotAllowed);
        EXPECT_EQ(table.errorText(), c.words);
        // The entry form stays with what was typed.
        if (table.state() != RecordState::Browse) {
            EXPECT_TRUE(table.value(kCalf) == QStringLiteral("آزمون") || table.value(kNumber) == "guarded");
        }
        table.cancel();
    }
    EXPECT_EQ(store->scalar(QStringLiteral("SELECT COUNT(*) FROM \"VaskorTemp\"")).toInt(), 3);
}

TEST_F(WindowRightsTest, RightsAreReadWithTheOpeningsFactsAndAClerksDeskKeepsNoDailyCopy) {
    for (int login : {Reader, Clerk, Admin}) {
        SCOPED_TRACE(logins[login].toStdString());
        Connection desk;
        ASSERT_TRUE(desk.open(address(login)));
        // Connecting, and the one statement of the store's facts.
        EXPECT_EQ(pg::roundTrips(desk.database()), 2u);
        EXPECT_TRUE(desk.rights().rolesInForce);
        EXPECT_EQ(desk.rights().provinces, QStringList{kOurs});
        EXPECT_TRUE(desk.rights().fourEyes);
    }
    // Any desk may keep a copy of what it reads; the office's daily copy is left to one whose
    // user may make it.
    for (const auto& [login, copies] : {std::pair{Clerk, 0}, std::pair{Admin, 1}}) {
        SCOPED_TRACE(logins[login].toStdString());
        const StoreAddress store = *StoreAddress::parse(address(login));
        const BackupReport own = backupStore(store, dir.filePath(logins[login] + QStringLiteral(".db")), false);
        EXPECT_TRUE(own.ok) << backupSummary(own).toStdString();
        const BackupReport daily = runDailyBackup(store);
        EXPECT_TRUE(daily.ok) << backupSummary(daily).toStdString();
        EXPECT_EQ(QDir(dailyBackupFolder()).entryList({QStringLiteral("Data-*.db")}).size(), copies);
    }
}
