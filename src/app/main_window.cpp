#include "app/main_window.h"

#include "app/legacy_import_dialog.h"
#include "app/shortcuts_window.h"
#include "app/splash_form.h"
#include "data/records/record_find.h"
#include "data/records/ui/record_list_model.h"
#include "data/schema/record_schema.h"
#include "data/tdm.h"
#include "util/app_paths.h"
#include "util/bidi_text.h"
#include "util/dialogs.h"
#include "util/keyboard_layout.h"
#include "services/ttools.h"
#include "util/ui/dialog_helpers.h"
#include "util/ui/line_cell_delegate.h"
#include "util/ui/tclock.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace zartav {
namespace {

const QString kAllTab = QStringLiteral("همه");
const QString kHerdColumn = QStringLiteral("كد گله");
const QString kDeleteQuestion = QStringLiteral("آيا براي حذف اطمينان داريد؟");
const QString kPanelColour = QStringLiteral("#E1FFE1");

QFont tahoma(int pixelSize = 0) {
    QFont font(QStringLiteral("Tahoma"));
    if (pixelSize > 0)
        font.setPixelSize(pixelSize);
    else
        font.setPointSize(8);
    return font;
}

// A text box keeps for itself keys the window has commands on (Ctrl+E moves to the end of a line
// on some desktops): in the find box the window's commands come first.
class WindowShortcutsFirst : public QObject {
public:
    WindowShortcutsFirst(QWidget* window, QObject* parent) : QObject(parent), window_(window) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride) return false;
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        const QList<QAction*> actions = window_->actions();
        return std::any_of(actions.cbegin(), actions.cend(), [&](const QAction* a) { return a->shortcut() == pressed; });
    }

private:
    QWidget* window_;
};

}  // namespace

TForm1::TForm1(TDM& dm, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint), dm_(dm) {
    setObjectName(QStringLiteral("Form1"));
    // The herd tabs are rebuilt from values held in memory, read again whenever let go.
    dm_.storedValues().keepAtHand({schema::kHerdColumnIndex});
    setWindowTitle(QStringLiteral("زرتاو"));
    setLayoutDirection(Qt::RightToLeft);
    setFont(tahoma());

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Right to left: the first widget of the row is the rightmost.
    SidePanel = buildSidePanel();
    layout->addWidget(SidePanel);

    auto* listSide = new QWidget(this);
    auto* listLayout = new QVBoxLayout(listSide);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(0);
    TabControl1 = new QTabBar(listSide);
    TabControl1->setObjectName(QStringLiteral("TabControl1"));
    TabControl1->setFixedHeight(22);
    TabControl1->setExpanding(false);
    TabControl1->setDrawBase(true);
    TabControl1->setUsesScrollButtons(true);
    connect(TabControl1, &QTabBar::currentChanged, this, &TForm1::TabControl1Change);
    listLayout->addWidget(TabControl1);
    listLayout->addWidget(buildFindRow(listSide));
    LinkLine = new QLabel(QStringLiteral("ارتباط با سرور قطع است؛ تلاش دوباره ..."), listSide);
    LinkLine->setObjectName(QStringLiteral("LinkLine"));
    LinkLine->setStyleSheet(QStringLiteral("QLabel { background: #FFE4E1; color: #8B0000; padding: 3px 6px; }"));
    LinkLine->hide();
    listLayout->addWidget(LinkLine);

    DBGrid1 = new QTableView(listSide);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Several rows may be chosen (Ctrl, Shift) for the batch print; the current row stays the
    // record table's current record.
    DBGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Tab goes on to the side panel's commands instead of from cell to cell.
    DBGrid1->setTabKeyNavigation(false);
    DBGrid1->setShowGrid(true);
    DBGrid1->setWordWrap(false);
    DBGrid1->setItemDelegate(new LineCellDelegate(DBGrid1));
    DBGrid1->setAlternatingRowColors(false);
    DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGrid1->horizontalHeader()->setHighlightSections(false);
    DBGrid1->horizontalHeader()->setMinimumSectionSize(20);
    DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid1->verticalHeader()->setMinimumSectionSize(16);
    DBGrid1->verticalHeader()->setDefaultSectionSize(18);
    DBGrid1->verticalHeader()->setFixedWidth(14);
    DBGrid1->verticalHeader()->setHighlightSections(false);
    // The selection stays visible when the list does not have the keyboard focus.
    QPalette palette = DBGrid1->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    DBGrid1->setPalette(palette);
    DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    listLayout->addWidget(DBGrid1, 1);
    layout->addWidget(listSide, 1);

    buildPopupMenu();
    showKeysBesideCaptions();
    connect(DBGrid1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(DBGrid1->viewport()->mapToGlobal(pos)); });

    ExitCommand = [] { QCoreApplication::exit(0); };
}

