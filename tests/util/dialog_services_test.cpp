#include "message_recorder.h"
#include "util/dialog_services.h"
#include "util/format_patterns.h"
#include "util/input_query.h"
#include "util/keyboard_layout.h"

#include <gtest/gtest.h>

using zartav::DialogServices;
using zartav::test::MessageRecorder;

TEST(DialogServices, FormCreateSetsPatternsAndPersianKeyboard) {
    DialogServices tools;
    zartav::activateKeyboardLayout(QStringLiteral("00000409"));
    tools.FormCreate();
    const auto& p = zartav::formatPatterns();
    EXPECT_EQ(p.shortDate, QStringLiteral("dd/mm/yyyy"));
    EXPECT_EQ(p.longDate, QStringLiteral("dd/mm/yyyy"));
    EXPECT_EQ(p.shortTime, QStringLiteral("HH:mm:ss"));
    EXPECT_EQ(p.longTime, QStringLiteral("HH:mm:ss"));
    EXPECT_EQ(zartav::activeKeyboardLayout(), QStringLiteral("00000429"));

    zartav::formatPatterns().shortDate = QStringLiteral("yyyy-MM-dd");
    tools.SwitchToEnglish();
    tools.SetConfigAgain();
    EXPECT_EQ(p.shortDate, QStringLiteral("dd/mm/yyyy"));
    EXPECT_EQ(zartav::activeKeyboardLayout(), QStringLiteral("00000409"));  // patterns only
    tools.SwitchToFarsi();
    EXPECT_EQ(zartav::activeKeyboardLayout(), QStringLiteral("00000429"));
}

TEST(DialogServices, AskYesNoEscapeIsNo) {
    MessageRecorder recorder;
    DialogServices tools;
    recorder.answerNext(1);  // Escape answers the cancel button
    EXPECT_EQ(tools.AskYesNo(QStringLiteral("؟")), 7);
    EXPECT_EQ(recorder.boxes().front().escapeButton, 1);
    tools.ShowMsg(QStringLiteral("پيام آزمايشي"));
    EXPECT_EQ(recorder.boxes().back().caption, QStringLiteral("پيام"));
}

TEST(DialogServices, MaxMinAndNumberForwarders) {
    DialogServices tools;
    EXPECT_EQ(tools.Max(3, 3), 3);
    EXPECT_EQ(tools.Min(3, 3), 3);
    EXPECT_EQ(tools.Max(-2, 5), 5);
    EXPECT_EQ(tools.Min(-2, 5), -2);
    EXPECT_EQ(tools.ToInt(359.99999999999997), 360);
    EXPECT_EQ(tools.To2DigitFloat(0.375), 0.38);
}

TEST(InQuery, BlankAnswerAsksAgainWithTheSameText) {
    MessageRecorder recorder;
    DialogServices tools;
    recorder.inputNext(QStringLiteral("   \t "));
    recorder.inputNext(QStringLiteral("  گاو  "));
    QString value = QStringLiteral("قبلي");
    zartav::activateKeyboardLayout(QStringLiteral("00000409"));
    EXPECT_TRUE(tools.InQuery(QStringLiteral("نام؟"), value));
    EXPECT_EQ(value, QStringLiteral("  گاو  "));  // accepted text is not trimmed
    ASSERT_EQ(recorder.inputRequests().size(), 2);
    const auto& request = recorder.inputRequests().front();
    EXPECT_EQ(request.caption, QStringLiteral("سوال"));
    EXPECT_EQ(request.prompt, QStringLiteral("نام؟"));
    EXPECT_FALSE(request.password);
    EXPECT_EQ(request.maxLength, 255);
    EXPECT_EQ(zartav::activeKeyboardLayout(), QStringLiteral("00000429"));
}

TEST(InQuery, CancelLeavesValueAlone) {
    MessageRecorder recorder;
    DialogServices tools;
    recorder.inputNext(QStringLiteral(""));
    recorder.inputNext(std::nullopt);
    QString value = QStringLiteral("قبلي");
    EXPECT_FALSE(tools.InQuery(QStringLiteral("؟"), value));
    EXPECT_EQ(value, QStringLiteral("قبلي"));
    EXPECT_EQ(recorder.inputRequests().size(), 2);
}

TEST(InQuery, PasswordAcceptsSpacesButNotEmpty) {
    MessageRecorder recorder;
    DialogServices tools;
    recorder.inputNext(QString());
    recorder.inputNext(QStringLiteral("   "));
    QString value;
    EXPECT_TRUE(tools.PassInQuery(QStringLiteral("رمز"), value));
    EXPECT_EQ(value, QStringLiteral("   "));
    EXPECT_EQ(recorder.inputRequests().size(), 2);
    EXPECT_TRUE(recorder.inputRequests().front().password);
}

// The sink sees the starting text; a recorder that echoes it back returns what the dialog held.
class EchoSink final : public zartav::MessageSink {
public:
    int show(const zartav::MessageBox&) override { return 0; }
    bool input(const zartav::InputRequest&, QString& value) override {
        seen = value;
        value += QStringLiteral("xyz");  // typing past the limit is cut off too
        return true;
    }
    QString seen;
};

TEST(InQuery, LongValueIsCutTo255Characters) {
    EchoSink sink;
    zartav::setMessageSink(&sink);
    DialogServices tools;
    QString value(300, QLatin1Char('a'));
    EXPECT_TRUE(tools.InQuery(QStringLiteral("؟"), value));
    zartav::setMessageSink(nullptr);
    EXPECT_EQ(sink.seen.size(), 255);
    EXPECT_EQ(value, QString(255, QLatin1Char('a')));
}

TEST(InQuery, DialogLayoutFollowsFontMetrics) {
    EXPECT_EQ(zartav::scaleMetric(8, 13, 8), 13);
    EXPECT_EQ(zartav::scaleMetric(180, 7, 4), 315);
    EXPECT_EQ(zartav::scaleMetric(1, 5, 2), 3);    // half rounds up
    EXPECT_EQ(zartav::scaleMetric(-1, 5, 2), -3);  // and away from zero below
    // Average letter 7 x 14 px, a one-line prompt of 14 px, a 21 px edit box.
    const auto l = zartav::layoutInputDialog(7, 14, 14, 21);
    EXPECT_EQ(l.clientWidth, 315);
    EXPECT_EQ(l.prompt, QRect(14, 14, 287, 14));
    EXPECT_EQ(l.edit, QRect(14, 33, 287, 21));
    EXPECT_EQ(l.okButton, QRect(67, 69, 88, 25));     // scale(38,7,4)=66.5 → 67; scale(14,14,8)=24.5 → 25
    EXPECT_EQ(l.cancelButton, QRect(161, 69, 88, 25));
    EXPECT_EQ(l.clientHeight, 69 + 25 + 13);
}
