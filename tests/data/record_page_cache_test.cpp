#include "data/records/record_page_cache.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

using namespace zartav;

namespace {

constexpr int kPage = reads::kPageSize;

// `count` rows whose "ID"s run on from `firstId`.
reads::Rows rowsFrom(qint64 firstId, int count) {
    reads::Rows rows;
    for (int i = 0; i < count; ++i) rows.append(reads::ListedRow{firstId + i, {QString::number(firstId + i)}});
    return rows;
}

// Page `page` as a list without gaps holds it: "ID"s 1 + page * 64 on.
void putWhole(RecordPageCache& cache, int page) { cache.put(page, rowsFrom(1 + qint64(page) * kPage, kPage)); }

struct Case {
    const char* name;
    std::function<void(RecordPageCache&)> fill;
    std::vector<std::pair<int, qint64>> rowIds;  // row -> "ID" it shows, 0 when not held
    std::vector<std::pair<qint64, int>> idRows;  // "ID" -> row rowOf() answers
    int anchorOf;                                // the page whose anchorBefore() is asked
    std::optional<std::pair<int, qint64>> anchor;
};

TEST(RecordPageCache, HoldsReadsAndLetsGoThePagesUsedLeastLately) {
    const auto fillAll = [](RecordPageCache& c) {
        for (int p = 0; p <= RecordPageCache::kMaxPages; ++p) putWhole(c, p);
    };
    const Case cases[] = {
        {"nothing read", [](RecordPageCache&) {}, {{0, 0}, {kPage, 0}}, {{1, -1}}, 1, std::nullopt},
        {"one page, its rows and their places",
         [](RecordPageCache& c) { putWhole(c, 2); },
         {{2 * kPage, 2 * kPage + 1}, {3 * kPage - 1, 3 * kPage}, {3 * kPage, 0}, {2 * kPage - 1, 0}},
         {{2 * kPage + 1, 2 * kPage}, {3 * kPage, 3 * kPage - 1}, {3 * kPage + 1, -1}},
         3, std::pair(2, qint64(3 * kPage))},
        {"a short last page ends where its rows do",
         [](RecordPageCache& c) { c.put(0, rowsFrom(500, 3)); },
         {{2, 502}, {3, 0}}, {{502, 2}, {503, -1}}, 1, std::pair(0, qint64(502))},
        {"an empty page is held but anchors nothing",
         [](RecordPageCache& c) { c.put(4, {}); },
         {{4 * kPage, 0}}, {}, 5, std::nullopt},
        {"the nearest page read before is the anchor",
         [](RecordPageCache& c) { putWhole(c, 1); putWhole(c, 6); },
         {}, {}, 9, std::pair(6, qint64(7 * kPage))},
        {"an anchor further than 64 pages back is none",
         [](RecordPageCache& c) { putWhole(c, 0); },
         {}, {}, 65, std::nullopt},
        {"an anchor 64 pages back still counts",
         [](RecordPageCache& c) { putWhole(c, 0); },
         {}, {}, 64, std::pair(0, qint64(kPage))},
        {"past the limit the page put first goes, its anchor stays",
         fillAll,
         {{0, 0}, {kPage, kPage + 1}, {RecordPageCache::kMaxPages * kPage, RecordPageCache::kMaxPages * kPage + 1}},
         {{1, -1}, {kPage + 1, kPage}}, 1, std::pair(0, qint64(kPage))},
        {"a page read again lately is kept, the next oldest goes",
         [](RecordPageCache& c) {
             for (int p = 0; p < RecordPageCache::kMaxPages; ++p) putWhole(c, p);
             c.row(5);
             putWhole(c, RecordPageCache::kMaxPages);
         },
         {{5, 6}, {kPage, 0}, {2 * kPage, 2 * kPage + 1}}, {}, 0, std::nullopt},
        {"a page read again replaces its rows",
         [](RecordPageCache& c) { putWhole(c, 0); c.put(0, rowsFrom(900, kPage)); },
         {{0, 900}}, {{1, -1}, {900, 0}}, 1, std::pair(0, qint64(900 + kPage - 1))},
        {"cleared holds nothing and anchors nothing",
         [](RecordPageCache& c) { putWhole(c, 0); putWhole(c, 1); c.clear(); },
         {{0, 0}, {kPage, 0}}, {{1, -1}}, 2, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordPageCache cache;
        c.fill(cache);
        for (const auto& [row, id] : c.rowIds) {
            const reads::ListedRow* r = cache.row(row);
            EXPECT_EQ(r ? r->id : 0, id) << "row " << row;
            if (r) {
                EXPECT_EQ(r->values.value(0), QString::number(id));
            }
        }
        for (const auto& [id, row] : c.idRows) EXPECT_EQ(cache.rowOf(id), row) << "ID " << id;
        EXPECT_EQ(cache.anchorBefore(c.anchorOf), c.anchor);
    }
}

TEST(RecordPageCache, HoldsTellsWhichPagesAreAtHand) {
    RecordPageCache cache;
    for (int p = 0; p <= RecordPageCache::kMaxPages + 1; ++p) putWhole(cache, p);
    EXPECT_FALSE(cache.holds(0));
    EXPECT_FALSE(cache.holds(1));
    EXPECT_TRUE(cache.holds(2));
    EXPECT_TRUE(cache.holds(RecordPageCache::kMaxPages + 1));
    cache.put(7, {});
    EXPECT_TRUE(cache.holds(7));
}

}  // namespace