TForm1::~TForm1() = default;

QWidget* TForm1::buildFindRow(QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(4);
    // Right to left: the label first, at the right edge, then the box, then the room left over.
    layout->addWidget(new QLabel(QStringLiteral("جستجو:"), row));
    FindBox = new QLineEdit(row);
    FindBox->setObjectName(QStringLiteral("FindBox"));
    FindBox->setPlaceholderText(QStringLiteral("شماره ثبت، بدن، گوش ف، گوش پ يا نام گوساله"));
    FindBox->setClearButtonEnabled(true);
    FindBox->setFixedWidth(260);
    FindBox->installEventFilter(new WindowShortcutsFirst(this, FindBox));
    layout->addWidget(FindBox);
    // The rest of the find row, always in sight: the store in use, at the far (left) end. A long
    // path is cut rather than widening the window.
    StoreLine = new QLabel(row);
    StoreLine->setObjectName(QStringLiteral("StoreLine"));
    StoreLine->setStyleSheet(QStringLiteral("QLabel { color: #2F5F2F; padding: 0 6px; }"));
    StoreLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    StoreLine->setAlignment(Qt::AlignLeft | Qt::AlignAbsolute | Qt::AlignVCenter);
    StoreLine->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(StoreLine, 1);
    connect(FindBox, &QLineEdit::textChanged, this, [this](const QString& text) {
        // Rows that cannot be read leave the list as it was; the table says why.
        if (dm_.TVascor.isOpen()) dm_.TVascor.setFind(text);
    });
    auto* focus = new QAction(QStringLiteral("جستجو"), this);
    focus->setShortcut(QKeySequence::Find);
    focus->setShortcutContext(Qt::WindowShortcut);
    connect(focus, &QAction::triggered, this, [this] {
        FindBox->setFocus(Qt::ShortcutFocusReason);
        FindBox->selectAll();
    });
    addAction(focus);
    auto* clear = new QAction(QStringLiteral("پاك كردن جستجو"), FindBox);
    clear->setShortcut(Qt::Key_Escape);
    clear->setShortcutContext(Qt::WidgetShortcut);
    connect(clear, &QAction::triggered, FindBox, &QLineEdit::clear);
    FindBox->addAction(clear);
    return row;
}

