#include "data/legacy/legacy_mdb.h"

#include "data/legacy/legacy_names.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <iconv.h>
#include <mdbtools.h>
#include <vector>

namespace zartav::legacy {

namespace {

// Text and memo values are copied into bound buffers of this size; longer memos are cut here.
constexpr size_t kBindSize = 256 * 1024;
// A single stored binary value beyond this is taken as a damaged length, not a picture.
constexpr quint32 kMaxBlob = 256u * 1024 * 1024;

QString fromMdbText(const char* text, size_t capacity) {
    return QString::fromUtf8(text, qsizetype(strnlen(text, capacity)));
}

QString typeName(int type) {
    switch (type) {
    case MDB_BOOL: return QStringLiteral("Boolean");
    case MDB_BYTE: return QStringLiteral("Byte");
    case MDB_INT: return QStringLiteral("Integer");
    case MDB_LONGINT: return QStringLiteral("Long Integer");
    case MDB_MONEY: return QStringLiteral("Currency");
    case MDB_FLOAT: return QStringLiteral("Single");
    case MDB_DOUBLE: return QStringLiteral("Double");
    case MDB_DATETIME: return QStringLiteral("DateTime");
    case MDB_BINARY: return QStringLiteral("Binary");
    case MDB_TEXT: return QStringLiteral("Text");
    case MDB_OLE: return QStringLiteral("OLE");
    case MDB_MEMO: return QStringLiteral("Memo");
    case MDB_REPID: return QStringLiteral("Replication ID");
    case MDB_NUMERIC: return QStringLiteral("Numeric");
    case MDB_COMPLEX: return QStringLiteral("Complex");
    default: return QStringLiteral("Type %1").arg(type);
    }
}

// The code page a Jet 3 file's text is written in. Jet 4 text is UCS-2 and needs no guess.
const char* jet3Charset(unsigned codePage) {
    switch (codePage) {
    case 874: return "WINDOWS-874";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1250: return "WINDOWS-1250";
    case 1251: return "WINDOWS-1251";
    case 1253: return "WINDOWS-1253";
    case 1254: return "WINDOWS-1254";
    case 1255: return "WINDOWS-1255";
    case 1256: return "WINDOWS-1256";
    case 1257: return "WINDOWS-1257";
    case 1258: return "WINDOWS-1258";
    default: return "WINDOWS-1252";
    }
}

// libmdb takes its output charset from the environment (MDBICONV) and a Jet 3 file's charset
// from MDB_JET3_CHARSET when it opens a file. We always want UTF-8 from the file's own code
// page, whatever the user's environment says, so the converters are replaced on the handle.
bool pinUtf8(MdbHandle* mdb) {
    mdb_iconv_close(mdb);
    const bool jet3 = mdb->f->jet_version == MDB_VER_JET3;
    const char* source = jet3 ? jet3Charset(mdb->f->code_page) : "UCS-2LE";
    mdb->iconv_in = iconv_open("UTF-8", source);
    mdb->iconv_out = iconv_open(source, "UTF-8");
    return mdb->iconv_in != iconv_t(-1) && mdb->iconv_out != iconv_t(-1);
}

quint16 readLe16(const char* p) { return quint16(quint8(p[0]) | quint8(p[1]) << 8); }

quint32 readLe32(const char* p) {
    return quint32(quint8(p[0])) | quint32(quint8(p[1])) << 8 | quint32(quint8(p[2])) << 16 |
           quint32(quint8(p[3])) << 24;
}

// Checks the file's first page before libmdb sees it: libmdb trusts what it reads, so a file
// that is not a Jet database or that stops inside a page is refused here.
bool checkHeader(const QString& path, QString* error) {
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: cannot be read (%2)").arg(name, file.errorString());
        return false;
    }
    const QByteArray head = file.read(0x20);
    const bool magic = head.size() == 0x20 && head.startsWith(QByteArray("\x00\x01\x00\x00", 4)) &&
                       (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB");
    if (!magic) {
        *error = QStringLiteral("%1: is not a Microsoft Access database").arg(name);
        return false;
    }
    const qint64 pageSize = head.at(0x14) == 0 ? 2048 : 4096;
    const qint64 size = file.size();
    if (size < 3 * pageSize || size % pageSize != 0) {
        *error = QStringLiteral("%1: is damaged or truncated (%2 bytes is not a whole number of "
                                "%3-byte pages)")
                     .arg(name)
                     .arg(size)
                     .arg(pageSize);
        return false;
    }
    return true;
}

// Long binary values live outside the row, on their own pages; libmdb hands them over one page
// at a time through the column's bound buffer, which first holds the value's 12-byte header.
// The length the header claims is checked against `limit` and every page against what is left,
// so a damaged or looping page chain cannot grow the value without end.
bool readLongValue(MdbHandle* mdb, MdbColumn* col, char* bound, int boundLength, quint32 limit,
                   QByteArray* out, QString* why) {
    out->clear();
    if (boundLength < MDB_MEMO_OVERHEAD) return true;  // empty value
    char header[MDB_MEMO_OVERHEAD];
    std::memcpy(header, bound, sizeof header);
    const quint32 expected = readLe32(header) & 0x3fffffffu;
    if (expected == 0) return true;
    if (expected > limit) {
        *why = QStringLiteral("a value claims %1 bytes").arg(expected);
        return false;
    }
    out->reserve(qsizetype(expected));
    size_t chunk = mdb_ole_read(mdb, col, header, kBindSize);
    while (chunk > 0) {
        if (chunk > kBindSize || out->size() + qsizetype(chunk) > qsizetype(expected)) break;
        out->append(bound, qsizetype(chunk));
        if (out->size() == qsizetype(expected)) break;
        chunk = mdb_ole_read_next(mdb, col, header);
    }
    if (out->size() != qsizetype(expected)) {
        *why = QStringLiteral("only %1 of a value's %2 bytes could be read")
                   .arg(out->size())
                   .arg(expected);
        return false;
    }
    return true;
}

// Reads a table definition with its columns, checking what libmdb returns before use.
MdbTableDef* readDefinition(MdbCatalogEntry* entry, QString* error) {
    const QString name = fromMdbText(entry->object_name, sizeof entry->object_name);
    MdbTableDef* table = mdb_read_table(entry);
    // Without its usage map libmdb cannot find the table's pages, and walks a null map.
    if (table && (!table->usage_map || table->map_sz == 0)) {
        mdb_free_tabledef(table);
        table = nullptr;
    }
    if (!table) {
        *error = QStringLiteral("the definition of table %1 cannot be read: the file is damaged")
                     .arg(name);
        return nullptr;
    }
    GPtrArray* cols = table->num_cols <= MDB_MAX_COLS ? mdb_read_columns(table) : nullptr;
    if (!cols || cols->len != table->num_cols) {
        *error = QStringLiteral("the columns of table %1 cannot be read: the file is damaged")
                     .arg(name);
        mdb_free_tabledef(table);
        return nullptr;
    }
    return table;
}

// Property names (record type 0x80): length-prefixed strings that must end inside the record.
bool wellFormedPropertyNames(const char* body, qsizetype size) {
    for (qsizetype pos = 0; pos < size;) {
        if (size - pos < 2) return false;
        const quint16 length = readLe16(body + pos);
        pos += 2;
        if (length > size - pos) return false;
        pos += length;
    }
    return true;
}

// Property values (record types 0-2): a named block of entries, each at least its 8-byte header
// long, so that walking them always moves forward and stays inside the record.
bool wellFormedPropertyValues(const char* body, qsizetype size) {
    if (size < 6) return false;
    const quint16 nameLength = readLe16(body + 4);
    if (nameLength > size - 6) return false;
    for (qsizetype pos = 6 + nameLength; pos < size;) {
        if (size - pos < 8) return false;
        const quint16 length = readLe16(body + pos);
        const quint16 dataSize = readLe16(body + pos + 6);
        if (length < 8 || length > size - pos || dataSize > length - 8) return false;
        pos += length;
    }
    return true;
}

// libmdb walks an object's property blob trusting every length in it: a zero length loops for
// ever, allocating as it goes. The blob is handed over only when all its records hold together.
bool wellFormedProperties(const QByteArray& blob) {
    const char* data = blob.constData();
    const qsizetype size = blob.size();
    if (size < 4 || (std::memcmp(data, "KKD", 4) != 0 && std::memcmp(data, "MR2", 4) != 0))
        return false;
    for (qsizetype pos = 4; pos < size;) {
        if (size - pos < 6) return false;
        const quint32 length = readLe32(data + pos);
        if (length < 6 || length > quint64(size - pos)) return false;
        const quint16 type = readLe16(data + pos + 4);
        const char* body = data + pos + 6;
        if (type == 0x80 && !wellFormedPropertyNames(body, length - 6)) return false;
        if (type <= 2 && !wellFormedPropertyValues(body, length - 6)) return false;
        pos += length;
    }
    return true;
}

// What a long value whose pages cannot be read does to its row.
enum class DamagedLongValue { FailsTheTable, ReadsAsEmpty };

class TableRows final : public RowSource {
public:
    TableRows(MdbHandle* mdb, MdbTableDef* table,
              DamagedLongValue damaged = DamagedLongValue::FailsTheTable)
        : mdb_(mdb), table_(table), damaged_(damaged) {
        const unsigned count = table_->columns->len;
        buffers_.resize(count);
        lengths_.assign(count, 0);
        for (unsigned i = 0; i < count; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, i));
            names_ << fromMdbText(col->name, sizeof col->name);
            types_.push_back(col->col_type);
            // One spare byte past the bind size, so a full buffer is still terminated.
            buffers_[i].assign(kBindSize + 16, '\0');
            mdb_bind_column(table_, int(i + 1), buffers_[i].data(), &lengths_[i]);
        }
        mdb_rewind_table(table_);
    }
    ~TableRows() override { mdb_free_tabledef(table_); }

