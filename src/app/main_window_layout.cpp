#include "app/main_window.h"

#include "app/shortcuts_window.h"
#include "data/schema/record_schema.h"
#include "data/tdm.h"
#include "entry/ui/dos_sperm_form.h"
#include "entry/ui/entry_form.h"
#include "util/bidi_text.h"
#include "util/ui/line_cell_delegate.h"
#include "util/ui/tclock.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabBar>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

// The main window's widgets: the side panel, the find row, the command bar, the menus and keys.

namespace zartav {
namespace {

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
    // What a role never may: a clerk adds, edits and deletes records not yet certified (a
    // certified one is refused at the click), and prints drafts.
    const QList<QAction*> menu = PopupMenu1->actions();
    requireRight(dxWinXPBar1Items[0], menu[0], access::Action::SaveNew);
    requireRight(dxWinXPBar1Items[1], menu[1], access::Action::EditUncertified);
    requireRight(dxWinXPBar1Items[2], menu[2], access::Action::EditUncertified);
    connect(DBGrid1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(DBGrid1->viewport()->mapToGlobal(pos)); });

    ExitCommand = [] { QCoreApplication::exit(0); };
}

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
    // A path, a server's name and a login are shown as typed, never read as markup.
    StoreLine->setTextFormat(Qt::PlainText);
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
                           // a command the desk's role may not use
                           "QToolButton:disabled { color: #A0A0A0; }"
                           "QLabel { color: #2F5F2F; font-weight: bold; border-bottom: 1px solid #8FBF8F; }")
                           .arg(bar->objectName()));
    auto* items = new QVBoxLayout(bar);
    items->setContentsMargins(4, 4, 4, 4);
    items->setSpacing(1);
    return items;
}

// The width a command's caption has on the side panel: the panel less its margins, the group's
// border and margins and the button's padding.
constexpr int kCaptionRoom = 103 - 2 * 5 - 2 * 1 - 2 * 4 - 2 * 3 - 12;

// A caption too long for one line is broken between words, never cut.
QString fittedCaption(const QString& caption, const QFontMetrics& metrics) {
    QStringList lines;
    for (const QString& word : caption.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!lines.isEmpty() && metrics.horizontalAdvance(lines.last() + QLatin1Char(' ') + word) <= kCaptionRoom)
            lines.last() += QLatin1Char(' ') + word;
        else
            lines << word;
    }
    return lines.join(QLatin1Char('\n'));
}

QToolButton* commandButton(const QString& caption, QWidget* bar) {
    auto* button = new QToolButton(bar);
    button->setText(fittedCaption(caption, button->fontMetrics()));
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
                                      const std::function<void()>& handler, std::optional<access::Action> right) {
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
    if (right) requireRight(button, action, *right);
    return button;
}

void TForm1::requireRight(QWidget* button, QAction* action, access::Action right) {
    rightful_.append({button, action, right, button ? button->toolTip() : QString()});
    showRights();
}

void TForm1::showRights() {
    const access::StoreRights& rights = dm_.Maincon.rights();
    for (const RightfulCommand& c : std::as_const(rightful_)) {
        const bool may = access::may(rights, c.right);
        if (c.action) c.action->setEnabled(may);
        if (!c.button) continue;
        c.button->setEnabled(may);
        c.button->setToolTip(may ? c.tip : access::onlyRoleText(access::leastRoleFor(c.right)));
    }
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
    QList<ShortcutLine> lines = shortcutLines(all) + keyboardNotes_;
    // The windows the list opens answer keys of their own.
    for (const auto& [command, keys] : TForm2::keyboardKeys() + TDosSperm::keyboardKeys()) {
        QStringList shown;
        for (const QString& key : keys) shown << isolated(key);
        lines << ShortcutLine{command, shown.join(QStringLiteral(" يا "))};
    }
    return lines;
}

void TForm1::showShortcuts() {
    if (!shortcutsWindow_) shortcutsWindow_ = new ShortcutsWindow(this);
    shortcutsWindow_->setLines(shortcutList());
    shortcutsWindow_->show();
    shortcutsWindow_->raise();
    shortcutsWindow_->activateWindow();
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

}  // namespace zartav