QFrame* TForm1::buildSidePanel() {
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("SidePanel"));
    panel->setFixedWidth(103);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, QColor(kPanelColour));
    panel->setPalette(palette);

    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(5, 5, 5, 5);
    column->setSpacing(0);

    Image1 = new QLabel(panel);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(93, 48);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(QPixmap(QStringLiteral(":/assets/logo.png")).scaled(93, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    column->addWidget(Image1, 0, Qt::AlignHCenter);
    column->addSpacing(11);

    const QString labelStyle = QStringLiteral(
        "QLabel { background: #FFFFF2; border: 1px solid #A0A0A0; %1 padding: 2px; }");
    StaticText2 = new QLabel(QStringLiteral("گروه پرسوگ"), panel);
    StaticText2->setObjectName(QStringLiteral("StaticText2"));
    StaticText2->setAlignment(Qt::AlignCenter);
    StaticText2->setFont(tahoma(12));
    StaticText2->setStyleSheet(labelStyle.arg(QStringLiteral("border-bottom: none;")));
    column->addWidget(StaticText2);

    StaticText3 = new QLabel(QStringLiteral("نرم افزار زرتاو"), panel);
    StaticText3->setObjectName(QStringLiteral("StaticText3"));
    StaticText3->setAlignment(Qt::AlignCenter);
    StaticText3->setFont(tahoma(12));
    StaticText3->setStyleSheet(labelStyle.arg(QStringLiteral("border-top: none;")));
    column->addWidget(StaticText3);
    column->addSpacing(8);

    dxWinXPBar1 = new QFrame(panel);
    dxWinXPBar1->setObjectName(QStringLiteral("dxWinXPBar1"));
    buildCommandBar(dxWinXPBar1);
    column->addWidget(dxWinXPBar1);
    column->addSpacing(6);
    OfficeBar = buildOfficeBar(panel);
    column->addWidget(OfficeBar);
    column->addStretch(1);

    ClockPlace = new QWidget(panel);
    ClockPlace->setObjectName(QStringLiteral("ClockPlace"));
    ClockPlace->setFixedSize(93, 143);
    auto* clockLayout = new QVBoxLayout(ClockPlace);
    clockLayout->setContentsMargins(0, 0, 0, 0);
    Clock1 = new TClock(ClockPlace);
    Clock1->setObjectName(QStringLiteral("Clock1"));
    Clock1->setClkFaceColor(QColor(kPanelColour));
    Clock1->setSecArrow(true);
    clockLayout->addWidget(Clock1);
    column->addWidget(ClockPlace, 0, Qt::AlignHCenter);
    return panel;
}

namespace {

// Both command groups of the side panel look the same: white items on a green-edged card.
QVBoxLayout* styleCommandGroup(QFrame* bar) {
    bar->setStyleSheet(QStringLiteral(
                           "QFrame#%1 { background: white; border: 1px solid #8FBF8F; border-radius: 3px; }"
                           "QToolButton { border: none; padding: 3px; color: #1F3F7F; }"
                           "QToolButton:hover:enabled { color: #0000FF; text-decoration: underline; }"
                           "QLabel { color: #2F5F2F; font-weight: bold; border-bottom: 1px solid #8FBF8F; }")
                           .arg(bar->objectName()));
    auto* items = new QVBoxLayout(bar);
    items->setContentsMargins(4, 4, 4, 4);
    items->setSpacing(1);
    return items;
}

QToolButton* commandButton(const QString& caption, QWidget* bar) {
    auto* button = new QToolButton(bar);
    button->setText(caption);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

}  // namespace

QFrame* TForm1::buildOfficeBar(QWidget* panel) {
    auto* bar = new QFrame(panel);
    bar->setObjectName(QStringLiteral("OfficeBar"));
    QVBoxLayout* items = styleCommandGroup(bar);
    auto* title = new QLabel(QStringLiteral("ابزار"), bar);
    title->setAlignment(Qt::AlignCenter);
    items->addWidget(title);
    bar->hide();  // until the first office command joins it
    return bar;
}

QToolButton* TForm1::addOfficeCommand(const QString& caption, const QKeySequence& shortcut,
                                      const std::function<void()>& handler) {
    QToolButton* button = commandButton(caption, OfficeBar);
    OfficeBar->layout()->addWidget(button);
    OfficeBar->show();
    if (officeCommands_.isEmpty()) PopupMenu1->addSeparator();
    QAction* action = PopupMenu1->addAction(caption);
    // The shortcut lives on the window, so it works wherever the focus is inside it.
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        button->setToolTip(shortcut.toString(QKeySequence::NativeText));
    }
    connect(action, &QAction::triggered, this, [handler] { handler(); });
    connect(button, &QToolButton::clicked, action, &QAction::trigger);
    officeCommands_ << action;
    return button;
}

void TForm1::buildCommandBar(QFrame* bar) {
    QVBoxLayout* items = styleCommandGroup(bar);
    struct Item {
        const char* caption;
        void (TForm1::*handler)();
    };
    const Item table[] = {
        {"جديد", &TForm1::dxWinXPBar1Items0Click},
        {"اصلاح", &TForm1::dxWinXPBar1Items1Click},
        {"حذف", &TForm1::dxWinXPBar1Items2Click},
        {"", nullptr},
        {"چاپ", &TForm1::dxWinXPBar1Items4Click},
        {"", nullptr},
        {"...درباره", &TForm1::dxWinXPBar1Items7Click},
        {"خروج", &TForm1::dxWinXPBar1Items6Click},
    };
    for (const Item& item : table) {
        QToolButton* button = commandButton(QString::fromUtf8(item.caption), bar);
        if (item.handler) {
            connect(button, &QToolButton::clicked, this, item.handler);
        } else {
            button->setEnabled(false);  // a spacer
        }
        items->addWidget(button);
        dxWinXPBar1Items << button;
    }
}

void TForm1::buildPopupMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setLayoutDirection(Qt::RightToLeft);
    // The menu shows each command's key beside its caption. Insert, Ctrl+N and F2 work anywhere
    // in the window; Enter and Delete only in the list, where they cannot be meant for a box.
    const auto command = [this](const QString& caption, void (TForm1::*handler)(), const QList<QKeySequence>& keys,
                                QWidget* owner) {
        QAction* action = PopupMenu1->addAction(caption, this, handler);
        action->setShortcuts(keys);
        action->setShortcutContext(owner == this ? Qt::WindowShortcut : Qt::WidgetShortcut);
        owner->addAction(action);
        return action;
    };
    command(QStringLiteral("جديد"), &TForm1::dxWinXPBar1Items0Click,
            {QKeySequence(Qt::Key_Insert), QKeySequence(QKeySequence::New)}, this);
    command(QStringLiteral("اصلاح"), &TForm1::dxWinXPBar1Items1Click, {QKeySequence(Qt::Key_F2)}, this);
    command(QStringLiteral("حذف"), &TForm1::dxWinXPBar1Items2Click, {QKeySequence(QKeySequence::Delete)}, DBGrid1);
    PopupMenu1->addSeparator();
    command(QStringLiteral("چاپ"), &TForm1::dxWinXPBar1Items4Click, {QKeySequence(QKeySequence::Print)}, this);

    auto* enter = new QAction(QStringLiteral("اصلاح"), DBGrid1);
    enter->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    enter->setShortcutContext(Qt::WidgetShortcut);
    connect(enter, &QAction::triggered, this, &TForm1::dxWinXPBar1Items1Click);
    DBGrid1->addAction(enter);

    auto* help = new QAction(QStringLiteral("فهرست كليدها"), this);
    help->setShortcut(QKeySequence::HelpContents);
    help->setShortcutContext(Qt::WindowShortcut);
    connect(help, &QAction::triggered, this, &TForm1::showShortcuts);
    addAction(help);
}

