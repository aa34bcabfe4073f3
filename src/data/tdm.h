#pragma once

// The data module: the one database connection and the objects through which every window
// reaches the records and the bull catalogue.

#include "data/records/catalogue_table.h"
#include "data/link/connection.h"
#include "data/records/record_table.h"
#include "data/link/scratch_query.h"
#include "data/link/store_worker.h"
#include "data/records/stored_values.h"

#include <QString>
#include <QStringList>

namespace zartav {

class TDM {
public:
    // The program reads through a worker of its own thread; tools and tests may read inline.
    explicit TDM(StoreWorker::Mode mode = StoreWorker::Mode::Inline);
    ~TDM();
    TDM(const TDM&) = delete;
    TDM& operator=(const TDM&) = delete;

    Connection Maincon;

private:
    StoreWorker worker_;

public:
    RecordTable TVascor;
    CatalogueTable TDosSperm;
    ScratchQuery QAsk;

    // Runs `statement` (its one result column named "Res") and, when it runs, replaces `items`
    // by the non-blank values in the order returned, each as stored (untrimmed). A statement
    // that fails leaves `items` as it was and answers false (the store's words in `error`).
    bool FillCombo(const QString& statement, QStringList& items, QString* error = nullptr);

    // The same items as FillCombo gives for "Select Distinct [column] as Res From VaskorTemp "
    // (every distinct value once, blanks inside values kept), in the column's order. They are
    // read by stepping along the column's index from one value to the next, so a million
    // records cost what a hundred do; a store without such an index, or a step that fails, gets
    // the DISTINCT statement itself. They are held until they may have changed (StoredValues),
    // so asking again reads nothing.
    bool FillStoredValues(const QString& column, QStringList& items, QString* error = nullptr);
    StoredValues& storedValues() { return storedValues_; }

    StoreWorker& worker() { return worker_; }

private:
    StoredValues storedValues_;
};

}  // namespace zartav
