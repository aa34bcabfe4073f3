#include "util/about_text.h"

#include "util/program_info.h"

namespace zartav {

QList<BoardPost> aboutPosts(const QList<BoardPost>& office) {
    const QString maker = QStringLiteral("گروه پرسوگ");
    const QString blank = QStringLiteral(" ");
    // The contact lines are the issuing office's own, where it has set them; none is made up.
    const auto contact = [&](int i) { return i < office.size() ? office[i] : BoardPost{blank, blank}; };
    return {
        {QString(), maker},
        {QString(), QStringLiteral("نرم افزار زرتاو")},
        {blank, blank},
        {QStringLiteral("هدف نرم افزار"), QStringLiteral("چاپ شناسنامه رسمي گاو هلشتاين ")},
        {QStringLiteral("نسخه"), programVersion()},
        {QStringLiteral("تاريخ توليد"), QStringLiteral("بهمن هشتاد و چهار")},
        {blank, blank},
        {QStringLiteral("توضيح"),
         QStringLiteral("اين برنامه بخش كوچكي از نرم افزار جامع مديريت گاوداري گروه پرسوگ است؛ "
                        "براي تهيه نسخه كامل نرم افزار مديريت گاوداري با گروه پرسوگ تماس حاصل فرماييد.")},
        {blank, blank},
        contact(0),
        contact(1),
        {blank, blank},
        contact(2),
        {blank, blank},
        {blank, blank},
        {blank, blank},
        {blank, QString(36, QLatin1Char(' ')) + QStringLiteral("با تشكر ")},
        {QString(), QString(34, QLatin1Char(' ')) + maker},
    };
}

void showAbout(MessageBoard& board, const QList<BoardPost>& office) {
    board.StartRecording(true, kAboutCaption);
    for (const BoardPost& post : aboutPosts(office)) board.PostThisMessage(post.key, post.value);
    board.StopRecording();
}

}  // namespace zartav
