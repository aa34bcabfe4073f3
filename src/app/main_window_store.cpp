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

#include <memory>

// Opening a store in the main window: at start-up, or when another one is chosen.

namespace zartav {

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!started_) FormShow();
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

}  // namespace zartav
