#include "entry/catalogue_search.h"

#include "util/digits.h"

namespace zartav::catalogue {

namespace {

QString searchKey(const QString& text) { return normalizeDigits(text).toCaseFolded(); }

}  // namespace

void ForeignRegSearch::reset(const QStringList& numbers) {
    keys_.clear();
    keys_.reserve(numbers.size());
    for (const QString& number : numbers) keys_.append(searchKey(number));
}

int ForeignRegSearch::find(const QString& typed) const {
    if (typed.isEmpty()) return -1;
    const QString key = searchKey(typed);
    for (qsizetype row = 0; row < keys_.size(); ++row) {
        if (keys_.at(row).startsWith(key)) return int(row);
    }
    return -1;
}

}  // namespace zartav::catalogue