void TForm1::showKeysBesideCaptions() {
    const QList<QAction*> menu = PopupMenu1->actions();
    // Bar items 0, 1, 2 and 4 are the menu's first, second, third and fifth entries.
    const std::pair<int, int> items[] = {{0, 0}, {1, 1}, {2, 2}, {4, 4}};
    for (const auto& [item, entry] : items) {
        QToolButton* button = dxWinXPBar1Items[item];
        // As the keys are labelled on the keyboard; the caption is centred in the room left beside it.
        auto* key = new QLabel(menu[entry]->shortcut().toString(QKeySequence::PortableText), button);
        key->setObjectName(QStringLiteral("KeyBesideCaption"));
        key->setStyleSheet(QStringLiteral("QLabel { color: #7F7F7F; border: none; font-weight: normal; }"));
        key->setAttribute(Qt::WA_TransparentForMouseEvents);
        auto* row = new QHBoxLayout(button);
        row->setContentsMargins(2, 0, 2, 0);
        // Right to left: the caption is centred, the key sits at the far (left) end.
        row->addStretch(1);
        row->addWidget(key);
        button->setStyleSheet(QStringLiteral("QToolButton { padding-left: %1px; }").arg(key->sizeHint().width() + 4));
    }
}

void TForm1::addKeyboardNotes(const QList<ShortcutLine>& lines) { keyboardNotes_ << lines; }

