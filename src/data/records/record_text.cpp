#include "data/records/record_text.h"

#include "data/schema/record_schema.h"
#include "util/bidi_text.h"
#include "util/digits.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace zartav::record_text {
namespace {

constexpr std::array<const char*, 19> kNumberColumns = {
    "شماره ثبت",        "كد استان",         "كد گله",           "بدن",
    "گوش ف",            "گوش پ",            "شماره گل",         "ثبت داخلي",
    "ثبت خارجي",        "بدن مادر تني",     "گوش ف مادر تني",   "گوش پ مادر تني",
    "ثبت مادر تني",     "شماره گل مادر تني", "بدن مادر ناتني",   "گوش ف مادر ناتني",
    "گوش پ مادر ناتني", "ثبت مادر ناتني",   "شماره گل مادر ناتني",
};

constexpr std::array<const char*, 7> kQuantityColumns = {
    "وزن", "HFگوساله", "HFپدر", "HFمادر تني", "HFمادر ناتني", "دوره زايش", "تعداد تلقيح",
};

template <std::size_t N>
bool isAmong(int column, const std::array<const char*, N>& names) {
    if (column < 0 || column >= int(schema::kRecordColumns.size())) return false;
    const char* name = schema::kRecordColumns[column];
    return std::any_of(names.begin(), names.end(), [name](const char* n) { return std::string_view(n) == name; });
}

}  // namespace

const QString& invisibleCharacters() {
    static const QString all = QStringLiteral("\u200B\u200C\u200F\u2060\uFEFF\u00AD");
    return all;
}

bool holdsInvisible(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return invisibleCharacters().contains(c); });
}

QString refusal(int column, const QString& value) {
    if (holdsDirectionControl(value)) return directionControlReason();
    if (isNumberColumn(column) && holdsInvisible(value))
        return QStringLiteral("نويسه نامرئي دارد (مانند فاصله بي عرض يا نيم فاصله) كه در شماره و كد جايي ندارد و آن را با "
                              "شماره ديگري يكسان نشان مي دهد؛ آن را پاك كنيد و دوباره بنويسيد");
    return {};
}

bool isNumberColumn(int column) { return isAmong(column, kNumberColumns); }

bool isQuantityColumn(int column) { return isAmong(column, kQuantityColumns); }

QString stored(int column, const QString& value) { return isNumberColumn(column) ? normalizeDigits(value) : value; }

}  // namespace zartav::record_text
