// The bull catalogue as the table reads it.
#include "store_fixture.h"

#include <gtest/gtest.h>

using namespace zartav;

TEST_P(StoreTest, CatalogueKeepsItsOrderAndLookupsIgnoreLetterCase) {
    for (const char* row : {"('Zulu', 'USA123', '11')", "('Alpha', 'CAN77', '22')", "('Mike', 'CAN78', '33')"})
        ASSERT_TRUE(store->exec(QStringLiteral("INSERT INTO \"DosSperm\" (\"Name_Sp\", \"RegNo_SPF\", \"RegNo_Sp\") VALUES ") + row));
    ASSERT_TRUE(dm.TDosSperm.open());
    EXPECT_EQ(dm.TDosSperm.rowCount(), 3);
    EXPECT_EQ(dm.TDosSperm.value("NAME_SP"), "Zulu");  // the order they were written in
    EXPECT_EQ(dm.TDosSperm.valueAt(2, 0), "Mike");
    EXPECT_TRUE(dm.TDosSperm.locatePrefix("RegNo_Spf", "can"));
    EXPECT_EQ(dm.TDosSperm.value("regno_sp"), "22");
    EXPECT_FALSE(dm.TDosSperm.locatePrefix("RegNo_Spf", "XX"));
    EXPECT_EQ(dm.TDosSperm.currentRow(), 1);
    EXPECT_TRUE(dm.TDosSperm.first());
    EXPECT_EQ(dm.TDosSperm.value("Name_SP"), "Zulu");
}