    QStringList columns() const override { return names_; }
    qint64 rowCountHint() const override { return table_->num_rows; }

    Fetch next(Row* row, QString* error) override {
        if (failed_) return failed(error);
        for (auto& len : lengths_) len = 0;
        if (!mdb_fetch_row(table_)) {
            // The definition says how many rows there are; stopping short means pages are
            // missing or unreadable, and a partial table must not pass for the whole one.
            if (fetched_ < qint64(table_->num_rows)) {
                reason_ = QStringLiteral("table %1 stops after %2 of its %3 rows: the file is "
                                         "damaged")
                              .arg(fromMdbText(table_->name, sizeof table_->name))
                              .arg(fetched_)
                              .arg(table_->num_rows);
                failed_ = true;
                return failed(error);
            }
            return Fetch::End;
        }
        ++fetched_;
        row->clear();
        row->reserve(names_.size());
        for (int i = 0; i < names_.size(); ++i) {
            Field field{names_.at(i), QVariant()};
            const char* data = buffers_[i].data();
            const int len = lengths_[i];
            if (len < 0 || size_t(len) > kBindSize) {
                reason_ = QStringLiteral("column %1 holds a value of impossible length %2")
                              .arg(names_.at(i))
                              .arg(len);
                failed_ = true;
                return failed(error);
            }
            if (types_[i] == MDB_OLE) {
                QByteArray blob;
                if (!readOle(i, len, &blob)) {
                    if (damaged_ == DamagedLongValue::FailsTheTable) {
                        failed_ = true;
                        return failed(error);
                    }
                    blob.clear();
                }
                if (!blob.isEmpty()) field.value = blob;
            } else if (types_[i] == MDB_BINARY) {
                if (len > 0) field.value = QByteArray(data, len);
            } else if (len > 0) {
                field.value = fromMdbText(data, kBindSize);
            }
            row->append(std::move(field));
        }
        return Fetch::Row;
    }

private:
    Fetch failed(QString* error) const {
        if (error) *error = reason_;
        return Fetch::Error;
    }

