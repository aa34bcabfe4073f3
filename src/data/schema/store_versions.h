#pragma once

// The versions of the store's schema, oldest first. A store at version n has been through every
// step up to n; each step makes what its version added (every object of data/schema/store_schema.h
// names the version it came with) and leaves what exists as it is. A later version is a new
// number at the end: an old number never changes what it makes.

namespace zartav::schema {

enum StoreVersion : int {
    kTwoTables = 1,    // the old program's records and catalogue: the oldest store the program opens
    kListIndexes = 2,  // the indexes of the stored-value lists and the herd tabs; on the server, the change notice
    kFindIndexes = 3,  // the find box's folded columns and the folded herd code
    kRegister = 4,     // the certificates' register, public keys and office texts; the folded pedigree numbers
    kHistory = 5,      // the records' history, its triggers and the chain's head
    kDailyCopies = 6,  // on the server: which desk made each day's copy
    kBroughtUp = 7,    // nothing new by name, earlier forms brought up in place: the issues' seals, the server
                       // catalogue's order column, trigger functions with a pinned search path
    kRecorded = 8,     // the store records its version
    kOffices = 9,      // on the server: the offices, their users, row-level security on the records and the guards
    kCorrections = 10, // on the server: correction requests, decided by a registrar
};

inline constexpr int kCurrentVersion = kCorrections;

}  // namespace zartav::schema
