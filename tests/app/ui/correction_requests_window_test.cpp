// "درخواست هاي اصلاح" as a registrar sees it: each changed column before and after side by side,
// and "تاييد" applying the request to its record.
#include "app/correction_requests_window.h"
#include "data/tdm.h"

#include "message_recorder.h"
#include "office_logins.h"
#include "sql_test_database.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTableWidget>

using namespace zartav;

TEST(CorrectionRequestsWindowTest, ListsEachColumnBeforeAndAfterAndApproves) {
    std::unique_ptr<test::TestStore> store;
    ZARTAV_REQUIRE_STORE(store, test::Engine::PostgreSQL, false);
    {
        TDM owner;
        ASSERT_TRUE(owner.Maincon.open(store->address()));
    }
    const QString clerkLogin = QStringLiteral("zartav_window_clerk"), registrarLogin = QStringLiteral("zartav_window_registrar");
    ASSERT_TRUE(test::makeOfficeLogins(*store, clerkLogin, registrarLogin));
    ASSERT_TRUE(store->insertRecords({"ID", "شماره ثبت", "نام گوساله", "كد گله"}, {"1, '500', 'آهو', '12'"}));
    TDM clerk;
    ASSERT_TRUE(clerk.Maincon.open(store->addressFor(clerkLogin)));
    const std::optional<qint64> number =
        corrections::ask(clerk.Maincon.database(), 1,
                         {{QStringLiteral("نام گوساله"), QStringLiteral("آهو"), QStringLiteral("آهوي سفيد")},
                          {QStringLiteral("كد گله"), QStringLiteral("12"), QVariant()}},
                         QStringLiteral("نام اشتباه"));
    ASSERT_TRUE(number);

    TDM dm;
    ASSERT_TRUE(dm.Maincon.open(store->addressFor(registrarLogin)));
    ASSERT_TRUE(dm.TVascor.open());
    test::MessageRecorder messages;
    CorrectionRequestsWindow window(dm);
    ASSERT_TRUE(window.reload());
    QTableWidget* table = window.table();
    ASSERT_EQ(table->rowCount(), 2);
    const auto line = [table](int row) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c)
            if (c != 4) cells << table->item(row, c)->text();  // the time, checked apart
        return cells;
    };
    const QString n = QString::number(*number);
    EXPECT_EQ(line(0), QStringList({n, "500", "آهو", clerkLogin, "نام اشتباه", "كد گله", "12", ""}));
    EXPECT_EQ(line(1), QStringList({n, "500", "آهو", clerkLogin, "نام اشتباه", "نام گوساله", "آهو", "آهوي سفيد"}));
    EXPECT_TRUE(table->item(0, 4)->text().startsWith(QStringLiteral("14"))) << table->item(0, 4)->text().toStdString();
    EXPECT_FALSE(window.approveButton()->isEnabled());

    window.show();
    table->setCurrentCell(1, 0);
    ASSERT_TRUE(window.approveButton()->isEnabled());
    if (const QString folder = qEnvironmentVariable("ZARTAV_SCREENS"); !folder.isEmpty())
        window.grab().save(folder + QStringLiteral("/correction-requests.png"));
    window.approveButton()->click();
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join('\n').toStdString();
    EXPECT_EQ(store->scalar("SELECT concat_ws('|', \"نام گوساله\", \"كد گله\") FROM \"VaskorTemp\"").toString(), QStringLiteral("آهوي سفيد"));
    EXPECT_EQ(table->rowCount(), 0);
}
