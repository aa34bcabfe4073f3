#include "entry/ui/dos_sperm_form.h"

#include "data/schema/record_schema.h"
#include "data/tdm.h"
#include "util/ui/dialog_helpers.h"
#include "util/ui/line_cell_delegate.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

namespace zartav {

namespace {

constexpr int kBorder = 5;
constexpr int kClientWidth = 730;
constexpr int kClientHeight = 499;
const char* const kSearchColumn = "RegNo_SPF";

// Each catalogue column's title in the grid, in the catalogue's order; the column's own name is
// its tooltip.
constexpr std::array<const char*, schema::kCatalogueColumns.size()> kCatalogueTitles = {
    "نام اسپرم",          "كد اسپرم",            "شماره ثبت خارجي",     "شماره ثبت داخلي",     "نام پدر",
    "ثبت خارجي پدر",      "ثبت داخلي پدر",       "ثبت مادر",            "نام پدر پدر",         "ثبت خارجي پدر پدر",
    "ثبت داخلي پدر پدر",  "ثبت مادر پدر",        "نام پدر مادر",        "ثبت خارجي پدر مادر",  "ثبت داخلي پدر مادر",
    "ثبت مادر مادر",      "خانواده",             "سهولت زايش",          "اعتبار شير",          "توان انتقال شير",
    "ميانگين شير",        "توان انتقال چربي",    "توان انتقال درصد چربي", "توان انتقال تيپ",   "سال پايه",
    "درصد چربي مادر",     "چربي مادر",           "شير مادر",            "دوره شيردهي مادر",    "پرورش دهنده",
    "شاخص اصلاحي",
};

}  // namespace

// The catalogue as the grid shows it: columns alternating two pale colours so a wide row stays
// readable, the row indicator on the catalogue's current row, and, once a dam is known, one more
// column: the inbreeding her calf would have with each bull.
class CataloguePickerModel final : public QAbstractTableModel {
public:
    CataloguePickerModel(CatalogueTable& table, QObject* parent) : QAbstractTableModel(parent), table_(table) {
        connect(&table_, &CatalogueTable::rowsReset, this, [this] {
            beginResetModel();
            mating_.clear();
            endResetModel();
        });
        // Only the rows that lose and gain the mark: the header visits every row of the range.
        connect(&table_, &CatalogueTable::currentChanged, this, [this, markedRow = -1](int row) mutable {
            for (const int marked : {markedRow, row})
                if (marked >= 0 && marked < rowCount()) emit headerDataChanged(Qt::Vertical, marked, marked);
            markedRow = row;
        });
    }
    void setMating(QVector<double> f) {
        beginResetModel();
        mating_ = f.size() == table_.rowCount() ? std::move(f) : QVector<double>();
        endResetModel();
    }
    static constexpr int kMatingColumn = int(schema::kCatalogueColumns.size());

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : table_.rowCount(); }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : kMatingColumn + (mating_.isEmpty() ? 0 : 1);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Vertical)
            return role == Qt::DisplayRole ? QVariant(section == table_.currentRow() ? QStringLiteral("◀") : QString()) : QVariant();
        if (section < 0 || section >= columnCount()) return {};
        if (role == Qt::ToolTipRole && section != kMatingColumn) return QString::fromLatin1(schema::kCatalogueColumns[section]);
        if (role != Qt::DisplayRole) return {};
        return section == kMatingColumn ? QStringLiteral("همخوني گوساله") : QString::fromUtf8(kCatalogueTitles[section]);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        const bool mating = index.column() == kMatingColumn;
        switch (role) {
        case Qt::BackgroundRole: return index.column() % 2 == 0 ? QColor(0xF0, 0xFF, 0xF0) : QColor(0xFF, 0xFF, 0xF0);
        case Qt::ForegroundRole:
            return mating && mating_[index.row()] > kMatingWarning ? QColor(Qt::red) : QColor(Qt::black);
        case Qt::UserRole: return mating ? QVariant(mating_[index.row()]) : QVariant();
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return mating ? QString::number(mating_[index.row()] * 100, 'f', 1) + QStringLiteral(" %")
                          : table_.valueAt(index.row(), index.column());
        default: return {};
        }
    }

private:
    static constexpr double kMatingWarning = 0.0625 + 1e-12;
    CatalogueTable& table_;
    QVector<double> mating_;
};

QList<std::pair<QString, QStringList>> TDosSperm::keyboardKeys() {
    return {
        {QStringLiteral("كاتالوگ اسپرم: گاو بعد و قبل"), {QStringLiteral("Down"), QStringLiteral("Up")}},
        {QStringLiteral("كاتالوگ اسپرم: انتخاب گاو"), {QStringLiteral("Return")}},
        {QStringLiteral("كاتالوگ اسپرم: انصراف"), {QStringLiteral("Esc")}},
    };
}

