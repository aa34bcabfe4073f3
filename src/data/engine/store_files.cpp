#include "data/engine/store_files.h"

#include "util/bidi_text.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QUrl>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sqlite3.h>
#include <unistd.h>

namespace zartav::storefile {
namespace {

quint32 be32(const char* p) {
    const auto* u = reinterpret_cast<const uchar*>(p);
    return quint32(u[0]) << 24 | quint32(u[1]) << 16 | quint32(u[2]) << 8 | u[3];
}

quint32 le32(const char* p) {
    const auto* u = reinterpret_cast<const uchar*>(p);
    return quint32(u[3]) << 24 | quint32(u[2]) << 16 | quint32(u[1]) << 8 | u[0];
}

QByteArray headOf(const QString& path, qint64 bytes) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(bytes) : QByteArray();
}

// Bytes 18 and 19 of the header: 2 when the file is kept with a write-ahead journal.
bool asksForJournal(const QString& path) {
    const QByteArray header = headOf(path, 20);
    return header.size() == 20 && (header.at(18) == 2 || header.at(19) == 2);
}

// A write-ahead journal as SQLite reads it when it rebuilds its index: a valid header, then
// frames of the header's salt, each checksummed over all before it, up to the last frame that
// ends a save. The header page is taken as the last save that holds it leaves it.
struct Journal {
    bool saves = false;
    quint32 pageSize = 0;
    quint32 salt1 = 0;
    QByteArray headerPage;  // its first 100 bytes; empty when no save holds it
};

constexpr quint32 kJournalMagic = 0x377f0682;
constexpr quint32 kJournalVersion = 3007000;

struct Sum {
    quint32 a = 0, b = 0;
    void add(const char* p, qsizetype n, bool bigEndian) {
        for (qsizetype i = 0; i + 8 <= n; i += 8) {
            a += (bigEndian ? be32(p + i) : le32(p + i)) + b;
            b += (bigEndian ? be32(p + i + 4) : le32(p + i + 4)) + a;
        }
    }
    bool is(const char* p) const { return a == be32(p) && b == be32(p + 4); }
};

Journal readJournal(const QString& wal) {
    Journal journal;
    QFile file(wal);
    if (!file.open(QIODevice::ReadOnly)) return journal;
    const QByteArray header = file.read(32);
    if (header.size() < 32) return journal;
    const quint32 magic = be32(header.constData());
    const quint32 pageSize = be32(header.constData() + 8);
    if ((magic & ~1u) != kJournalMagic || be32(header.constData() + 4) != kJournalVersion || pageSize < 512 ||
        pageSize > 65536 || (pageSize & (pageSize - 1)) != 0)
        return journal;
    const bool bigEndian = magic & 1;
    Sum sum;
    sum.add(header.constData(), 24, bigEndian);
    if (!sum.is(header.constData() + 24)) return journal;
    journal.pageSize = pageSize;
    journal.salt1 = be32(header.constData() + 16);
    QByteArray pending;
    for (;;) {
        const QByteArray frame = file.read(24 + pageSize);
        if (frame.size() < qsizetype(24 + pageSize)) break;
        const char* f = frame.constData();
        if (be32(f) == 0 || frame.mid(8, 8) != header.mid(16, 8)) break;
        sum.add(f, 8, bigEndian);
        sum.add(f + 24, pageSize, bigEndian);
        if (!sum.is(f + 16)) break;
        if (be32(f) == 1) pending = frame.mid(24, 100);
        if (be32(f + 4) != 0) {  // the frame that ends a save
            journal.saves = true;
            if (!pending.isEmpty()) journal.headerPage = pending;
        }
    }
    return journal;
}

bool holdsSaves(const QString& wal) { return readJournal(wal).saves; }

JournalCheck checkOnce(const QString& path) {
    const QString wal = path + QStringLiteral("-wal");
    if (!QFileInfo::exists(wal)) return {};
    const Journal journal = readJournal(wal);
    if (!journal.saves) return {};
    const JournalCheck foreign{
        false, QStringLiteral("فايل زير كنار فايل اطلاعات است، ولي نوشته هاي خود اين فايل نيست و از فايل ديگري آمده "
                              "يا دستكاري شده است:\n%1\nبا آن، ركوردهاي فايل اطلاعات از بين مي رفت؛ هيچ يك از دو فايل "
                              "تغيير نكرد. تا اين فايل از كنار فايل اطلاعات برداشته نشود، فايل اطلاعات باز نمي شود.")
                   .arg(isolatedPath(wal))};
    const QByteArray file = headOf(path, 100);
    if (file.size() < 100) return foreign;  // the journal would make the whole file
    const quint32 filePageSize = (quint32(uchar(file.at(16))) << 8 | uchar(file.at(17)));
    if ((filePageSize == 1 ? 65536u : filePageSize) != journal.pageSize) return foreign;
    const QByteArray& seen = journal.headerPage.isEmpty() ? file : journal.headerPage;
    const quint32 fileMark = be32(file.constData() + 68);
    const quint32 mark = be32(seen.constData() + 68);
    if (fileMark == 0 && mark == 0) return {};  // a store from before the mark: nothing to compare
    if (fileMark != 0 && mark != fileMark) return foreign;
    if (be32(seen.constData() + 60) != journal.salt1) return foreign;
    return {};
}

// The salt of the journal now beside the file; 0 when there is none.
quint32 saltOf(const char* wal) {
    const int fd = ::open(wal, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char header[20];
    const bool read = ::pread(fd, header, sizeof header, 0) == sizeof header;
    ::close(fd);
    return read ? be32(header + 16) : 0;
}

thread_local bool stamping = false;

int afterSave(void*, sqlite3* db, const char* name, int pages) {
    if (stamping) return SQLITE_OK;
    const char* wal = sqlite3_filename_wal(sqlite3_db_filename(db, name));
    const quint32 salt = wal ? saltOf(wal) : 0;
    sqlite3_stmt* statement = nullptr;
    quint32 stamp = 0;
    if (salt != 0 && sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        stamp = quint32(sqlite3_column_int64(statement, 0));
    sqlite3_finalize(statement);
    if (salt != 0 && stamp != salt) {
        stamping = true;
        const QByteArray sql = "PRAGMA user_version = " + QByteArray::number(qint32(salt));
        sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
        stamping = false;
    }
    // What SQLite's own hook, which this one replaces, does.
    if (pages >= 1000) sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    return SQLITE_OK;
}

}  // namespace

ReadName forReading(const QString& path) {
    const QString wal = path + QStringLiteral("-wal");
    const bool hasWal = QFileInfo::exists(wal);
    const bool hasShm = QFileInfo::exists(path + QStringLiteral("-shm"));
    // A journal without its "-shm" is no other program's at work: read through only when it
    // holds saves.
    if (asksForJournal(path) && (!hasWal || (!hasShm && !holdsSaves(wal))))
        return {QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded) +
                    QStringLiteral("?mode=ro&immutable=1"),
                true, false};
    return {path, false, hasWal && !hasShm};
}

namespace {

QMutex heldLock;
QHash<QString, int>& heldFiles() {
    static QHash<QString, int> files;
    return files;
}

QString key(const QString& path) { return QFileInfo(path).absoluteFilePath(); }

// Another process has the file open through SQLite: it holds a read lock on the "-shm"'s
// byte that SQLite keeps for that (the journal is then that connection's, already in use).
bool openElsewhere(const QString& path) {
    const int fd = ::open(QFile::encodeName(path + QStringLiteral("-shm")).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 128;
    lock.l_len = 1;
    const bool held = ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

// This process has the file or its "-shm" open already (through SQLite, by a connection of its
// own): a file descriptor of it is among the process's.
bool openHere(const QString& path) {
    struct stat file {}, shm {};
    const bool hasFile = ::stat(QFile::encodeName(path).constData(), &file) == 0;
    const bool hasShm = ::stat(QFile::encodeName(path + QStringLiteral("-shm")).constData(), &shm) == 0;
    if (!hasFile && !hasShm) return false;
    DIR* fds = ::opendir("/proc/self/fd");
    if (!fds) return false;
    bool found = false;
    while (const dirent* entry = ::readdir(fds)) {
        struct stat open {};
        if (entry->d_name[0] == '.' || ::fstatat(dirfd(fds), entry->d_name, &open, 0) != 0) continue;
        const auto same = [&](const struct stat& s) { return s.st_dev == open.st_dev && s.st_ino == open.st_ino; };
        if ((hasFile && same(file)) || (hasShm && same(shm))) {
            found = true;
            break;
        }
    }
    ::closedir(fds);
    return found;
}

}  // namespace

void holdOpen(const QString& path, bool open) {
    const QMutexLocker locker(&heldLock);
    int& count = heldFiles()[key(path)];
    count += open ? 1 : -1;
    if (count <= 0) heldFiles().remove(key(path));
}

JournalCheck checkJournal(const QString& path) {
    // A journal in use by a connection of this process or another is that connection's: SQLite
    // reads it from the index that connection keeps. (Closing a file this process has open
    // through SQLite would also drop SQLite's locks on it: none is opened then.)
    {
        const QMutexLocker locker(&heldLock);
        if (heldFiles().contains(key(path))) return {};
    }
    if (openHere(path) || openElsewhere(path)) return {};
    JournalCheck check = checkOnce(path);
    return check;
}

bool stampJournals(sqlite3* db) {
    sqlite3_wal_hook(db, &afterSave, nullptr);
    sqlite3_stmt* statement = nullptr;
    const bool read = sqlite3_prepare_v2(db, "PRAGMA application_id", -1, &statement, nullptr) == SQLITE_OK &&
                      sqlite3_step(statement) == SQLITE_ROW;
    const qint64 mark = read ? sqlite3_column_int64(statement, 0) : 0;
    sqlite3_finalize(statement);
    if (!read) return false;
    if (mark != 0) return true;
    // Any number but 0 will do: a store's mark tells its journal from another store's.
    quint32 fresh = 0;
    while (fresh == 0) sqlite3_randomness(sizeof fresh, &fresh);
    const QByteArray sql = "PRAGMA application_id = " + QByteArray::number(qint32(fresh));
    return sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool removeJournals(const QString& path) {
    bool gone = true;
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        const QString name = path + QLatin1String(suffix);
        if (QFileInfo::exists(name) && !QFile::remove(name)) gone = false;
    }
    return gone;
}

bool remove(const QString& path) {
    const bool journals = removeJournals(path);
    return (!QFileInfo::exists(path) || QFile::remove(path)) && journals;
}

bool createPrivate(const QString& path, QString* error) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) return true;
    *error = file.errorString();
    return false;
}

bool isDanglingLink(const QString& path) {
    const QFileInfo info(path);
    return info.isSymLink() && !info.exists();
}

}  // namespace zartav::storefile
