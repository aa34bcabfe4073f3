#pragma once

// The distinct values of record columns that the windows offer (the entry form's lists, the
// herd tabs), held between reads so that opening a form asks the store nothing. A column's list
// is let go as soon as it may differ from what the store holds: a new record with a value the
// list lacks, an edit that changed the column, a delete, a change made elsewhere, another store
// or a new link to it.

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace zartav {

class RecordTable;

class StoredValueCache : public QObject {
    Q_OBJECT
public:
    explicit StoredValueCache(RecordTable& table);

    // The values held for a column (an index into schema::kRecordColumns); nullptr when none are.
    const QStringList* find(int column) const;
    void hold(int column, const QStringList& values);

private:
    void followSave(const QVector<QVariant>& before, const QVector<QVariant>& after);
    bool current() const;

    RecordTable& table_;
    quint64 openings_ = 0;
    QHash<int, QStringList> held_;
};

}  // namespace zartav