QColor TDosSperm::notFoundColour() { return QColor(0xFF, 0xF0, 0xF8); }

TDosSperm::TDosSperm(TDM& dm, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint),
      dm_(dm) {
    setObjectName(QStringLiteral("DosSperm"));
    setWindowTitle(QString());
    setLayoutDirection(Qt::RightToLeft);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFixedSize(kClientWidth + 2 * kBorder, kClientHeight + 2 * kBorder);

    // Child geometry is not mirrored by Qt, so the top row is placed from the right edge.
    const int right = kBorder + kClientWidth;
    Label1 = new QLabel(QStringLiteral("ثبت خارجي"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->adjustSize();
    Label1->move(right - Label1->width() - 2, kBorder + 4);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(Label1->x() - 6 - 121, kBorder, 121, 21);
    setSearchColour(notFoundColour());

    dxButton1 = new QPushButton(QStringLiteral("انصراف"), this);
    dxButton1->setObjectName(QStringLiteral("dxButton1"));
    dxButton1->setGeometry(kBorder, kBorder, 73, 21);
    dxButton2 = new QPushButton(QStringLiteral("قبول"), this);
    dxButton2->setObjectName(QStringLiteral("dxButton2"));
    dxButton2->setGeometry(kBorder + 73 + 8, kBorder, 73, 21);
    for (QPushButton* b : {dxButton1, dxButton2}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(kBorder, kBorder + kClientHeight - 475, kClientWidth, 475);
    model_ = new CataloguePickerModel(dm_.TDosSperm, this);
    // Sorted only when the inbreeding column is asked to be; otherwise the catalogue's own order.
    sorted_ = new QSortFilterProxyModel(this);
    sorted_->setSourceModel(model_);
    sorted_->setSortRole(Qt::UserRole);
    sorted_->setDynamicSortFilter(false);
    DBGrid1->setModel(sorted_);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Each keystroke of the search moves the grid: its cells are drawn from texts shaped once.
    DBGrid1->setItemDelegate(new LineCellDelegate(DBGrid1));
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setShowGrid(true);
    DBGrid1->setWordWrap(false);
    DBGrid1->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGrid1->horizontalHeader()->setSectionsClickable(true);
    connect(DBGrid1->horizontalHeader(), &QHeaderView::sectionClicked, this, &TDosSperm::sortByColumn);
    DBGrid1->verticalHeader()->setDefaultSectionSize(18);
    DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid1->verticalHeader()->setMinimumWidth(14);
    // Registration numbers (up to 18 characters, "HOUSAM000123456789") show whole, and every
    // title reads in full.
    const QFontMetrics metrics(DBGrid1->font());
    const int registration = metrics.horizontalAdvance(QStringLiteral("HOUSAM000123456789")) + 16;
    for (int c = 0; c < DBGrid1->model()->columnCount(); ++c) {
        const QString title = DBGrid1->model()->headerData(c, Qt::Horizontal).toString();
        const QString column = DBGrid1->model()->headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString();
        const bool holdsNumber = column.contains(QLatin1String("Reg"), Qt::CaseInsensitive) ||
                                 column.compare(QLatin1String("Name_Sp"), Qt::CaseInsensitive) == 0;
        DBGrid1->horizontalHeader()->resizeSection(
            c, std::max(metrics.horizontalAdvance(title) + 24, holdsNumber ? registration : 60));
    }
    // The selection stays visible while the search box has the focus.
    QPalette pal = DBGrid1->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    DBGrid1->setPalette(pal);

    setTabOrder(Edit1, dxButton2);
    setTabOrder(dxButton2, dxButton1);
    setTabOrder(dxButton1, DBGrid1);

    connect(dxButton2, &QPushButton::clicked, this, [this] { done(kOk); });
    connect(dxButton1, &QPushButton::clicked, this, [this] { done(kCancel); });
    connect(Edit1, &QLineEdit::textChanged, this, &TDosSperm::Edit1Change);
    // A double-click on a bull chooses it, as Enter does.
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) done(kOk);
    });
    // While typing the search, the arrow keys move along the catalogue.
    Edit1->installEventFilter(this);

    // The grid's selection is the catalogue's current row, both ways.
    CatalogueTable& table = dm_.TDosSperm;
    connect(&table, &CatalogueTable::currentChanged, this, &TDosSperm::selectCurrentRowInGrid);
    connect(&table, &CatalogueTable::rowsReset, this, [this] {
        searchStale_ = true;
        selectCurrentRowInGrid(dm_.TDosSperm.currentRow());
    });
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!syncing_ && current.isValid()) dm_.TDosSperm.setCurrentRow(sorted_->mapToSource(current).row());
            });
    connect(&table, &CatalogueTable::rowsReset, this, [this] {
        matingStale_ = true;
        if (isVisible()) showMating();
    });
    selectCurrentRowInGrid(table.currentRow());
}

