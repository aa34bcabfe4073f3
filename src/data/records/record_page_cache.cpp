#include "data/records/record_page_cache.h"

namespace zartav {

using reads::kPageSize;

void RecordPageCache::clear() {
    pages_.clear();
    order_.clear();
    lastIds_.clear();
}

void RecordPageCache::touch(int page) {
    if (!order_.isEmpty() && order_.last() == page) return;
    order_.removeAll(page);
    order_.append(page);
}

const reads::ListedRow* RecordPageCache::row(int row) {
    const int page = row / kPageSize;
    const auto it = pages_.constFind(page);
    if (it == pages_.cend()) return nullptr;
    touch(page);
    const int offset = row % kPageSize;
    return offset < it->size() ? &(*it)[offset] : nullptr;
}

void RecordPageCache::put(int page, reads::Rows rows) {
    if (!rows.isEmpty()) lastIds_.insert(page, rows.last().id);
    pages_.insert(page, std::move(rows));
    touch(page);
    while (order_.size() > kMaxPages) pages_.remove(order_.takeFirst());
}

std::optional<std::pair<int, qint64>> RecordPageCache::anchorBefore(int page) const {
    for (int p = page - 1; p >= 0 && p >= page - 64; --p) {
        if (const auto it = lastIds_.constFind(p); it != lastIds_.cend()) return std::pair(p, *it);
    }
    return std::nullopt;
}

int RecordPageCache::rowOf(qint64 id) const {
    for (auto it = pages_.cbegin(); it != pages_.cend(); ++it) {
        for (int i = 0; i < it->size(); ++i)
            if (it->at(i).id == id) return it.key() * kPageSize + i;
    }
    return -1;
}

}  // namespace zartav
