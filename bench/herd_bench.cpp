// Switching herd tabs in the main window over 100,000 records, in a Data.db and on the server over
// loopback: from the click to the list's first screen drawn. Reference: the same first screen
// read straight from the store (the herd's row count and its first page of listed columns).
#include "app/main_window.h"
#include "bar.h"
#include "data/record_schema.h"
#include "data/tdm.h"
#include "support/data_generator.h"
#include "support/server_database.h"
#include "util/app_paths.h"
#include "util/ttools.h"

#include <QApplication>
#include <QHeaderView>
#include <QSqlQuery>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

static void registerPictures() { Q_INIT_RESOURCE(zartav_assets); }

namespace {

constexpr double kBoundMs = 30;
constexpr int kRecords = 100000;

double median(std::vector<double> values) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The tab switches over the store at `address` (filled already), reported as the bar `name`.
void measure(const QString& name, const QString& address) {
    zartav::TDM dm;
    zartav::TForm1 form(dm);
    form.setStoreAddress(address);
    form.resize(1280, 800);
    form.show();  // runs the start-up
    QCoreApplication::processEvents();
    QTabBar* tabs = form.TabControl1;
    if (!dm.TVascor.isOpen() || tabs->count() < 3) {
        std::fprintf(stderr, "herd_bench: the main window did not open the records\n");
        zartav::bench::printBar(name, QStringLiteral("did not open"), QStringLiteral("-"), QStringLiteral("-"), false);
        return;
    }

    // Click and let the window handle what that posted: the list lays itself out and the window
    // repaints, which is the first screen the user sees. The list is then drawn once more on its
    // own, to show what one screen of it costs to draw.
    std::vector<double> clickMs, eventsMs, drawMs;
    auto switchTo = [&](int index) {
        QElapsedTimer timer;
        timer.start();
        tabs->setCurrentIndex(index);
        const double click = timer.nsecsElapsed() / 1e6;
        QCoreApplication::processEvents();
        const double events = timer.nsecsElapsed() / 1e6;
        form.DBGrid1->grab();
        const double total = timer.nsecsElapsed() / 1e6;
        clickMs.push_back(click);
        eventsMs.push_back(events - click);
        drawMs.push_back(total - events);
        return events;
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

    std::printf("%s: click %.1f ms, posted events and repaint %.1f ms, list drawn again alone %.1f ms (medians)\n",
                qPrintable(name), median(clickMs), median(eventsMs), median(drawMs));
    const double worst = std::max(herdMs, allMs);
    zartav::bench::printBar(name,
                            QStringLiteral("to a herd %1, to \"همه\" %2 (%3 herds, %4 rows a screen)")
                                .arg(zartav::bench::ms(herdMs), zartav::bench::ms(allMs))
                                .arg(herds)
                                .arg(visibleRows),
                            QStringLiteral("count + first page alone %1").arg(zartav::bench::ms(referenceMs)),
                            QStringLiteral("bound %1 ms").arg(kBoundMs), worst <= kBoundMs);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    registerPictures();
    QTemporaryDir programDir, userDir;
    zartav::paths::setProgramFolderForTesting(programDir.path());
    zartav::paths::setUserDataFolderForTesting(userDir.path());
    zartav::TTools tools;
    zartav::bench::GeneratorOptions options;
    options.records = kRecords;
    QString error;
    if (!programDir.isValid() || !zartav::bench::generateData(zartav::paths::databasePath(), options, &error)) {
        std::fprintf(stderr, "herd_bench: cannot generate the data: %s\n", qPrintable(error));
        return 1;
    }
    measure(QStringLiteral("herd tab switch at 100,000 records"), zartav::paths::databasePath());

    const QString serverBar = QStringLiteral("herd tab switch at 100,000 records on the server");
    zartav::bench::ServerDatabase server(QStringLiteral("herds"));
    if (!server.ok() || !zartav::bench::generateData(server.address(), options, &error)) {
        std::fprintf(stderr, "herd_bench: no server data: %s\n", qPrintable(server.ok() ? error : server.error()));
        zartav::bench::printBar(serverBar, QStringLiteral("no server"), QStringLiteral("-"), QStringLiteral("-"), false);
    } else {
        measure(serverBar, server.address());
    }
    zartav::paths::setProgramFolderForTesting(std::nullopt);
    zartav::paths::setUserDataFolderForTesting(std::nullopt);
    return 0;
}