    bool readOle(int index, int boundLength, QByteArray* out) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, index));
        QString why;
        if (readLongValue(mdb_, col, buffers_[index].data(), boundLength, kMaxBlob, out, &why))
            return true;
        reason_ = QStringLiteral("column %1: %2: the file is damaged").arg(names_.at(index), why);
        return false;
    }

    MdbHandle* mdb_;
    MdbTableDef* table_;
    DamagedLongValue damaged_;
    QStringList names_;
    std::vector<int> types_;
    std::vector<std::vector<char>> buffers_;
    std::vector<int> lengths_;
    qint64 fetched_ = 0;
    bool failed_ = false;
    QString reason_;
};

// The list of tables, read from the system table on page 2 with the same checked row reading
// as any other table. libmdb's own catalogue reader copies values into fixed buffers smaller
// than our bind size and trusts every property blob; here a damaged or unreadable blob only
// costs its table the display properties, as it did before.
bool readCatalog(MdbHandle* mdb) {
    mdb_free_catalog(mdb);
    mdb->catalog = g_ptr_array_new();
    mdb->num_catalog = 0;
    MdbCatalogEntry objects{};
    objects.mdb = mdb;
    objects.object_type = MDB_TABLE;
    objects.table_pg = 2;
    std::strcpy(objects.object_name, "MSysObjects");
    QString error;
    MdbTableDef* def = readDefinition(&objects, &error);
    if (!def) return false;
    TableRows rows(mdb, def, DamagedLongValue::ReadsAsEmpty);
    const QStringList columns = rows.columns();
    const int id = columns.indexOf(QStringLiteral("Id"));
    const int name = columns.indexOf(QStringLiteral("Name"));
    const int type = columns.indexOf(QStringLiteral("Type"));
    const int flags = columns.indexOf(QStringLiteral("Flags"));
    const int properties = columns.indexOf(QStringLiteral("LvProp"));
    if (id < 0 || name < 0 || type < 0 || flags < 0 || properties < 0) return false;
    Row row;
    RowSource::Fetch fetch;
    while ((fetch = rows.next(&row, &error)) == RowSource::Fetch::Row) {
        if (row.at(type).value.toString().toInt() != MDB_TABLE) continue;
        auto* entry = static_cast<MdbCatalogEntry*>(g_malloc0(sizeof(MdbCatalogEntry)));
        entry->mdb = mdb;
        qstrncpy(entry->object_name, row.at(name).value.toString().toUtf8().constData(),
                 sizeof entry->object_name);
        entry->object_type = MDB_TABLE;
        entry->table_pg = row.at(id).value.toString().toULong() & 0x00FFFFFFu;
        entry->flags = row.at(flags).value.toString().toInt();
        const QByteArray blob = row.at(properties).value.toByteArray();
        if (wellFormedProperties(blob)) {
            // libmdb reads fixed-size values without looking at their stored size: zeros past
            // the end keep such a read inside the buffer.
            QByteArray padded = blob;
            padded.append(32, '\0');
            entry->props = mdb_kkd_to_props(mdb, padded.data(), size_t(blob.size()));
        }
        g_ptr_array_add(mdb->catalog, entry);
        ++mdb->num_catalog;
    }
    return fetch == RowSource::Fetch::End;
}

}  // namespace

