#pragma once

// The rows the list has read, a page at a time, the pages used least lately let go first: 128
// pages keep 8,192 rows at hand for scrolling back.

#include "data/records/record_reads.h"

#include <QHash>
#include <QList>
#include <optional>

namespace zartav {

class RecordPageCache {
public:
    static constexpr int kMaxPages = 128;

    void clear();
    bool holds(int page) const { return pages_.contains(page); }
    // Row `row` (from 0) when its page is held; each use keeps its page longer.
    const reads::ListedRow* row(int row);
    void put(int page, reads::Rows rows);
    // Where a read of `page` best begins: the last "ID" of the nearest page before it that was
    // read (within a screenful of pages), and that page; nothing when none was.
    std::optional<std::pair<int, qint64>> anchorBefore(int page) const;
    // The row of record `id` when a page held shows it, else -1.
    int rowOf(qint64 id) const;

private:
    void touch(int page);

    QHash<int, reads::Rows> pages_;
    QList<int> order_;  // least recently used first
    QHash<int, qint64> lastIds_;
};

}  // namespace zartav
