#pragma once

// The distinct values of record columns that the windows offer (the entry form's lists, the
// herd tabs), read through the store worker and held between reads, so that opening a form asks
// the store nothing. A column's list is let go as soon as it may differ from what the store
// holds: a new record with a value the list lacks, an edit that changed the column, a delete, a
// change made elsewhere, another store or a new link to it.

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>

namespace zartav {

class RecordTable;

class StoredValues : public QObject {
    Q_OBJECT
public:
    explicit StoredValues(RecordTable& table);

    // The values held for a column (an index into schema::kRecordColumns); nullptr when none are.
    const QStringList* find(int column) const;
    // The values of a listed column: those held, else read now (the caller waiting, the windows
    // still painting). False, with the store's words, when they could not be read.
    bool values(int column, QStringList& items, QString* error = nullptr);
    // Reads those of `columns` not held, all in one go: fetch() waits for them, prefetch() runs
    // `done` on this object's thread once they arrived (at once when nothing needs reading).
    bool fetch(const QList<int>& columns, QString* error = nullptr);
    void prefetch(const QList<int>& columns, std::function<void()> done = {});
    // Columns a window offers: with a worker of its own thread they are read again in the
    // background whenever they were let go, so the window finds them held.
    void keepAtHand(const QList<int>& columns);

    struct Read;

private:
    std::shared_ptr<Read> unheld(const QList<int>& columns) const;
    void letGo(const std::function<void()>& drop);
    void followSave(const QVector<QVariant>& before, const QVector<QVariant>& after);
    bool current() const;
    void hold(const Read& read);

    RecordTable& table_;
    quint64 openings_ = 0;
    QHash<int, QStringList> held_;
    // The columns that lead an index, which decides how values are read: as the open found
    // them, and read again with the values after the store changed elsewhere.
    std::optional<QSet<QString>> indexed_;
    QList<int> atHand_;
    QSet<int> reading_;  // columns whose read is under way
};

}  // namespace zartav
