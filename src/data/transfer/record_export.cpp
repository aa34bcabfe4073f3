#include "data/transfer/record_export.h"

#include "data/schema/record_schema.h"
#include "data/records/record_text.h"
#include "data/records/record_table.h"
#include "util/digits.h"
#include "util/bidi_text.h"
#include "util/csv_reader.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace zartav {
namespace {

// Progress is told this often, in rows.
constexpr qint64 kProgressStep = 256;
// The most characters a spreadsheet cell holds.
constexpr int kMaxCellCharacters = 32767;

QList<int> exportedColumns(ExportColumns columns) {
    QList<int> indexes;
    for (int i = 0; i < schema::kListedColumnCount; ++i) indexes << i;
    if (columns == ExportColumns::All) indexes << schema::kIdColumnIndex;
    return indexes;
}

QString textOf(const QVariant& value) { return value.isNull() ? QString() : value.toString(); }

// A quantity (or the record's ID) that is a plain decimal number goes into the sheet as a
// number, so a spreadsheet sums it; anything else stays the text it is.
std::optional<double> numberIn(int column, const QString& text) {
    if (column != schema::kIdColumnIndex && !record_text::isQuantityColumn(column)) return std::nullopt;
    static const QRegularExpression plain(QStringLiteral("^-?[0-9]{1,15}([.][0-9]{1,15})?$"));
    const QString number = normalizeDigits(text.trimmed()).replace(QChar(0x066B), QLatin1Char('.'));  // the Persian decimal point
    if (!plain.match(number).hasMatch()) return std::nullopt;
    return number.toDouble();
}

// The sheet of one herd's list is named after the herd; any other list's is "ركوردها".
QString sheetName(const RecordTable& shown) {
    const QString herd = shown.isFiltered() && shown.filterColumn() == schema::column(schema::kRecordColumns[schema::kHerdColumnIndex])
                             ? shown.filterValue().toString().trimmed()
                             : QString();
    return herd.isEmpty() ? QStringLiteral("ركوردها") : herd;
}

// Why the rows could not be read: a link to the server that is gone and could not be made
// again is said in so many words, the store's own words follow.
QString notRead(const RecordTable& shown, const QString& why) {
    const QString sentence = shown.connection().isLost()
                                 ? QStringLiteral("اتصال به سرور اطلاعات قطع شد و دوباره برقرار نشد؛ ركوردها خوانده نشد و فايلي نوشته نشد.")
                                 : QStringLiteral("ركوردها خوانده نشد؛ فايلي نوشته نشد.");
    return withEngineWords(sentence, why);
}

QString notWritten(const QString& path, const QString& why) {
    return withEngineWords(
        QStringLiteral("فايل زير نوشته نشد؛ پوشه آن نوشتني نيست، جا ندارد يا فايلي به اين نام باز است:\n%1").arg(isolatedPath(path)),
        why);
}

// One writer per kind of file: a header, rows, and the end that makes the file whole. A step
// that fails says why: the system's own words about the file, or (fault()) a Farsi sentence
// when the fault is in what was to be written.
class SheetWriter {
public:
    virtual ~SheetWriter() = default;
    virtual bool open() = 0;
    virtual bool addRow(const QStringList& cells) = 0;
    virtual bool finish() = 0;  // false leaves no file
    virtual void abandon() = 0;
    QString error() const { return error_; }
    QString fault() const { return fault_; }

protected:
    bool fail(const QString& error) {
        error_ = error;
        return false;
    }
    bool refuse(const QString& fault) {
        fault_ = fault;
        return false;
    }

private:
    QString error_;
    QString fault_;
};

class CsvWriter : public SheetWriter {
public:
    explicit CsvWriter(const QString& path) : file_(path) {}
    bool open() override {
        if (!file_.open(QIODevice::WriteOnly) || file_.write("\xEF\xBB\xBF", 3) != 3) return fail(file_.errorString());
        return true;
    }
    bool addRow(const QStringList& cells) override {
        const QByteArray line = csv::rowText(cells);
        return file_.write(line) == line.size() || fail(file_.errorString());
    }
    bool finish() override { return file_.commit() || fail(file_.errorString()); }
    void abandon() override { file_.cancelWriting(); }

private:
    QSaveFile file_;
};

// The workbook is written under a temporary name beside the target and takes the target's name
// only when it is closed whole.
class XlsxWriter : public SheetWriter {
public:
    XlsxWriter(const QString& path, const QList<int>& columns, const QString& sheet)
        : path_(path), columns_(columns), sheetName_(sheet.toUtf8()) {}
    ~XlsxWriter() override {
        if (book_) workbook_close(book_);
        if (!temporary_.isEmpty()) QFile::remove(temporary_);
    }
    bool open() override {
        const QFileInfo target(path_);
        QTemporaryFile placeholder(target.absoluteDir().filePath(QStringLiteral(".%1-XXXXXX").arg(target.fileName())));
        placeholder.setAutoRemove(false);
        if (!placeholder.open()) return fail(placeholder.errorString());
        temporary_ = placeholder.fileName();
        placeholder.close();
        // The finished file is readable as any new file of the user's is, not only by its owner.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(QFile::encodeName(temporary_).constData(), 0666 & ~mask);
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;  // rows go to disk as they are written
        tempFolder_ = QDir::tempPath().toUtf8();
        options.tmpdir = tempFolder_.data();
        book_ = workbook_new_opt(QFile::encodeName(temporary_).constData(), &options);
        if (!book_) return fail(QStringLiteral("the workbook could not be started"));
        // A herd code no sheet may be called (too long, or with a character names refuse) keeps the general name.
        if (workbook_validate_sheet_name(book_, sheetName_.constData()) != LXW_NO_ERROR)
            sheetName_ = QStringLiteral("ركوردها").toUtf8();
        sheet_ = workbook_add_worksheet(book_, sheetName_.constData());
        if (!sheet_) return fail(QStringLiteral("the sheet could not be added"));
        worksheet_right_to_left(sheet_);
        header_ = workbook_add_format(book_);
        format_set_bold(header_);
        format_set_align(header_, LXW_ALIGN_CENTER);
        format_set_bg_color(header_, 0xE1FFE1);
        format_set_border(header_, LXW_BORDER_THIN);
        for (int c = 0; c < columns_.size(); ++c) {
            const int title = int(QString::fromUtf8(schema::kRecordColumns[columns_[c]]).size());
            // Room for the title and for a date, the longest short value most columns hold.
            if (const lxw_error e = worksheet_set_column(sheet_, lxw_col_t(c), lxw_col_t(c), std::max(12, title + 3), nullptr);
                e != LXW_NO_ERROR)
                return fail(QString::fromUtf8(lxw_strerror(e)));
        }
        worksheet_freeze_panes(sheet_, 1, 0);
        return true;
    }
    bool addRow(const QStringList& cells) override {
        if (row_ >= LXW_ROW_MAX) return fail(QString::fromUtf8(lxw_strerror(LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE)));
        for (int c = 0; c < cells.size(); ++c) {
            if (cells.at(c).isEmpty()) continue;
            if (const std::optional<double> number = row_ > 0 ? numberIn(columns_[c], cells.at(c)) : std::nullopt) {
                if (const lxw_error e = worksheet_write_number(sheet_, row_, lxw_col_t(c), *number, nullptr); e != LXW_NO_ERROR)
                    return fail(QString::fromUtf8(lxw_strerror(e)));
                continue;
            }
            const QByteArray text = cells.at(c).toUtf8();
            const lxw_error e =
                worksheet_write_string(sheet_, row_, lxw_col_t(c), text.constData(), row_ == 0 ? header_ : nullptr);
            // Written as strings, never as formulas: a cell beginning with "=" stays its text.
            if (e == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED)
                return refuse(QStringLiteral("سطر %1 برگ، ستون «%2»: اين مقدار %3 حرف دارد و يك خانه اكسل حداكثر %4 حرف "
                                             "مي گيرد؛ خروجي csv. بگيريد.")
                                  .arg(row_ + 1)
                                  .arg(QString::fromUtf8(schema::kRecordColumns[columns_[c]]))
                                  .arg(cells.at(c).size())
                                  .arg(kMaxCellCharacters));
            if (e != LXW_NO_ERROR) return fail(QString::fromUtf8(lxw_strerror(e)));
        }
        ++row_;
        return true;
    }
    bool finish() override {
        const lxw_error closed = workbook_close(book_);
        book_ = nullptr;
        if (closed != LXW_NO_ERROR) return fail(QString::fromUtf8(lxw_strerror(closed)));
        // rename() replaces an older file of the name in one step.
        if (std::rename(QFile::encodeName(temporary_).constData(), QFile::encodeName(path_).constData()) != 0)
            return fail(QString::fromLocal8Bit(std::strerror(errno)));
        temporary_.clear();
        return true;
    }
    void abandon() override {}  // the destructor removes what was written

private:
    QString path_;
    QList<int> columns_;
    QByteArray sheetName_;
    QString temporary_;
    QByteArray tempFolder_;
    lxw_workbook* book_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* header_ = nullptr;
    lxw_row_t row_ = 0;
};

}  // namespace