QList<ShortcutLine> TForm1::shortcutList() const {
    QList<QAction*> all = actions();
    all << DBGrid1->actions() << FindBox->actions();
    return shortcutLines(all) + keyboardNotes_;
}

void TForm1::showShortcuts() {
    if (!shortcutsWindow_) shortcutsWindow_ = new ShortcutsWindow(this);
    shortcutsWindow_->setLines(shortcutList());
    shortcutsWindow_->show();
    shortcutsWindow_->raise();
    shortcutsWindow_->activateWindow();
}

void TForm1::bindRecordList() {
    if (bound_) return;
    bound_ = true;
    // The list's model, "DVascor" as the program knows it.
    auto* list = new RecordListModel(dm_.TVascor, DBGrid1);
    list->setObjectName(QStringLiteral("DVascor"));
    DBGrid1->setModel(list);
    applyColumnWidths();
    // The list's selection is the record table's current record, both ways.
    auto follow = [this](int row) {
        if (syncingSelection_ || row < 0 || row == dm_.TVascor.currentRow()) return;
        if (!dm_.TVascor.setCurrentRow(row)) selectRowInList(dm_.TVascor.currentRow());
    };
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [follow](const QModelIndex& current) { follow(current.isValid() ? current.row() : -1); });
    connect(&dm_.TVascor, &RecordTable::currentChanged, this, &TForm1::selectRowInList);
    // Others' work: the list keeps its current record, selection and scrolling; the tabs follow.
    connect(&dm_.TVascor, &RecordTable::aboutToRefresh, this, &TForm1::rememberListPlace);
    connect(&dm_.TVascor, &RecordTable::refreshed, this, [this] {
        FillTabIt();
        restoreListPlace();
    });
    connect(&dm_.TVascor, &RecordTable::readFailed, this, [](const QString& text) { showError(text); });
    // A tab or a find whose rows could not be read: the strip shows the rows the list shows.
    connect(&dm_.TVascor, &RecordTable::viewRefused, this, &TForm1::showTabOfFilter);
    connect(&dm_.worker(), &StoreWorker::linkLost, LinkLine, &QWidget::show);
    connect(&dm_.worker(), &StoreWorker::linkBack, LinkLine, &QWidget::hide);
}

void TForm1::rememberListPlace() {
    topIdBeforeRefresh_ = dm_.TVascor.idAt(DBGrid1->rowAt(0));
    dm_.TVascor.keepInView(topIdBeforeRefresh_);
    verticalBeforeRefresh_ = DBGrid1->verticalScrollBar()->value();
    horizontalBeforeRefresh_ = DBGrid1->horizontalScrollBar()->value();
}

void TForm1::restoreListPlace() {
    const int top = topIdBeforeRefresh_ > 0 ? dm_.TVascor.rowOfId(topIdBeforeRefresh_) : -1;
    if (top >= 0) {
        DBGrid1->scrollTo(DBGrid1->model()->index(top, 0), QAbstractItemView::PositionAtTop);
    } else {
        DBGrid1->verticalScrollBar()->setValue(verticalBeforeRefresh_);
    }
    DBGrid1->horizontalScrollBar()->setValue(horizontalBeforeRefresh_);
}