struct MdbFile::Handle {
    MdbHandle* mdb = nullptr;
    ~Handle() {
        if (mdb) mdb_close(mdb);
    }

    std::vector<MdbCatalogEntry*> tables() const {
        std::vector<MdbCatalogEntry*> out;
        if (!mdb->catalog) return out;
        for (unsigned i = 0; i < mdb->catalog->len; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
            if (entry && entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
                out.push_back(entry);
        }
        return out;
    }

    MdbCatalogEntry* entry(const QString& name) const {
        for (MdbCatalogEntry* e : tables()) {
            if (fromMdbText(e->object_name, sizeof e->object_name) == name) return e;
        }
        return nullptr;
    }

    MdbTableDef* readTable(const QString& name, QString* error) const {
        MdbCatalogEntry* e = entry(name);
        if (!e) {
            *error = QStringLiteral("there is no table %1").arg(name);
            return nullptr;
        }
        return readDefinition(e, error);
    }
};

MdbFile::~MdbFile() = default;

std::unique_ptr<MdbFile> MdbFile::open(const QString& path, QString* error) {
    QString scratch;
    if (!error) error = &scratch;
    const QFileInfo info(path);
    if (!info.isFile()) {
        *error = QStringLiteral("%1: no such file").arg(path);
        return nullptr;
    }
    if (!checkHeader(path, error)) return nullptr;

    std::unique_ptr<MdbFile> file(new MdbFile);
    file->path_ = info.absoluteFilePath();
    file->h_ = std::make_unique<Handle>();
    // MDB_NOFLAGS: read-only; libmdb opens the file with "rb" and never writes it.
    file->h_->mdb = mdb_open(QFile::encodeName(file->path_).constData(), MDB_NOFLAGS);
    MdbHandle* mdb = file->h_->mdb;
    if (!mdb) {
        *error = QStringLiteral("%1: cannot be opened as a Microsoft Access database")
                     .arg(info.fileName());
        return nullptr;
    }
    if (!pinUtf8(mdb)) {
        *error = QStringLiteral("%1: its text cannot be converted (code page %2)")
                     .arg(info.fileName())
                     .arg(mdb->f->code_page);
        return nullptr;
    }
    mdb_set_bind_size(mdb, kBindSize);
    mdb_set_date_fmt(mdb, "%Y-%m-%d %H:%M:%S");
    mdb_set_shortdate_fmt(mdb, "%Y-%m-%d");
    if (!readCatalog(mdb)) {
        *error = QStringLiteral("%1: its list of tables cannot be read: the file is damaged")
                     .arg(info.fileName());
        return nullptr;
    }
    return file;
}

int MdbFile::jetVersion() const { return h_->mdb->f->jet_version == MDB_VER_JET3 ? 3 : 4; }

QStringList MdbFile::tableNames() const {
    QStringList names;
    for (MdbCatalogEntry* e : h_->tables()) names << fromMdbText(e->object_name, sizeof e->object_name);
    return names;
}

QString MdbFile::findTable(const QString& name) const {
    for (const QString& table : tableNames()) {
        if (sameName(table, name)) return table;
    }
    return {};
}

bool MdbFile::describe(const QString& table, MdbTableInfo* info, QString* error) const {
    QString scratch;
    if (!error) error = &scratch;
    MdbTableDef* def = h_->readTable(table, error);
    if (!def) return false;
    info->name = table;
    info->rowCount = def->num_rows;
    info->columns.clear();
    for (unsigned i = 0; i < def->columns->len; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
        // Jet 4 keeps text as UCS-2: its declared size is twice the characters it holds.
        const bool wide = col->col_type == MDB_TEXT && jetVersion() == 4;
        info->columns.append({fromMdbText(col->name, sizeof col->name), typeName(col->col_type),
                              wide ? col->col_size / 2 : col->col_size,
                              col->col_type == MDB_OLE || col->col_type == MDB_BINARY});
    }
    mdb_free_tabledef(def);
    return true;
}

std::unique_ptr<RowSource> MdbFile::rows(const QString& table, QString* error) {
    QString scratch;
    if (!error) error = &scratch;
    MdbTableDef* def = h_->readTable(table, error);
    if (!def) return nullptr;
    return std::make_unique<TableRows>(h_->mdb, def);
}

}  // namespace zartav::legacy
