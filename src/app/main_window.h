#pragma once

#include "app/shortcuts_window.h"
#include "data/access/store_rights.h"
#include "data/engine/store_address.h"

#include <QList>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

class QAction;
class QFrame;
class QKeySequence;
class QLabel;
class QLineEdit;
class QMenu;
class QTabBar;
class QTableView;
class QToolButton;

namespace zartav {

class TClock;
class TDM;
class TForm3;

// The main window: the record list under its herd tabs, and the side panel with the logo, the
// maker's labels, the command bar and the clock.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(TDM& dm, QWidget* parent = nullptr);
    ~TForm1() override;

    // Controls.
    QTabBar* TabControl1 = nullptr;
    QTableView* DBGrid1 = nullptr;
    // Above the list, right-aligned: narrows it as one types (Ctrl+F; Escape clears it).
    QLineEdit* FindBox = nullptr;
    QMenu* PopupMenu1 = nullptr;
    // At the far end of the find row: the store in use, by its file or its server and database.
    QLabel* StoreLine = nullptr;
    // Over the list while the server cannot be reached; it goes once the link is back.
    QLabel* LinkLine = nullptr;
    QFrame* SidePanel = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* StaticText2 = nullptr;
    QLabel* StaticText3 = nullptr;
    QFrame* dxWinXPBar1 = nullptr;
    QList<QToolButton*> dxWinXPBar1Items;  // the eight items, top to bottom
    QFrame* OfficeBar = nullptr;           // "ابزار": the office commands, under the command bar
    QWidget* ClockPlace = nullptr;         // 93 x 143, bottom of the side panel
    TClock* Clock1 = nullptr;

    // The commands that other windows carry out. Each runs when its command is chosen; an unset
    // one makes its command do nothing. New is followed by FillTabIt, so a new herd gets its tab.
    std::function<void()> NewCommand;    // "جديد": the entry form over a new record
    std::function<void()> EditCommand;   // "اصلاح": the entry form over the current record
    std::function<void()> PrintCommand;  // "چاپ": the current record's certificate
    std::function<void()> AboutCommand;  // "...درباره": the About text on the message board
    // Ends the program; tests replace it.
    std::function<void()> ExitCommand;

    // The splash window shown during start-up (not owned).
    void setSplash(TForm3* splash) { splash_ = splash; }

    // The store the start-up opens: a Data.db path or a server URL (the Data.db of the data
    // folder when none is set).
    void setStoreAddress(const QString& address) { storeAddress_ = address; }
    QString storeAddress() const;

    // The start-up sequence; runs once, when the window is first shown. Answers false when the
    // database could not be opened (the user has been told; the list stays empty).
    bool FormShow();
    // Closes the store in use and opens the one at `address`, as the start-up does; false
    // leaves the window empty after one message.
    bool openStore(const QString& address);
    bool openStore(const StoreAddress& address);
    // The store in use, or the one the start-up would open.
    StoreAddress currentStore() const;
    // A store is being opened: the window paints meanwhile, user input waits.
    bool isOpeningStore() const { return opening_; }
    // Showing the window the first time runs the start-up.
    void setVisible(bool visible) override;
    // Rebuilds the herd tabs: "همه" and one tab per distinct non-blank herd code.
    void FillTabIt();

    // Adds an office command: an item of the "ابزار" group and of the context menu (below a
    // separator), with a keyboard shortcut for the whole window. Answers the group's item.
    // A command that needs `right` is greyed, its tooltip naming the role that may, on a store
    // where the desk's user may not take that action.
    QToolButton* addOfficeCommand(const QString& caption, const QKeySequence& shortcut,
                                  const std::function<void()>& handler,
                                  std::optional<access::Action> right = std::nullopt);
    // Greys `button` and `action` (either may be null) while the store's user may not take
    // `right`; a greyed command's tooltip says who may.
    void requireRight(QWidget* button, QAction* action, access::Action right);

    // "ID"s of the rows chosen in the list, in "ID" order, and the herd of the chosen tab
    // (none for "همه"): what the batch print prints. Rows chosen before they were read are read
    // now; nothing (the user told why) when they cannot be.
    std::optional<QList<qint64>> chosenRecordIds() const;
    std::optional<QString> chosenHerd() const;

    // Lines for the F1 window about keys of other windows (the entry form, the picker).
    void addKeyboardNotes(const QList<ShortcutLine>& lines);
    // Every key the F1 window lists: the window's commands, then the notes.
    QList<ShortcutLine> shortcutList() const;
    void showShortcuts();

    void ShowMsg(const QString& text);
    int AskYesNo(const QString& text);

public slots:
    void TabControl1Change(int index);
    void dxWinXPBar1Items0Click();  // New
    void dxWinXPBar1Items1Click();  // Edit
    void dxWinXPBar1Items2Click();  // Delete
    void dxWinXPBar1Items4Click();  // Print
    void dxWinXPBar1Items7Click();  // About
    void dxWinXPBar1Items6Click();  // Exit
    void FormActivate();

protected:
    void changeEvent(QEvent* event) override;

private:
    QFrame* buildSidePanel();
    QWidget* buildFindRow(QWidget* parent);
    void buildCommandBar(QFrame* bar);
    QFrame* buildOfficeBar(QWidget* panel);
    void buildPopupMenu();
    void showKeysBesideCaptions();
    void bindRecordList();
    void applyColumnWidths();
    // The herd code a tab stands for, exactly as stored.
    QString herdOfTab(int index) const;
    bool openStoreBy(const std::function<bool()>& connect);
    void selectRowInList(int row);
    void showTabOfFilter();
    // The store in use as a message names it: its path or its address, isolated.
    QString shownStore() const;
    // The window title and the store line, for the store just opened (or that failed to).
    void showStoreInUse(bool open);
    // Each command greyed or not for the rights the store just opened gives.
    void showRights();
    // True when the store's user may take `action`; otherwise says who may.
    bool mayTake(access::Action action);
    void rememberListPlace();
    void restoreListPlace();

    TDM& dm_;
    QString storeAddress_;
    // Where the list was before a refresh for others' work: its top row by "ID", and scrolling.
    qint64 topIdBeforeRefresh_ = 0;
    int verticalBeforeRefresh_ = 0;
    int horizontalBeforeRefresh_ = 0;
    QList<QAction*> officeCommands_;
    struct RightfulCommand {
        QWidget* button;
        QAction* action;
        access::Action right;
        QString tip;  // the tooltip while the command may be used
    };
    QList<RightfulCommand> rightful_;
    QList<ShortcutLine> keyboardNotes_;
    ShortcutsWindow* shortcutsWindow_ = nullptr;
    TForm3* splash_ = nullptr;
    bool started_ = false;
    bool opening_ = false;
    bool todayFixed_ = false;
    bool bound_ = false;
    bool syncingSelection_ = false;
};

}  // namespace zartav