std::optional<QList<qint64>> TForm1::chosenRecordIds() const {
    QList<qint64> ids;
    if (!DBGrid1->selectionModel()) return ids;
    for (const QItemSelectionRange& range : DBGrid1->selectionModel()->selection()) {
        QString why;
        const std::optional<QList<qint64>> rows = dm_.TVascor.idsOfRows(range.top(), range.bottom(), &why);
        if (!rows) {
            showError(withEngineWords(QStringLiteral("ركوردهاي انتخاب شده از %1 خوانده نشد.").arg(storeNoun(dm_.Maincon)), why));
            return std::nullopt;
        }
        ids << *rows;
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

std::optional<QString> TForm1::chosenHerd() const {
    const int tab = TabControl1->currentIndex();
    if (tab <= 0) return std::nullopt;
    return herdOfTab(tab);  // the caption doubles a "&"
}

void TForm1::selectRowInList(int row) {
    if (!DBGrid1->model()) return;
    // The list moved the record itself (a click, Ctrl or Shift with it): the rows chosen stay.
    if (row >= 0 && DBGrid1->currentIndex().row() == row) return;
    syncingSelection_ = true;
    if (row < 0) {
        DBGrid1->selectionModel()->clear();
    } else {
        const QModelIndex index = DBGrid1->model()->index(row, std::max(0, DBGrid1->currentIndex().column()));
        DBGrid1->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        DBGrid1->scrollTo(index);
    }
    syncingSelection_ = false;
}

void TForm1::applyColumnWidths() {
    struct Width {
        const char* column;
        int pixels;
    };
    static const Width widths[] = {
        {"كد استان", 56}, {"نام استان", 69}, {"كد گله", 48}, {"نام شهرستان", 106},
        {"گوش ف", 50},    {"HFگوساله", 53},  {"نحوه تولد", 61}, {"جنس گوساله", 92},
        {"وزن", 40},      {"نوع باروري", 94},
    };
    QHeaderView* header = DBGrid1->horizontalHeader();
    const QFontMetrics metrics(header->font());
    for (int i = 0; i < schema::kListedColumnCount; ++i) {
        const QString title = QString::fromUtf8(schema::kRecordColumns[i]);
        // The other columns fit their title and a date, the longest short value they hold.
        int width = std::max({84, metrics.horizontalAdvance(title) + 16,
                              metrics.horizontalAdvance(QStringLiteral("0000/00/00")) + 20});
        for (const Width& w : widths) {
            if (title == QString::fromUtf8(w.column)) width = w.pixels;
        }
        header->resizeSection(i, width);
    }
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!started_) FormShow();
}

void TForm1::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
    QWidget::changeEvent(event);
}

void TForm1::FormActivate() { activateKeyboardLayout(QString::fromLatin1(kPersianLayout)); }

QString TForm1::storeAddress() const {
    return storeAddress_.isEmpty() ? paths::databasePath() : storeAddress_;
}

QString TForm1::shownStore() const {
    return dm_.Maincon.isServer() ? isolated(dm_.Maincon.displayName()) : isolatedPath(dm_.Maincon.address().filePath());
}

bool TForm1::FormShow() {
    if (started_) return dm_.Maincon.isOpen();
    started_ = true;
    bindRecordList();

    const QString address = storeAddress();
    // An office moving over from the old program: its Access file comes in before the first
    // connection creates an empty database.
    if (address == paths::databasePath()) importLegacyDatabaseIfPresent(this, paths::legacyDatabasePath(), address);
    if (!openStore(address)) return false;
    if (splash_) splash_->show();
    return true;
}

StoreAddress TForm1::currentStore() const {
    if (dm_.Maincon.isOpen()) return dm_.Maincon.address();
    return StoreAddress::parse(storeAddress()).value_or(StoreAddress::file(paths::databasePath()));
}

bool TForm1::openStore(const QString& address) {
    return openStoreBy([&] { return dm_.Maincon.open(address); });
}

bool TForm1::openStore(const StoreAddress& address) {
    return openStoreBy([&] { return dm_.Maincon.open(address); });
}

