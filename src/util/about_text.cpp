#include "util/about_text.h"

namespace zartav {

QList<BoardPost> aboutPosts() {
    const QString maker = QStringLiteral("گروه پرسوگ");
    const QString blank = QStringLiteral(" ");
    // The contact values are reserved example values until an office puts its own in.
    return {
        {QString(), maker},
        {QString(), QStringLiteral("نرم افزار زرتاو")},
        {blank, blank},
        {QStringLiteral("هدف نرم افزار"), QStringLiteral("چاپ شناسنامه رسمي گاو هلشتاين ")},
        {QStringLiteral("نسخه"), QStringLiteral("1.00.000.0")},
        {QStringLiteral("تاريخ توليد"), QStringLiteral("بهمن هشتاد و چهار")},
        {blank, blank},
        {QStringLiteral("توضيح"),
         QStringLiteral("اين برنامه بخش كوچكي از نرم افزار جامع مديريت گاوداري گروه پرسوگ است؛ "
                        "براي تهيه نسخه كامل نرم افزار مديريت گاوداري با تلفن 021-00000000 "
                        "گروه پرسوگ تماس حاصل فرماييد.")},
        {blank, blank},
        {QStringLiteral("سايت"), QStringLiteral("www.example.org")},
        {QStringLiteral("پست الكترونيك"), QStringLiteral("info@example.org")},
        {blank, blank},
        {QStringLiteral("فاكس"), QStringLiteral("000-00000000")},
        {blank, blank},
        {blank, blank},
        {blank, blank},
        {blank, QString(36, QLatin1Char(' ')) + QStringLiteral("با تشكر ")},
        {QString(), QString(34, QLatin1Char(' ')) + maker},
    };
}

void showAbout(MessageBoard& board, const QList<BoardPost>& more) {
    board.StartRecording(true, kAboutCaption);
    for (const BoardPost& post : aboutPosts() + more) board.PostThisMessage(post.key, post.value);
    board.StopRecording();
}

}  // namespace zartav
