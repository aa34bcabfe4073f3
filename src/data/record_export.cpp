#include "data/record_export.h"

#include "data/record_schema.h"
#include "data/tdm.h"
#include "util/bidi_text.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace zartav {
namespace {

// Progress is told this often, in rows.
constexpr qint64 kProgressStep = 256;

QList<int> exportedColumns(ExportColumns columns) {
    QList<int> indexes;
    for (int i = 0; i < schema::kListedColumnCount; ++i) indexes << i;
    if (columns == ExportColumns::All) indexes << schema::kIdColumnIndex;
    return indexes;
}

QString textOf(const QVariant& value) { return value.isNull() ? QString() : value.toString(); }

QString notWritten(const QString& path) {
    return QStringLiteral("فايل زير نوشته نشد؛ پوشه آن نوشتني نيست، جا ندارد يا فايلي به اين نام باز است:\n%1")
        .arg(isolatedPath(path));
}

// One writer per kind of file: a header, rows, and the end that makes the file whole.
class SheetWriter {
public:
    virtual ~SheetWriter() = default;
    virtual bool open() = 0;
    virtual bool addRow(const QStringList& cells) = 0;
    virtual bool finish() = 0;  // false leaves no file
    virtual void abandon() = 0;
};

class CsvWriter : public SheetWriter {
public:
    explicit CsvWriter(const QString& path) : file_(path) {}
    bool open() override {
        if (!file_.open(QIODevice::WriteOnly)) return false;
        return file_.write("\xEF\xBB\xBF", 3) == 3;
    }
    bool addRow(const QStringList& cells) override {
        QByteArray line;
        for (int i = 0; i < cells.size(); ++i) {
            if (i > 0) line += ',';
            const QString& cell = cells.at(i);
            const bool quoted = cell.contains(u',') || cell.contains(u'"') || cell.contains(u'\n') || cell.contains(u'\r');
            line += quoted ? '"' + QString(cell).replace(QStringLiteral("\""), QStringLiteral("\"\"")).toUtf8() + '"'
                           : cell.toUtf8();
        }
        line += "\r\n";
        return file_.write(line) == line.size();
    }
    bool finish() override { return file_.commit(); }
    void abandon() override { file_.cancelWriting(); }

private:
    QSaveFile file_;
};

// The workbook is written under a temporary name beside the target and takes the target's name
// only when it is closed whole.
class XlsxWriter : public SheetWriter {
public:
    XlsxWriter(const QString& path, const QList<int>& columns) : path_(path), columns_(columns) {}
    ~XlsxWriter() override {
        if (book_) workbook_close(book_);
        if (!temporary_.isEmpty()) QFile::remove(temporary_);
    }
    bool open() override {
        const QFileInfo target(path_);
        QTemporaryFile placeholder(target.absoluteDir().filePath(QStringLiteral(".%1-XXXXXX").arg(target.fileName())));
        placeholder.setAutoRemove(false);
        if (!placeholder.open()) return false;
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
        if (!book_) return false;
        sheet_ = workbook_add_worksheet(book_, nullptr);
        if (!sheet_) return false;
        worksheet_right_to_left(sheet_);
        header_ = workbook_add_format(book_);
        format_set_bold(header_);
        format_set_align(header_, LXW_ALIGN_CENTER);
        format_set_bg_color(header_, 0xE1FFE1);
        format_set_border(header_, LXW_BORDER_THIN);
        for (int c = 0; c < columns_.size(); ++c) {
            const int title = int(QString::fromUtf8(schema::kRecordColumns[columns_[c]]).size());
            // Room for the title and for a date, the longest short value most columns hold.
            if (worksheet_set_column(sheet_, lxw_col_t(c), lxw_col_t(c), std::max(12, title + 3), nullptr) != LXW_NO_ERROR)
                return false;
        }
        worksheet_freeze_panes(sheet_, 1, 0);
        return true;
    }
    bool addRow(const QStringList& cells) override {
        if (row_ >= LXW_ROW_MAX) return false;
        for (int c = 0; c < cells.size(); ++c) {
            if (cells.at(c).isEmpty()) continue;
            const QByteArray text = cells.at(c).toUtf8();
            if (worksheet_write_string(sheet_, row_, lxw_col_t(c), text.constData(), row_ == 0 ? header_ : nullptr) !=
                LXW_NO_ERROR)
                return false;
        }
        ++row_;
        return true;
    }
    bool finish() override {
        const lxw_error closed = workbook_close(book_);
        book_ = nullptr;
        if (closed != LXW_NO_ERROR) return false;
        // rename() replaces an older file of the name in one step.
        if (std::rename(QFile::encodeName(temporary_).constData(), QFile::encodeName(path_).constData()) != 0) return false;
        temporary_.clear();
        return true;
    }
    void abandon() override {}  // the destructor removes what was written

private:
    QString path_;
    QList<int> columns_;
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
        result.error = withEngineWords(QStringLiteral("ركوردها خوانده نشد؛ فايلي نوشته نشد."), technical);
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
        writer = std::make_unique<XlsxWriter>(path, indexes);

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
            result.error = written && !read ? withEngineWords(QStringLiteral("ركوردها خوانده نشد؛ فايلي نوشته نشد."), technical)
                                            : notWritten(path);
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace zartav