bool TForm1::openStoreBy(const std::function<bool()>& connect) {
    dm_.QAsk.close();
    dm_.TDosSperm.close();
    dm_.TVascor.close();
    dm_.Maincon.close();
    dm_.Maincon.setPasswordPrompt([](const QString& prompt) -> std::optional<QString> {
        QString password;
        if (!TTools::instance().PassInQuery(prompt, password)) return std::nullopt;
        return password;
    });
    // A long first step (indexes built on a store from an earlier version) says so instead of
    // leaving a window that seems to hang.
    std::unique_ptr<QProgressDialog> busy;
    dm_.Maincon.setLongStepNotice([&](const QString& text) {
        busy = progressWindow(QStringLiteral("آماده سازي جستجو"), text, QString(), 0, this);
        busy->show();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    const bool connected = connect();
    dm_.Maincon.setLongStepNotice({});
    busy.reset();
    showStoreInUse(connected);
    if (!connected) {
        showError(dm_.Maincon.errorText());
        FillTabIt();
        return false;
    }

    // Today is fixed once, by the first store the program opens.
    if (!todayFixed_) {
        TTools::instance().InitToday();
        todayFixed_ = true;
    }

    if (!dm_.TVascor.open() || !dm_.TDosSperm.open()) {
        const QString reason = !dm_.TVascor.errorText().isEmpty() ? dm_.TVascor.errorText() : dm_.TDosSperm.errorText();
        showError(withEngineWords(QStringLiteral("جدولهاي %1 باز نشد:\n%2").arg(storeNoun(dm_.Maincon), shownStore()), reason));
        dm_.TVascor.close();
        dm_.TDosSperm.close();
        FillTabIt();
        return false;
    }

    // Warned before anything is typed: a save into this store would fail and drop the record.
    if (dm_.Maincon.isReadOnly())
        ShowMsg(QStringLiteral("%1 زير فقط خواندني است؛ اطلاعات را مي توان ديد و چاپ كرد "
                               "ولي اطلاعات تازه در آن ذخيره نمي شود:\n%2")
                    .arg(storeNoun(dm_.Maincon),
                         shownStore()));
    FillTabIt();
    return true;
}

void TForm1::showStoreInUse(bool open) {
    // Two desks, one on a file and one on a server, must not look alike: the title and the line
    // under the list name the store. Never a password: the address parts are named one by one.
    const StoreAddress store = open ? dm_.Maincon.address() : currentStore();
    QString shown;
    QString brief;
    if (store.isServer()) {
        const QString host = store.host().isEmpty() ? QStringLiteral("localhost") : store.host();
        const QString place = store.port() > 0 ? QStringLiteral("%1:%2").arg(host).arg(store.port()) : host;
        shown = QStringLiteral("سرور اطلاعات %1، پايگاه %2").arg(isolated(place), isolated(store.database()));
        if (!store.user().isEmpty()) shown += QStringLiteral("، كاربر %1").arg(isolated(store.user()));
        brief = isolated(QStringLiteral("%1 @ %2").arg(store.database(), host));
    } else {
        shown = QStringLiteral("فايل اطلاعات %1").arg(isolatedPath(store.filePath()));
        brief = isolatedPath(store.filePath());
    }
    if (!open) shown += QStringLiteral(" (باز نشد)");
    else if (dm_.Maincon.isReadOnly()) shown += QStringLiteral(" (فقط خواندني)");
    StoreLine->setText(shown);
    setWindowTitle(QStringLiteral("زرتاو - ") + brief);
}

QString TForm1::herdOfTab(int index) const { return TabControl1->tabData(index).toString(); }

void TForm1::FillTabIt() {
    // Without an open table (a failed start, a store closed) there are no herds to show and
    // nothing to say.
    if (!dm_.TVascor.isOpen()) {
        const QSignalBlocker blocker(TabControl1);
        while (TabControl1->count() > 0) TabControl1->removeTab(TabControl1->count() - 1);
        return;
    }
    // With a worker of its own thread the herds not held yet arrive later, and the tabs with them.
    StoredValues& values = dm_.storedValues();
    if (dm_.worker().mode() == StoreWorker::Mode::Threaded && !values.find(schema::kHerdColumnIndex)) {
        values.prefetch({schema::kHerdColumnIndex}, [this, &values] {
            if (values.find(schema::kHerdColumnIndex)) FillTabIt();
        });
        return;
    }
    QStringList stored;
    QString why;
    if (!dm_.FillStoredValues(kHerdColumn, stored, &why)) {
        showError(withEngineWords(QStringLiteral("فهرست گله ها خوانده نشد."), why));
        return;
    }
    // One tab a herd, whatever digits its code was typed in; the herd filter folds alike.
    const QStringList herds = find::foldedValues(stored);
    // The same herds as shown: nothing to rebuild (hundreds of tabs take a while to lay out).
    if (TabControl1->count() == herds.size() + 1) {
        bool same = true;
        for (int i = 0; same && i < herds.size(); ++i) same = herdOfTab(i + 1) == herds[i];
        if (same) return;
    }
    // Rebuilding changes no filter; the tab of the herd in force stays chosen when it is still
    // there, so the strip agrees with the list.
    const bool herdChosen = TabControl1->currentIndex() > 0;
    const QString chosen = herdChosen ? herdOfTab(TabControl1->currentIndex()) : QString();
    bool chosenKept = false;
    {
        const QSignalBlocker blocker(TabControl1);
        while (TabControl1->count() > 0) TabControl1->removeTab(TabControl1->count() - 1);
        TabControl1->addTab(kAllTab);
        for (const QString& herd : std::as_const(herds)) {
            // The caption shows the code as the filter compares it: a "&" is not a shortcut mark.
            const int index = TabControl1->addTab(QString(herd).replace(QLatin1Char('&'), QStringLiteral("&&")));
            TabControl1->setTabData(index, herd);
            if (herdChosen && herd == chosen) {
                TabControl1->setCurrentIndex(index);
                chosenKept = true;
            }
        }
    }
    // The chosen herd has no records left, so no tab: the strip shows "همه", and so does the list.
    if (herdChosen && !chosenKept) TabControl1Change(0);
}

void TForm1::TabControl1Change(int index) {
    RecordTable& table = dm_.TVascor;
    if (!table.isOpen()) return;
    // The herd code is bound as text, so codes that are not numbers (and ones with blanks)
    // select exactly their own records. Rows that cannot be read leave the list as it was
    // (the table says why), and the strip goes back to the tab it shows.
    const bool applied = index <= 0 ? table.setFiltered(false)
                                    : table.setFilter(kHerdColumn, herdOfTab(index)) &&
                                          (table.isFiltered() || table.setFiltered(true));
    if (!applied) showTabOfFilter();
}

void TForm1::showTabOfFilter() {
    const RecordTable& table = dm_.TVascor;
    int shown = 0;
    for (int i = 1; table.isFiltered() && i < TabControl1->count(); ++i) {
        if (herdOfTab(i) == table.filterValue().toString()) shown = i;
    }
    const QSignalBlocker blocker(TabControl1);
    TabControl1->setCurrentIndex(shown);
}

void TForm1::dxWinXPBar1Items0Click() {
    if (!dm_.TVascor.isOpen()) {
        ShowMsg(QStringLiteral("%1 باز نيست؛ ركوردي را نمي توان افزود.").arg(storeNoun(dm_.Maincon)));
        return;
    }
    if (!NewCommand) return;
    NewCommand();
    FillTabIt();
}

void TForm1::dxWinXPBar1Items1Click() {
    if (!EditCommand) return;
    EditCommand();
    // An edit may give a herd its first record or take its last one.
    FillTabIt();
}

void TForm1::dxWinXPBar1Items2Click() {
    RecordTable& table = dm_.TVascor;
    if (table.isEmpty()) return;
    if (AskYesNo(kDeleteQuestion) != kAnswerYes) return;
    if (!table.remove()) {
        showError(withEngineWords(QStringLiteral("حذف انجام نشد؛ ركورد در %1 باقي ماند.").arg(storeNoun(dm_.Maincon)), table.errorText()));
        return;
    }
    // The herd's last record takes its tab with it.
    FillTabIt();
}

void TForm1::dxWinXPBar1Items4Click() {
    if (PrintCommand) PrintCommand();
}

void TForm1::dxWinXPBar1Items7Click() {
    if (AboutCommand) AboutCommand();
}

void TForm1::dxWinXPBar1Items6Click() {
    if (ExitCommand) ExitCommand();
}

void TForm1::ShowMsg(const QString& text) { showMessage(text); }

int TForm1::AskYesNo(const QString& text) { return askYesNo(text); }

}  // namespace zartav
