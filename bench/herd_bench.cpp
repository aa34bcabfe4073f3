// Switching herd tabs in the main window over 1,000,000 records in a Data.db and 100,000 on the
// server over loopback: from the click to the list's first screen drawn. Reference: the same
// first screen read straight from the store (the herd's row count and its first page of listed
// columns). Over the file, also scrolling the whole list a screen at a time from its middle.
#include "app/main_window.h"
#include "bar.h"
#include "support/bench_desk.h"
#include "data/schema/record_schema.h"
#include "data/tdm.h"
#include "support/data_generator.h"
#include "support/million_store.h"
#include "support/server_database.h"
#include "support/window_timing.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QSqlQuery>
#include <QTabBar>
#include <QTableView>

#include <algorithm>
#include <cstdio>
#include <vector>


namespace {

constexpr double kServerBoundMs = 30;  // over loopback, at 100,000 records
constexpr double kFrameMs = 16;        // one frame
constexpr int kServerRecords = 100000;

double median(std::vector<double> values) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One screen down the whole list from its middle, and once more: from the scroll to the list
// drawn, as the bar `name`. Reference: the same screen read straight from the store.
void measureScroll(const QString& name, zartav::TForm1& form, zartav::TDM& dm, const QString& address,
                   int visibleRows) {
    QTableView* list = form.DBGrid1;
    QScrollBar* bar = list->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    zartav::bench::settle([&] { return dm.worker().isIdle() && zartav::bench::screenRead(*form.DBGrid1, dm.TVascor); });
    std::vector<double> times;
    for (int i = 0; i < 60; ++i) {
        times.push_back(zartav::bench::timeAction(
                            list->viewport(), [&] { bar->setValue(bar->value() + bar->pageStep()); },
                            [&] { return dm.worker().isIdle() && zartav::bench::screenRead(*form.DBGrid1, dm.TVascor); })
                            .ms);
    }
    const qint64 middleId = dm.TVascor.idAt(list->rowAt(0));
    zartav::Connection reference;
    reference.open(address);
    const zartav::SqlDialect& d = reference.dialect();
    QStringList columns{d.quote(zartav::schema::kId)};
    for (int i = 0; i < zartav::schema::kListedColumnCount; ++i) columns << d.quote(zartav::schema::kRecordColumns[i]);
    qint64 after = middleId;
    const double referenceMs = zartav::bench::medianMs(
        [&] {
            QSqlQuery page(reference.database());
            page.setForwardOnly(true);
            page.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 > ? ORDER BY %3 LIMIT %4")
                             .arg(columns.join(QStringLiteral(", ")), d.quote(zartav::schema::kRecordTable),
                                  d.quote(zartav::schema::kId))
                             .arg(visibleRows));
            page.addBindValue(after);
            page.exec();
            while (page.next()) {
                for (int c = 0; c < columns.size(); ++c) page.value(c).toString();
                after = page.value(0).toLongLong();
            }
        },
        31);
    const double screenMs = median(times);
    zartav::bench::printBar(name,
                            QStringLiteral("%1 a screen (%2 rows, worst %3)")
                                .arg(zartav::bench::ms(screenMs))
                                .arg(visibleRows)
                                .arg(zartav::bench::ms(*std::max_element(times.begin(), times.end()))),
                            QStringLiteral("the screen's rows read alone %1").arg(zartav::bench::ms(referenceMs)),
                            QStringLiteral("bound %1 ms").arg(kFrameMs), screenMs <= kFrameMs);
}

