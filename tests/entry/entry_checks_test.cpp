#include "entry/entry_checks.h"

#include <gtest/gtest.h>

using namespace zartav;
using namespace zartav::entry;

namespace {

const QString kInvisible = QStringLiteral("نويسه نامرئي دارد (مانند فاصله بي عرض يا نيم فاصله) كه در شماره و كد جايي "
                                          "ندارد و آن را با شماره ديگري يكسان نشان مي دهد؛ آن را پاك كنيد و دوباره بنويسيد");
const QString kDirection = QStringLiteral("نويسه نامرئي تغيير جهت متن دارد كه ترتيب نوشته را در چاپ بر هم مي زند؛ "
                                          "آن را پاك كنيد و دوباره بنويسيد");
const QString kReasonRequired = QStringLiteral("گواهي اين ركورد چاپ شده است؛ براي اصلاح آن «علت اصلاح» را بنويسيد.");

// Three dates OK takes, so that a case speaks only of what it changes.
Typed withDates(Typed typed) {
    for (const auto& [column, value] : {std::pair{"تاريخ تولد", "1405/09/01"}, std::pair{"تاريخ منجر به باروري", "1404/12/01"},
                                        std::pair{"تاريخ چاپ", "1405/09/17"}})
        if (!typed.contains(QString::fromUtf8(column))) typed.insert(QString::fromUtf8(column), QString::fromUtf8(value));
    return typed;
}

// What OK answers for what was typed: the message, the message box's caption, the field whose box
// takes the focus, and the values as they are saved.
TEST(EntryChecksTest, OkAnswersTheFirstRefusalWithItsFieldAndCorrectsTheRest) {
    const struct {
        const char* name;
        Typed typed;
        bool editing, required;
        QString reason;
        QString message, caption, field;  // no message: OK passes
        Typed corrected;
    } cases[] = {
        {"a day that never was",
         withDates({{"تاريخ تولد", "1404/12/30"}}), false, false, {},
         QStringLiteral(" تاريخ  1404/12/30  صحيح نمي باشد\rاين ماه بيش از 29 روز ندارد"), "تاريخ تولد", "تاريخ تولد", {}},
        {"the service date after a good birth date",
         withDates({{"تاريخ تولد", "1385/1/5"}, {"تاريخ منجر به باروري", "1403/07/31"}}), false, false, {},
         QStringLiteral(" تاريخ  1403/07/31  صحيح نمي باشد\rاين ماه بيش از 30 روز ندارد"), "تاريخ منجر به باروري",
         "تاريخ منجر به باروري", {{"تاريخ تولد", "1385/01/05"}}},
        {"a date before a text", withDates({{"تاريخ چاپ", "1404/12/31"}, {"شماره ثبت", "IR\u200B1"}}), false, false, {},
         QStringLiteral(" تاريخ  1404/12/31  صحيح نمي باشد\rاين ماه بيش از 29 روز ندارد"), "تاريخ چاپ", "تاريخ چاپ", {}},
        {"an invisible character in a number", withDates({{"شماره ثبت", "IR98\u200C123"}}), false, false, {},
         "«شماره ثبت»: " + kInvisible, {}, "شماره ثبت", {}},
        {"a direction control in a name", withDates({{"نام گوساله", "\u202Aستاره"}}), false, false, {},
         "«نام گوساله»: " + kDirection, {}, "نام گوساله", {}},
        {"a direction control in a dam's number after a code typed in Persian",
         withDates({{"كد گله", "۱۲۰۷"}, {"ثبت مادر تني", "98\u2066123\u2069"}}), false, false, {},
         "«ثبت مادر تني»: " + kDirection, {}, "ثبت مادر تني", {{"كد گله", "1207"}}},
        {"codes in Latin digits, a weight and a name as typed, short dates completed",
         withDates({{"كد گله", "۱۲۰۷"}, {"گوش ف", "٤٥٦"}, {"وزن", "۳۵"}, {"نام گوساله", "ستاره ۲"},
                    {"تاريخ منجر به باروري", "84/4/1"}, {"تاريخ چاپ", "1405/9/7"}}),
         false, false, {}, {}, {}, {},
         {{"كد گله", "1207"}, {"گوش ف", "456"}, {"تاريخ منجر به باروري", "1384/04/01"}, {"تاريخ چاپ", "1405/09/07"}}},
        {"a zero-width non-joiner is Persian spelling and stays in a name",
         withDates({{"نام گوساله", "مي\u200Cرود"}}), false, false, {}, {}, {}, {}, {}},
        {"a record may lack its service date", withDates({{"تاريخ منجر به باروري", "  "}}), false, false, {}, {}, {}, {},
         {{"تاريخ منجر به باروري", ""}}},
        {"a birth date never typed", withDates({{"تاريخ تولد", ""}}), false, false, {},
         QStringLiteral("اين تاريخ نوشته نشده است؛ تاريخ بايد به شكل ۱۴۰۳/۰۵/۱۲ باشد"), "تاريخ تولد", "تاريخ تولد", {}},
        {"a service date of another shape", withDates({{"تاريخ منجر به باروري", "1404-12-01"}}), false, false, {},
         QStringLiteral(" تاريخ  1404-12-01  صحيح نمي باشد\rتاريخ بايد به شكل ۱۴۰۳/۰۵/۱۲ باشد"), "تاريخ منجر به باروري",
         "تاريخ منجر به باروري", {}},
        {"a print date with a part left out", withDates({{"تاريخ چاپ", "1405//17"}}), false, false, {},
         QStringLiteral(" تاريخ  1405//17  صحيح نمي باشد\rتاريخ بايد به شكل ۱۴۰۳/۰۵/۱۲ باشد"), "تاريخ چاپ", "تاريخ چاپ", {}},
        {"inseminations' dates are not looked at", withDates({{"تاريخ  تلقيح 1", "hello"}}), false, false, {}, {}, {}, {}, {}},
        {"a printed record corrected without a reason", withDates({}), true, true, QStringLiteral("  "),
         kReasonRequired, {}, "علت اصلاح", {}},
        {"a printed record corrected with a reason", withDates({}), true, true, QStringLiteral("شماره گوش اشتباه بود"),
         {}, {}, {}, {}},
        {"a record never printed goes without", withDates({}), true, false, {}, {}, {}, {}, {}},
        {"a reason is asked only while editing", withDates({}), false, true, {}, {}, {}, {}, {}},
        {"a reason holding a direction control", withDates({}), true, false, QStringLiteral("\u202Eغلط"),
         "«علت اصلاح»: " + kDirection, {}, "علت اصلاح", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const OkOutcome out = checkOk({c.typed, c.editing, c.required, c.reason, 1405});
        ASSERT_EQ(out.refusal.has_value(), !c.message.isEmpty());
        if (out.refusal) {
            EXPECT_EQ(out.refusal->message, c.message);
            EXPECT_EQ(out.refusal->caption, c.caption);
            EXPECT_EQ(out.refusal->field, c.field);
        }
        EXPECT_EQ(out.corrected, c.corrected);
    }
}

}  // namespace
