#include "app/main_window.h"

#include "data/records/record_find.h"
#include "data/schema/record_schema.h"
#include "data/tdm.h"
#include "util/bidi_text.h"
#include "util/dialogs.h"

#include <QTabBar>

// The herd tabs over the record list: one a herd, and the list filtered by the tab chosen.

namespace zartav {
namespace {

const QString kAllTab = QStringLiteral("همه");
const QString kHerdColumn = QStringLiteral("كد گله");

}  // namespace

std::optional<QString> TForm1::chosenHerd() const {
    const int tab = TabControl1->currentIndex();
    if (tab <= 0) return std::nullopt;
    return herdOfTab(tab);  // the caption doubles a "&"
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

}  // namespace zartav
