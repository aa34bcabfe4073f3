#include "message_recorder.h"
#include "util/dialogs.h"

#include <gtest/gtest.h>

using zartav::test::MessageRecorder;

TEST(Dialogs, InformationBoxHasFarsiCaptionAndBackButton) {
    MessageRecorder recorder;
    zartav::showMessage(QStringLiteral("سلام"));
    ASSERT_EQ(recorder.boxes().size(), 1);
    const auto& box = recorder.boxes().front();
    EXPECT_EQ(box.caption, QStringLiteral("پيام"));
    EXPECT_EQ(box.buttons, QStringList{QStringLiteral("بازگشت")});
    EXPECT_EQ(box.text, QStringLiteral("سلام"));
}

TEST(Dialogs, QuestionAnswersSixSevenOrTwo) {
    struct Case { int button; int expected; };
    for (const Case c : {Case{0, 6}, Case{1, 7}, Case{-1, 2}}) {
        MessageRecorder recorder;
        recorder.answerNext(c.button);
        EXPECT_EQ(zartav::askYesNo(QStringLiteral("حذف شود؟")), c.expected) << c.button;
        EXPECT_EQ(recorder.boxes().front().caption, QStringLiteral("سوال"));
        EXPECT_EQ(recorder.boxes().front().buttons,
                  (QStringList{QStringLiteral("بله"), QStringLiteral("خير")}));
        EXPECT_EQ(recorder.boxes().front().escapeButton, 1);
    }
}

// Without a window to ask, a question answers its Escape button: "delete?" never confirms itself.
TEST(Dialogs, WithoutAWindowAQuestionAnswersNo) {
    EXPECT_EQ(zartav::askYesNo(QStringLiteral("آيا براي حذف اطمينان داريد؟")), zartav::kAnswerNo);
}
