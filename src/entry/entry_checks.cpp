#include "entry/entry_checks.h"

#include "data/history/history_text.h"
#include "data/records/record_table.h"
#include "data/records/record_text.h"
#include "dates/date_validation.h"
#include "entry/entry_fields.h"
#include "util/bidi_text.h"

namespace zartav::entry {

QString reasonField() { return QStringLiteral("علت اصلاح"); }

namespace {

// Records brought in from elsewhere often lack the service that led to pregnancy; the birth and
// print dates every certificate shows.
bool mayBeEmpty(const QString& column) { return column == QStringLiteral("تاريخ منجر به باروري"); }

// What is wrong with a date of the wrong shape, or none at all, said in words.
QString dateShapeMessage(const dates::DateCheck& check) {
    const QString shape = QStringLiteral("تاريخ بايد به شكل ۱۴۰۳/۰۵/۱۲ باشد");
    return check.text.isEmpty() ? QStringLiteral("اين تاريخ نوشته نشده است؛ ") + shape : dates::dateMessage(check.text, shape);
}

}  // namespace

OkOutcome checkOk(const OkInput& input) {
    OkOutcome out;
    Typed values = input.typed;
    auto correct = [&](const QString& column, const QString& value) {
        if (value == values.value(column)) return;
        values.insert(column, value);
        out.corrected.insert(column, value);
    };

    // The message box names the date's field in its caption.
    for (const Field& f : fields()) {
        if (f.kind != Kind::CheckedDate) continue;
        const QString column = QString::fromUtf8(f.column);
        const dates::DateCheck check = dates::checkExistingDate(values.value(column), input.todayYear);
        if (check.text.isEmpty() && mayBeEmpty(column)) {
            correct(column, QString());
            continue;
        }
        if (!check.ok) {
            out.refusal = OkRefusal{check.badShape ? dateShapeMessage(check) : check.message, column, column};
            return out;
        }
        correct(column, dates::completeDate(check, input.todayYear));
    }

    for (const Field& f : fields()) {
        const QString column = QString::fromUtf8(f.column);
        const int index = RecordTable::columnIndex(column);
        const QString value = values.value(column);
        if (const QString why = record_text::refusal(index, value); !why.isEmpty()) {
            out.refusal = OkRefusal{QStringLiteral("«%1»: %2").arg(column, why), {}, column};
            return out;
        }
        correct(column, record_text::stored(index, value));
    }

    if (!input.editing) return out;
    const QString reason = input.reason.trimmed();
    if (reason.isEmpty() && input.reasonRequired)
        out.refusal = OkRefusal{history::reasonRequiredText(), {}, reasonField()};
    else if (holdsDirectionControl(reason))
        out.refusal = OkRefusal{QStringLiteral("«%1»: %2").arg(reasonField(), directionControlReason()), {}, reasonField()};
    return out;
}

}  // namespace zartav::entry