// The tab switches over the store at `address` (filled already), reported as the bar `name`;
// then, when `scrollBar` names one, the scrolling.
void measure(const QString& name, const QString& address, double boundMs, const QString& scrollBar = {}) {
    // As the program reads: through a worker of its own thread.
    zartav::TDM dm(zartav::StoreWorker::Mode::Threaded);
    zartav::TForm1 form(dm);
    form.setStoreAddress(address);
    form.resize(1280, 800);
    form.show();  // runs the start-up
    zartav::bench::settle([&] { return dm.worker().isIdle(); });
    QTabBar* tabs = form.TabControl1;
    if (!dm.TVascor.isOpen() || tabs->count() < 3) {
        std::fprintf(stderr, "herd_bench: the main window did not open the records\n");
        zartav::bench::printBar(name, QStringLiteral("did not open"), QStringLiteral("-"), QStringLiteral("-"), false);
        return;
    }

    // From the click to the first screen drawn with the herd's rows; the longest stall of the
    // window's thread meanwhile.
    double stall = 0;
    auto switchTo = [&](int index) {
        const zartav::bench::ActionTime t = zartav::bench::timeAction(
            form.DBGrid1->viewport(), [&] { tabs->setCurrentIndex(index); },
            [&] { return dm.worker().isIdle() && zartav::bench::screenRead(*form.DBGrid1, dm.TVascor); });
        stall = std::max(stall, t.stallMs);
        return t.ms;
    };
    std::vector<double> toHerd, toAll;
    const int herds = tabs->count() - 1;
    for (int i = 0; i < 30; ++i) {
        toHerd.push_back(switchTo(1 + (i * 7) % herds));
        toAll.push_back(switchTo(0));
    }
    const double herdMs = median(toHerd);
    const double allMs = median(toAll);

    // The same first screen read on a connection of its own.
    const int visibleRows = std::max(1, form.DBGrid1->viewport()->height() / form.DBGrid1->verticalHeader()->defaultSectionSize() + 1);
    zartav::Connection reference;
    reference.open(address);
    const zartav::SqlDialect& d = reference.dialect();
    QStringList columns{d.quote(zartav::schema::kId)};
    for (int i = 0; i < zartav::schema::kListedColumnCount; ++i) columns << d.quote(zartav::schema::kRecordColumns[i]);
    int herdIndex = 0;
    const double referenceMs = median([&] {
        std::vector<double> times;
        for (int i = 0; i < 30; ++i) {
            const QString herd = tabs->tabText(1 + (herdIndex++ * 7) % herds);
            times.push_back(zartav::bench::medianMs(
                [&] {
                    QSqlQuery count(reference.database());
                    count.prepare(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ?")
                                      .arg(d.quote(zartav::schema::kRecordTable), d.quote("كد گله")));
                    count.addBindValue(herd);
                    count.exec();
                    count.next();
                    QSqlQuery page(reference.database());
                    page.setForwardOnly(true);
                    page.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? ORDER BY %4 LIMIT %5")
                                     .arg(columns.join(QStringLiteral(", ")), d.quote(zartav::schema::kRecordTable),
                                          d.quote("كد گله"), d.quote(zartav::schema::kId))
                                     .arg(visibleRows));
                    page.addBindValue(herd);
                    page.exec();
                    while (page.next()) {
                        for (int c = 0; c < columns.size(); ++c) page.value(c).toString();
                    }
                },
                1));
        }
        return times;
    }());

    const double worst = std::max(herdMs, allMs);
    zartav::bench::printBar(name,
                            QStringLiteral("to a herd %1, to \"همه\" %2 (%3 herds, %4 rows a screen), longest stall %5")
                                .arg(zartav::bench::ms(herdMs), zartav::bench::ms(allMs))
                                .arg(herds)
                                .arg(visibleRows)
                                .arg(zartav::bench::ms(stall)),
                            QStringLiteral("count + first page alone %1").arg(zartav::bench::ms(referenceMs)),
                            QStringLiteral("bound %1 ms").arg(boundMs), worst <= boundMs);
    if (!scrollBar.isEmpty()) {
        tabs->setCurrentIndex(0);
        zartav::bench::settle([&] { return dm.worker().isIdle(); });
        measureScroll(scrollBar, form, dm, address, visibleRows);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const zartav::bench::BenchDesk desk;
    QString error;
    const QString million = zartav::bench::millionStore(&error);
    if (million.isEmpty()) {
        std::fprintf(stderr, "herd_bench: no million-record file: %s\n", qPrintable(error));
        return 1;
    }
    measure(QStringLiteral("herd tab switch at 1,000,000 records"), million, kFrameMs,
            QStringLiteral("scrolling the list one screen at 1,000,000 records"));

    zartav::bench::GeneratorOptions options;
    options.records = kServerRecords;
    const QString serverBar = QStringLiteral("herd tab switch at 100,000 records on the server");
    zartav::bench::ServerDatabase server(QStringLiteral("herds"));
    if (!server.ok() || !zartav::bench::generateData(server.address(), options, &error)) {
        std::fprintf(stderr, "herd_bench: no server data: %s\n", qPrintable(server.ok() ? error : server.error()));
        zartav::bench::printBar(serverBar, QStringLiteral("no server"), QStringLiteral("-"), QStringLiteral("-"), false);
    } else {
        measure(serverBar, server.address(), kServerBoundMs);
    }
    return 0;
}