TDosSperm::~TDosSperm() = default;

void TDosSperm::setSearchColour(const QColor& colour) {
    QPalette pal = Edit1->palette();
    pal.setColor(QPalette::Base, colour);
    Edit1->setPalette(pal);
}

void TDosSperm::selectCurrentRowInGrid(int row) {
    if (syncing_) return;
    syncing_ = true;
    QItemSelectionModel* selection = DBGrid1->selectionModel();
    if (row < 0 || row >= DBGrid1->model()->rowCount()) {
        selection->clear();
    } else {
        // The column the user was reading stays current.
        const QModelIndex index =
            sorted_->mapFromSource(model_->index(row, std::max(0, DBGrid1->currentIndex().column())));
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        DBGrid1->scrollTo(index);
    }
    syncing_ = false;
}

void TDosSperm::showEvent(QShowEvent* event) {
    centreOnScreen(this);
    QDialog::showEvent(event);
    FormShow();
}

void TDosSperm::FormShow() {
    // A catalogue imported elsewhere since the last showing replaces the one shown as soon as
    // it is read; the window does not wait for it. The last search text stays, unsearched; the
    // catalogue stays on its bull.
    dm_.TDosSperm.refresh();
    setSearchColour(Qt::white);
    selectCurrentRowInGrid(dm_.TDosSperm.currentRow());
    Edit1->setFocus();
    // While the window opens, so that no keystroke waits for tens of thousands of keys.
    foldSearchKeys();
    showMating();
}

void TDosSperm::setDam(const QString& damNumber) { dam_ = damNumber; }

void TDosSperm::showMating() {
    const CatalogueTable& table = dm_.TDosSperm;
    std::optional<QVector<double>> f;
    if (!pedigree::fold(dam_).isEmpty() && linkReady(dm_.Maincon) && dm_.Maincon.isOpen()) {
        if (matingStale_ || !mating_.isPrepared()) {
            const int columns = int(schema::kCatalogueColumns.size());
            matingStale_ = !mating_.prepare(dm_.Maincon, table.rowCount(), [&](int row) {
                QStringList values;
                for (int c = 0; c < columns; ++c) values << table.valueAt(row, c);
                return values;
            });
        }
        if (!matingStale_) f = mating_.forDam(dam_);
    }
    const int row = table.currentRow();
    sorted_->sort(-1);
    DBGrid1->horizontalHeader()->setSortIndicatorShown(false);
    model_->setMating(f.value_or(QVector<double>()));
    selectCurrentRowInGrid(row);
}

void TDosSperm::sortByColumn(int section) {
    QHeaderView* header = DBGrid1->horizontalHeader();
    if (section != CataloguePickerModel::kMatingColumn) {
        sorted_->sort(-1);
        header->setSortIndicatorShown(false);
    } else {
        // Least inbred first; a second click turns it round.
        const Qt::SortOrder order = header->isSortIndicatorShown() && sorted_->sortOrder() == Qt::AscendingOrder
                                        ? Qt::DescendingOrder
                                        : Qt::AscendingOrder;
        sorted_->sort(section, order);
        header->setSortIndicatorShown(true);
        header->setSortIndicator(section, order);
    }
    selectCurrentRowInGrid(dm_.TDosSperm.currentRow());
}

void TDosSperm::foldSearchKeys() {
    if (!searchStale_) return;
    const CatalogueTable& table = dm_.TDosSperm;
    const int column = CatalogueTable::columnIndex(QLatin1String(kSearchColumn));
    QStringList numbers;
    numbers.reserve(table.rowCount());
    for (int row = 0; row < table.rowCount(); ++row) numbers.append(table.valueAt(row, column));
    search_.reset(numbers);
    searchStale_ = false;
}

int TDosSperm::findRow(const QString& prefix) {
    foldSearchKeys();
    return search_.find(prefix);
}

void TDosSperm::Edit1Change(const QString& text) {
    CatalogueTable& table = dm_.TDosSperm;
    if (text.trimmed().isEmpty()) {
        setSearchColour(Qt::white);
        table.first();
        return;
    }
    const int row = findRow(text);
    if (row >= 0) {
        table.setCurrentRow(row);
        setSearchColour(Qt::white);
    } else {
        setSearchColour(notFoundColour());
    }
}

void TDosSperm::reject() {}

bool TDosSperm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            QCoreApplication::sendEvent(DBGrid1, event);
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TDosSperm::keyPressEvent(QKeyEvent* event) {
    // Enter chooses the bull shown, Escape cancels, wherever the focus is.
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        done(focusWidget() == dxButton1 ? kCancel : kOk);
        return;
    }
    if (plain && event->key() == Qt::Key_Escape) {
        done(kCancel);
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace zartav
