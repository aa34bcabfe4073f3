#include "app/main_window.h"
#include "app/store_dialog.h"
#include "data/link/store_choice.h"
#include "data/tdm.h"
#include "message_recorder.h"
#include "sql_test_database.h"
#include "util/app_paths.h"
#include "services/ttools.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

static void registerStorePictures() { Q_INIT_RESOURCE(zartav_assets); }

using namespace zartav;

namespace {

const QString kPassword = QStringLiteral("desk-Pa55 word");

class StoreDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZARTAV_REQUIRE_STORE(server, test::Engine::PostgreSQL, true);
        registerStorePictures();
        paths::setProgramFolderForTesting(programDir.path());
        paths::setUserDataFolderForTesting(programDir.path());
        store::setSettingsFileForTesting(programDir.filePath("settings.ini"));
        role = qEnvironmentVariable("ZARTAV_PG_PASSWORD_ROLE");
        ASSERT_TRUE(test::serverAdminExec({QStringLiteral("DO $$ BEGIN CREATE ROLE %1 LOGIN; EXCEPTION WHEN "
                                                          "duplicate_object OR unique_violation THEN NULL; END $$")
                                               .arg(role),
                                           QStringLiteral("ALTER ROLE %1 PASSWORD '%2'").arg(role, kPassword)})
                        .isEmpty());
        {
            TDM owner;
            ASSERT_TRUE(owner.Maincon.open(server->address()));
        }
        ASSERT_TRUE(server->exec(QStringLiteral("GRANT ALL ON ALL TABLES IN SCHEMA public TO %1").arg(role)));
        qputenv("PGPASSFILE", programDir.filePath("none").toUtf8());
        form = std::make_unique<TForm1>(dm);
        addStoreConnectionCommand(*form);
        ASSERT_TRUE(form->FormShow());
    }
    void TearDown() override {
        qunsetenv("PGPASSFILE");
        store::setSettingsFileForTesting(std::nullopt);
        paths::setProgramFolderForTesting(std::nullopt);
        paths::setUserDataFolderForTesting(std::nullopt);
    }

    // Chooses "اتصال به سرور" and, once its dialog shows, does `action` on it.
    void runCommand(const std::function<void(StoreConnectionDialog&)>& action) {
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<StoreConnectionDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            shown = true;
            action(*dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        QAction* command = nullptr;
        for (QAction* a : form->PopupMenu1->actions())
            if (a->text() == QStringLiteral("اتصال به سرور")) command = a;
        ASSERT_NE(command, nullptr);
        command->trigger();
        EXPECT_TRUE(shown);
    }

    void fillServer(StoreConnectionDialog& d, const QString& port) {
        d.ServerChoice->setChecked(true);
        d.HostEdit->setText(qEnvironmentVariable("ZARTAV_PG_HOST"));
        d.PortEdit->setText(port);
        d.DatabaseEdit->setText(server->databaseName());
        d.UserEdit->setText(role);
        d.PasswordEdit->setText(kPassword);
        d.EncryptedCheck->setChecked(qEnvironmentVariable("ZARTAV_PG_SSL") == QLatin1String("1"));
    }

    QString settingsText() const {
        QFile f(programDir.filePath("settings.ini"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    std::unique_ptr<test::TestStore> server;
    QTemporaryDir programDir;
    QString role;
    test::MessageRecorder messages;
    TDM dm;
    TTools tools;
    std::unique_ptr<TForm1> form;
};

}  // namespace

TEST_F(StoreDialogTest, TriesSavesAndChangesOverToTheChosenStore) {
    ASSERT_FALSE(dm.Maincon.isServer());
    const QString port = qEnvironmentVariable("ZARTAV_PG_PORT");

    // A server that does not answer: told so, nothing saved, the desk stays on its file.
    runCommand([&](StoreConnectionDialog& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("اتصال به سرور"));
        EXPECT_EQ(d.layoutDirection(), Qt::RightToLeft);
        EXPECT_TRUE(d.FileChoice->isChecked());
        EXPECT_FALSE(d.HostEdit->isEnabled());
        fillServer(d, QStringLiteral("1"));
        d.SaveButton->click();
        EXPECT_TRUE(d.isVisible());
    });
    ASSERT_EQ(messages.boxes().size(), 1);
    EXPECT_TRUE(messages.boxes()[0].text.startsWith(QStringLiteral("اتصال به سرور اطلاعات زير برقرار نشد")));
    EXPECT_FALSE(messages.boxes()[0].text.contains(kPassword));
    EXPECT_FALSE(dm.Maincon.isServer());
    EXPECT_TRUE(store::savedAddress().isEmpty());

    // The office's server: tried, saved without its password, and in use at once.
    messages.clear();
    runCommand([&](StoreConnectionDialog& d) {
        fillServer(d, port);
        d.TestButton->click();
        d.SaveButton->click();
        EXPECT_FALSE(d.isVisible());
    });
    ASSERT_EQ(messages.boxes().size(), 2) << messages.texts().join("|").toStdString();
    EXPECT_TRUE(messages.boxes()[0].text.startsWith(QStringLiteral("اتصال به سرور اطلاعات برقرار شد")));
    ASSERT_TRUE(dm.Maincon.isServer());
    EXPECT_TRUE(dm.TVascor.isOpen());
    const QString saved = store::savedAddress();
    EXPECT_EQ(saved, dm.Maincon.displayName());
    EXPECT_TRUE(saved.startsWith(QStringLiteral("postgresql://%1@").arg(role)));
    EXPECT_FALSE(settingsText().contains(QStringLiteral("Pa55")));
    EXPECT_EQ(store::chosenAddress({}), saved);
    EXPECT_EQ(store::chosenAddress({"zartav", "--store", "/other/Data.db"}), "/other/Data.db");

    // Back to this computer's file: the setting goes, the Data.db is in use again.
    messages.clear();
    runCommand([&](StoreConnectionDialog& d) {
        EXPECT_TRUE(d.ServerChoice->isChecked());
        EXPECT_EQ(d.DatabaseEdit->text(), server->databaseName());
        EXPECT_EQ(d.UserEdit->text(), role);
        d.FileChoice->setChecked(true);
        d.SaveButton->click();
    });
    EXPECT_TRUE(messages.boxes().isEmpty()) << messages.texts().join("|").toStdString();
    EXPECT_FALSE(dm.Maincon.isServer());
    EXPECT_EQ(dm.Maincon.address().filePath(), paths::databasePath());
    EXPECT_TRUE(store::savedAddress().isEmpty());
    EXPECT_EQ(store::chosenAddress({}), paths::databasePath());
}

// A desk with records moving onto a server that has none is offered to copy them there; "خير"
// leaves the server empty, "بله" copies every record before the window changes over.
TEST_F(StoreDialogTest, MovingToAnEmptyServerOffersToCopyThisDesksRecords) {
    for (const char* herd : {"12", "13"}) {
        ASSERT_TRUE(dm.TVascor.insert());
        dm.TVascor.setValue(QStringLiteral("كد گله"), QString::fromLatin1(herd));
        ASSERT_TRUE(dm.TVascor.post());
    }
    // copy-store gives the copied records' numbers to the server's sequence.
    ASSERT_TRUE(server->exec(QStringLiteral("GRANT ALL ON ALL SEQUENCES IN SCHEMA public TO %1").arg(role)));
    // Bringing records in with their history is the tables' owner's to do, never a plain desk's.
    const QString owner = server->scalar("SELECT quote_ident(current_user)").toString();
    ASSERT_TRUE(server->exec(QStringLiteral("GRANT %1 TO %2").arg(owner, role)));
    const QString port = qEnvironmentVariable("ZARTAV_PG_PORT");
    const struct {
        const char* name;
        int answer;  // 0 "بله", 1 "خير"
        qint64 onServer;
    } cases[] = {{"declined", 1, 0}, {"accepted", 0, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(form->openStore(StoreAddress::file(paths::databasePath())));
        messages.clear();
        messages.answerNext(0);  // the connection test's news
        messages.answerNext(c.answer);
        runCommand([&](StoreConnectionDialog& d) {
            fillServer(d, port);
            d.SaveButton->click();
        });
        ASSERT_GE(messages.boxes().size(), 2) << messages.texts().join("|").toStdString();
        EXPECT_TRUE(messages.boxes()[1].text.endsWith(QStringLiteral("2 ركورد اين رايانه، با عكسها و كاتالوگ، به آن رونوشت شود؟")))
            << messages.boxes()[1].text.toStdString();
        EXPECT_EQ(server->scalar("SELECT COUNT(*) FROM \"VaskorTemp\"").toLongLong(), c.onServer);
        ASSERT_TRUE(dm.Maincon.isServer());
        EXPECT_EQ(dm.TVascor.rowCount(), c.onServer);
        if (c.onServer > 0) {
            ASSERT_EQ(messages.boxes().size(), 3);
            EXPECT_EQ(messages.boxes()[2].text.toStdString(), QStringLiteral("2 ركورد و 0 رديف كاتالوگ به سرور اطلاعات رونوشت شد.").toStdString());
        }
    }    EXPECT_TRUE(server->exec(QStringLiteral("REVOKE %1 FROM %2").arg(owner, role)));
}
