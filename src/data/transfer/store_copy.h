#pragma once

// A whole store copied into another, of either engine: every record with its photos and its
// "ID", the catalogue in its own order, the history and (onto a file, or into a server when its
// owner asks) the register of issued certificates with its keys (their numbering carried on
// where the source's stood), in one transaction of the target, then checked row by row against
// the source before it is committed. An office moves its Data.db to the server this way, and
// takes a full copy of the server onto a file.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace zartav {

class Connection;

struct StoreCopyReport {
    bool ok = false;
    QString error;  // why nothing was copied, when !ok
    bool cancelled = false;  // stopped by the progress: nothing was copied
    qint64 records = 0;
    qint64 photos = 0;
    qint64 catalogueRows = 0;
    qint64 historyEntries = 0;
    qint64 certificateIssues = 0;
    // Into a server: the public keys the copy added to those the server trusts (fingerprints),
    // and, when the source's register held issues or keys and was left behind, how many.
    QStringList addedKeys;
    bool registerLeft = false;
    qint64 issuesLeft = 0;
    qint64 keysLeft = 0;
    // Of every row, column by column, in order: the same for the source and the copy.
    QByteArray checksum;
};

// Rows done and rows in all (records, then catalogue rows); answering false stops the copy.
using StoreCopyProgress = std::function<bool(qint64 done, qint64 total)>;

// Whether the source's register of issued certificates, its public keys and its issuer's texts
// go into a server: the keys a server trusts are the office's to choose, so a file's enter it
// only when its tables' owner asks. A file target always gets them (a copy of the server).
enum class RegisterCopy { LeaveBehind, Bring };

// Copies `from` into `to` (both open). A target that holds records or catalogue rows is refused
// unless `replace`, which empties it first, in the same transaction. Rows are read in batches of
// bounded size, so photos never fill the memory. On any failure the target is as it was.
StoreCopyReport copyStore(Connection& from, Connection& to, bool replace, const StoreCopyProgress& progress = {},
                          RegisterCopy registerCopy = RegisterCopy::LeaveBehind);

}  // namespace zartav
