#include "data/records/record_find.h"

#include "util/digits.h"

#include <algorithm>

namespace zartav::find {
namespace {

// The letters fold() folds, as folding() spells them out for SQL; the digits go through
// normalizeDigits.
constexpr char16_t kPersianYeh = u'\u06CC', kArabicYeh = u'\u064A';
constexpr char16_t kPersianKaf = u'\u06A9', kArabicKaf = u'\u0643';

// Past every text that begins with the prefix: U+10FFFF, a noncharacter no one types.
QString upperBound(const QString& prefix) { return prefix + QString::fromUcs4(U"\U0010FFFF", 1); }

// Every character that folds to `c`, `c` first; empty when only `c` itself does.
QString foldingInto(QChar c) {
    if (!folding().to.contains(c)) return {};
    QString all(c);
    for (int i = 0; i < folding().to.size(); ++i)
        if (folding().to.at(i) == c) all += folding().from.at(i);
    return all;
}

// A pattern matching, at each place, every character that folds to the folded one there;
// `plain` writes any other character as the pattern's plain text.
template <typename Plain>
QString patternOf(const QString& folded, Plain plain) {
    QString pattern;
    for (const QChar c : folded) {
        const QString any = foldingInto(c);
        pattern += any.isEmpty() ? plain(c) : QLatin1Char('[') + any + QLatin1Char(']');
    }
    return pattern;
}

QString globPattern(const QString& folded) {
    return patternOf(folded, [](QChar c) {
               return c == u'*' || c == u'?' || c == u'[' ? QLatin1Char('[') + c + QLatin1Char(']') : QString(c);
           }) +
           QLatin1Char('*');
}

bool allDigits(QStringView text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// Codes that are numbers go by their value (7777 before 76107), ahead of the codes that are not,
// which go as text. Comparing a number with text as text would be no order at all (10 < 1a < 2 < 10).
bool codeBefore(const QString& a, const QString& b) {
    const bool numberA = allDigits(a), numberB = allDigits(b);
    if (numberA != numberB) return numberA;
    if (!numberA) return a < b;
    auto value = [](const QString& digits) {
        QStringView v(digits);
        while (v.size() > 1 && v.front() == u'0') v = v.sliced(1);
        return v;
    };
    const QStringView x = value(a), y = value(b);
    if (x.size() != y.size()) return x.size() < y.size();
    return x != y ? x < y : a < b;  // 007 and 7 are two codes of one value
}

// On the server the folded range serves every plan: its comparisons are leakproof, so the
// planner weighs them by the folded indexes' statistics even on a table with row-level
// security, which withholds statistics from a pattern's operator. Guessing a common find rare,
// it would read the whole table rather than walk the "ID"s to the first rows found.
bool ranged(const SqlDialect& d, Plan plan) { return plan == Plan::Indexed || d.isServer(); }

}  // namespace

QString fold(const QString& text) {
    QString folded = normalizeDigits(text);
    folded.replace(QChar(kPersianYeh), QChar(kArabicYeh));
    folded.replace(QChar(kPersianKaf), QChar(kArabicKaf));
    return folded;
}

QStringList foldedValues(const QStringList& values) {
    QStringList folded;
    folded.reserve(values.size());
    for (const QString& v : values) folded << fold(v);
    std::sort(folded.begin(), folded.end(), codeBefore);
    folded.erase(std::unique(folded.begin(), folded.end()), folded.end());
    return folded;
}

QString term(const SqlDialect& d, Plan plan, int column) {
    if (ranged(d, plan)) return QStringLiteral("(%1 >= :find_from AND %1 < :find_to)").arg(foldedColumn(d, kColumns[column]));
    // The stored text is matched by a pattern of the characters that fold alike, which costs
    // far less per row than folding each value before comparing it.
    return QStringLiteral("%1 GLOB :find_glob").arg(d.quote(kColumns[column]));
}

QString condition(const SqlDialect& d, Plan plan) {
    QStringList terms;
    for (int i = 0; i < int(kColumns.size()); ++i) terms << term(d, plan, i);
    return QLatin1Char('(') + terms.join(QStringLiteral(" OR ")) + QLatin1Char(')');
}

void bind(QSqlQuery& query, const SqlDialect& d, Plan plan, const QString& folded) {
    if (ranged(d, plan)) {
        query.bindValue(QStringLiteral(":find_from"), folded);
        query.bindValue(QStringLiteral(":find_to"), upperBound(folded));
    } else {
        query.bindValue(QStringLiteral(":find_glob"), globPattern(folded));
    }
}

}  // namespace zartav::find