bool isExportFileName(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("xlsx") || suffix == QLatin1String("csv");
}

ExportResult exportRecords(const RecordTable& shown, const QString& path, ExportColumns columns,
                           const ExportProgress& progress) {
    ExportResult result;
    if (!isExportFileName(path)) {
        result.error = QStringLiteral("نام فايل خروجي بايد به xlsx. (اكسل) يا csv. ختم شود:\n%1").arg(isolatedPath(path));
        return result;
    }
    const QList<int> indexes = exportedColumns(columns);
    QString technical;
    const std::optional<qint64> total = shown.shownCount(&technical);
    if (!total) {
        result.error = notRead(shown, technical);
        return result;
    }
    if (QFileInfo(path).suffix().toLower() == QLatin1String("xlsx") && *total >= qint64(LXW_ROW_MAX)) {
        result.error = QStringLiteral("اين %1 ركورد در يك برگ اكسل جا نمي گيرد؛ خروجي csv. بگيريد.").arg(*total);
        return result;
    }
    std::unique_ptr<SheetWriter> writer;
    if (QFileInfo(path).suffix().toLower() == QLatin1String("csv"))
        writer = std::make_unique<CsvWriter>(path);
    else
        writer = std::make_unique<XlsxWriter>(path, indexes, sheetName(shown));

    QStringList titles;
    for (int i : indexes) titles << QString::fromUtf8(schema::kRecordColumns[i]);
    bool written = writer->open() && writer->addRow(titles);
    bool cancelled = progress && !progress(0, *total);
    QStringList cells;
    const bool read = written && !cancelled && shown.forEachShown(indexes, [&](qint64, const QVector<QVariant>& values) {
        cells.clear();
        for (const QVariant& v : values) cells << textOf(v);
        if (!writer->addRow(cells)) return written = false;
        ++result.rows;
        if (progress && result.rows % kProgressStep == 0 && !progress(result.rows, *total)) {
            cancelled = true;
            return false;
        }
        return true;
    }, &technical);
    if (written && read && !cancelled && progress) cancelled = !progress(result.rows, *total);
    if (!written || !read || cancelled || !writer->finish()) {
        writer->abandon();
        result.cancelled = cancelled;
        if (!cancelled)
            result.error = written && !read ? notRead(shown, technical)
                           // What was to be written is at fault, not the folder.
                           : !writer->fault().isEmpty()
                               ? QStringLiteral("فايل زير نوشته نشد:\n%1\n%2").arg(isolatedPath(path), writer->fault())
                               : notWritten(path, writer->error());
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace zartav
