#include "app/main_window.h"

#include "app/legacy_import_dialog.h"
#include "app/splash_form.h"
#include "data/tdm.h"
#include "services/ttools.h"
#include "util/app_paths.h"
#include "util/bidi_text.h"
#include "util/dialogs.h"
#include "util/ui/dialog_helpers.h"

#include <QApplication>
#include <QLabel>
#include <QProgressDialog>
#include <QTableView>

#include <memory>

// Opening a store in the main window: at start-up, or when another one is chosen.

namespace zartav {

namespace {

// The store as the title and the line under the list name it. Never a password: the address
// parts are named one by one.
struct StoreNames {
    QString shown;
    QString brief;
};

StoreNames namesOf(const StoreAddress& store, bool withUser = true) {
    if (!store.isServer()) return {QStringLiteral("فايل اطلاعات %1").arg(isolatedPath(store.filePath())), isolatedPath(store.filePath())};
    const QString host = store.host().isEmpty() ? QStringLiteral("localhost") : store.host();
    const QString place = store.port() > 0 ? QStringLiteral("%1:%2").arg(host).arg(store.port()) : host;
    QString shown = QStringLiteral("سرور اطلاعات %1، پايگاه %2").arg(isolated(place), isolated(store.database()));
    if (withUser && !store.user().isEmpty()) shown += QStringLiteral("، كاربر %1").arg(isolated(store.user()));
    return {shown, isolated(QStringLiteral("%1 @ %2").arg(store.database(), host))};
}

}  // namespace

void TForm1::setVisible(bool visible) {
    // The start-up runs once the window is on the screen, so that it paints while the store opens.
    QWidget::setVisible(visible);
    if (!visible || started_) return;
    FormShow();
    // The splash shown meanwhile stays on top; the keys are the window's, as when it came up last.
    activateWindow();
}

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
    if (const std::optional<StoreAddress> parsed = StoreAddress::parse(address)) return openStore(*parsed);
    // Not an address at all: refused at once, in the connection's words.
    return openStoreBy([&] { return dm_.Maincon.open(address); });
}

bool TForm1::openStore(const StoreAddress& address) {
    // One store at a time: the window waits on this one.
    if (opening_) return false;
    return openStoreBy([&] {
        // Across a slow link the open takes a while: the window goes on painting and says so.
        opening_ = true;
        StoreLine->setText(namesOf(address).shown + QStringLiteral(" (در حال باز شدن ...)"));
        dm_.worker().linkAhead(address);
        const bool opened = dm_.Maincon.openOffThread(address);
        opening_ = false;
        return opened;
    });
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
    showRights();
    // The list's first screen is drawn again now that it is known what it shows.
    DBGrid1->viewport()->update();
    if (!connected) {
        // The worker's link made ahead goes too.
        dm_.worker().follow();
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
    // under the list name the store.
    // Who works here, where the office's roles decide what each may do: named once, as the
    // server knows them, after the store.
    const QString who = open ? access::statusText(dm_.Maincon.rights()) : QString();
    auto [shown, brief] = namesOf(open ? dm_.Maincon.address() : currentStore(), who.isEmpty());
    if (!open) shown += QStringLiteral(" (باز نشد)");
    else if (dm_.Maincon.isReadOnly()) shown += QStringLiteral(" (فقط خواندني)");
    if (!who.isEmpty()) shown += QStringLiteral("؛ ") + who;
    StoreLine->setText(shown);
    setWindowTitle(QStringLiteral("زرتاو - ") + brief);
}

}  // namespace zartav
