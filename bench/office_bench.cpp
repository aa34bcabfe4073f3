// A desk of an office on its server, 100,000 records on it, reached as run-bench.sh reaches it (a
// relay holding the packets ZARTAV_BENCH_DELAY_MS each way when it is set: 20 is a district
// office's 40 ms round trip). The window as the program runs it, reading through its store
// worker: a herd tab, a key in the find box, New, Edit, saving a new record, and a jump deep
// into rows not read yet, each from the user's action to the screen drawn with its answer, with
// the longest stall of the window's thread meanwhile. Reference: one round trip of the link.
// The desk is a registrar of an office whose roles are set up; the whole run is made twice, with
// the record table's row-level security off and then on, and each action's median compared.
#include "app/main_window.h"
#include "bar.h"
#include "data/schema/record_schema.h"
#include "data/tdm.h"
#include "entry/ui/dos_sperm_form.h"
#include "entry/ui/entry_commands.h"
#include "entry/ui/entry_form.h"
#include "support/bench_desk.h"
#include "support/data_generator.h"
#include "support/server_database.h"
#include "support/window_timing.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSqlQuery>
#include <QTabBar>
#include <QTableView>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace {

using zartav::bench::ActionTime;
using zartav::bench::ms;
using zartav::bench::printBar;
using zartav::bench::timeAction;

constexpr int kRecords = 100000;
// The office's province and the registrar the desk logs in as; between the two runs the tables' owner
// switches the office's row-level security.
constexpr const char* kProvince = "12";
constexpr const char* kRegistrar = "bench_registrar";

struct Bar {
    const char* name;
    double bound;
    double stallBound = -1;  // -1: named only
};

// The slowest of the runs, and the longest stall among them.
struct Runs {
    std::vector<double> times;
    double stall = 0;
    int failed = 0;
    void add(const ActionTime& t) {
        if (t.ms < 0) ++failed;
        else times.push_back(t.ms);
        stall = std::max(stall, t.stallMs);
    }
    double median() const {
        std::vector<double> v = times;
        std::sort(v.begin(), v.end());
        return v.empty() ? -1 : v[v.size() / 2];
    }
    double worst() const { return times.empty() ? -1 : *std::max_element(times.begin(), times.end()); }
};

QString link() {
    const int delay = qEnvironmentVariableIntValue("ZARTAV_BENCH_DELAY_MS");
    return delay > 0 ? QStringLiteral("at a %1 ms round trip").arg(2 * delay) : QStringLiteral("over loopback");
}

// Each action's median in the run being made, by its bar's name.
using Medians = std::map<std::string, double>;

void report(const Bar& bar, const Runs& runs, const QString& reference, const QString& under, Medians& medians) {
    medians[bar.name] = runs.median();
    const bool pass = runs.failed == 0 && runs.worst() >= 0 && runs.worst() <= bar.bound &&
                      (bar.stallBound < 0 || runs.stall <= bar.stallBound);
    printBar(QStringLiteral("%1, 100,000 records on the server %2%3").arg(QString::fromUtf8(bar.name), link(), under),
             QStringLiteral("median %1, slowest %2, longest stall %3 (%4 runs%5)")
                 .arg(ms(runs.median()), ms(runs.worst()), ms(runs.stall))
                 .arg(runs.times.size())
                 .arg(runs.failed ? QStringLiteral(", %1 not shown").arg(runs.failed) : QString()),
             reference,
             bar.stallBound < 0 ? QStringLiteral("bound %1 ms").arg(bar.bound)
                                : QStringLiteral("bound %1 ms, stall %2 ms").arg(bar.bound).arg(bar.stallBound),
             pass);
}

class Office {
public:
    explicit Office(const QString& address) : form(dm), entry(dm, &form), picker(dm, &form) {
        entry.setCataloguePicker(&picker);
        form.setStoreAddress(address);
        form.resize(1280, 800);
        form.NewCommand = [&] { zartav::newRecord(entry, {}); };
        form.EditCommand = [&] { zartav::editRecord(entry, {}); };
        form.show();
        settle();
    }

    bool idle() { return dm.worker().isIdle(); }
    void settle() { zartav::bench::settle([this] { return idle(); }); }

    bool shown() { return idle() && zartav::bench::screenRead(*form.DBGrid1, dm.TVascor); }

    zartav::TDM dm{zartav::StoreWorker::Mode::Threaded};
    zartav::TForm1 form;
    zartav::TForm2 entry;
    zartav::TDosSperm picker;
};

// One round trip of the link: the smallest statement, answered.
double roundTripMs(const QString& address) {
    zartav::Connection reference;
    if (!reference.open(address)) return -1;
    return zartav::bench::medianMs([&] { QSqlQuery(reference.database()).exec(QStringLiteral("SELECT 1")); }, 15);
}

Medians measure(const QString& address, const QString& under) {
    Medians medians;
    auto report = [&](const Bar& bar, const Runs& runs, const QString& reference) {
        ::report(bar, runs, reference, under, medians);
    };
    Office office(address);
    QTabBar* tabs = office.form.TabControl1;
    QTableView* list = office.form.DBGrid1;
    zartav::RecordTable& table = office.dm.TVascor;
    // The run before this one saved records of its own.
    if (!table.isOpen() || table.rowCount() < kRecords || tabs->count() < 3) {
        std::fprintf(stderr, "office_bench: the window did not open the records\n");
        printBar(QStringLiteral("the office across a link") + under, QStringLiteral("did not open"), QStringLiteral("-"),
                 QStringLiteral("-"), false);
        return medians;
    }
    const QString reference = QStringLiteral("a round trip %1").arg(ms(roundTripMs(address)));
    QWidget* screen = list->viewport();
    auto shown = [&] { return office.shown(); };

    Runs herd;
    const int herds = tabs->count() - 1;
    for (int i = 0; i < 20; ++i) {
        herd.add(timeAction(screen, [&] { tabs->setCurrentIndex(1 + (i * 7) % herds); }, shown));
        herd.add(timeAction(screen, [&] { tabs->setCurrentIndex(0); }, shown));
    }
    report({"herd tab switch", 100}, herd, reference);

    // Each key to its narrowed list, then whole words typed at a fast clerk's pace (a key every
    // 120 ms), for each key's time and the longest stall.
    const QStringList typed = {QStringLiteral("98001234"), QStringLiteral("۴۷۱۲۰۹"), QStringLiteral("شیرین"), QStringLiteral("5678")};
    Runs key;
    for (const QString& text : typed) {
        for (int n = 1; n <= text.size(); ++n)
            key.add(timeAction(screen, [&] { office.form.FindBox->setText(text.left(n)); }, shown));
        key.add(timeAction(screen, [&] { office.form.FindBox->clear(); }, shown));
    }
    // Typed so, a key may come while the one before is still on its way: each key's time runs
    // to the list showing its rows, or those of a key after it.
    Runs typing, typedKey;
    for (const QString& text : typed) {
        int n = 0, caughtUp = 0;
        QElapsedTimer clock;
        std::vector<qint64> typedAt;
        QTimer keys;
        keys.setInterval(120);
        QObject::connect(&keys, &QTimer::timeout, [&] {
            if (n == text.size()) return;
            office.form.FindBox->setText(text.left(++n));
            typedAt.push_back(clock.nsecsElapsed());
        });
        auto allShown = [&] {
            if (caughtUp < n && !table.isViewPending() && shown())
                for (const qint64 now = clock.nsecsElapsed(); caughtUp < n; ++caughtUp)
                    typedKey.times.push_back((now - typedAt[caughtUp]) / 1e6);
            return n == text.size() && caughtUp == n;
        };
        typing.add(timeAction(
            screen,
            [&] {
                clock.start();
                keys.start();
            },
            allShown));
        typedKey.add(timeAction(screen, [&] { office.form.FindBox->clear(); }, shown));
        office.settle();
    }
    key.stall = std::max(key.stall, typing.stall);
    report({"a key in the find box to its narrowed list", 100, 30}, key, reference);
    report({"a key typed at a clerk's pace (a key every 120 ms) to its narrowed list", 100}, typedKey, reference);

    // New and Edit: to the form standing on screen, then closed.
    // The form is closed once it stands on screen (the command may wait for the store first).
    auto whenShown = [&](const std::function<void()>& then) {
        auto* poll = new QTimer(&office.entry);
        poll->setInterval(1);
        QObject::connect(poll, &QTimer::timeout, [&, poll, then] {
            if (!office.entry.isVisible()) return;
            poll->deleteLater();
            poll->stop();
            then();
        });
        poll->start();
    };
    auto opening = [&](bool isNew) {
        bool open = false;
        return timeAction(
            nullptr,
            [&] {
                whenShown([&] {
                    open = true;
                    // Closed a moment later, once the time to here has been taken.
                    QTimer::singleShot(5, office.entry.dxButton2, &QPushButton::click);
                });
                if (isNew) office.form.dxWinXPBar1Items0Click();
                else office.form.dxWinXPBar1Items1Click();
            },
            [&] { return open; });
    };
    Runs opened[2];
    for (int i = 0; i < 10; ++i) {
        table.setCurrentRow(1000 + 37 * i);
        office.settle();
        opened[0].add(opening(true));
        office.settle();
        opened[1].add(opening(false));
        office.settle();
    }
    report({"New opening", 100}, opened[0], reference);
    report({"Edit opening", 150}, opened[1], reference);

    // New, a few boxes typed, OK: to the form closed and the list showing the record saved.
    // Numbers of their own in every run, so that no save is asked about a duplicate.
    static int registration = 0;
    Runs save;
    for (int i = 0; i < 10; ++i) {
        save.add(timeAction(
            screen,
            [&] {
                whenShown([&] {
                    table.setValue(QStringLiteral("شماره ثبت"), QStringLiteral("97%1").arg(++registration, 6, 10, QChar(u'0')));
                    table.setValue(QStringLiteral("كد گله"), tabs->tabData(1).toString());
                    table.setValue(QStringLiteral("كد استان"), QString::fromLatin1(kProvince));
                    office.entry.findChild<QLineEdit*>(QStringLiteral("DBEdit10"))->setText(QStringLiteral("1404/02/03"));
                    office.entry.findChild<QLineEdit*>(QStringLiteral("DBEdit44"))->setText(QStringLiteral("1403/05/06"));
                    office.entry.dxButton1->click();
                });
                office.form.dxWinXPBar1Items0Click();
            },
            [&] { return !office.entry.isVisible() && table.state() == zartav::RecordState::Browse && shown(); }));
        office.settle();
    }
    report({"saving a new record (New, OK)", 250}, save, reference);

    // The scroll thumb dragged deep into rows not read: placeholders at once, then the rows.
    Runs placeholders, rows;
    QScrollBar* bar = list->verticalScrollBar();
    tabs->setCurrentIndex(0);
    office.settle();
    for (int i = 0; i < 10; ++i) {
        const int target = bar->maximum() * (30 + 6 * i) / 100;
        bool moved = false;
        rows.add(timeAction(
            screen,
            [&] {
                placeholders.add(timeAction(screen, [&] { bar->setValue(target); }, [&] { return moved = true; }));
            },
            shown));
        office.settle();
    }
    report({"a jump deep into unread rows: placeholders", 16}, placeholders, reference);
    report({"a jump deep into unread rows: the rows", 100}, rows, reference);
    return medians;
}


QString cliFailure(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(ZARTAV_CLI_PROGRAM), arguments);
    if (process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return {};
    return arguments.join(QLatin1Char(' ')) + QStringLiteral(": ") + QString::fromUtf8(process.readAllStandardError());
}

// The roles, one office writing kProvince and its registrar; empty when all went.
QString setUpOffice(const QString& owner) {
    for (const QStringList& command : {QStringList{QStringLiteral("roles"), QStringLiteral("--store"), owner},
                                       QStringList{QStringLiteral("office"), QStringLiteral("add"), QStringLiteral("BENCH"),
                                                   QStringLiteral("--name"), QStringLiteral("دفتر آزمون"),
                                                   QStringLiteral("--provinces"), QString::fromLatin1(kProvince),
                                                   QStringLiteral("--store"), owner},
                                       QStringList{QStringLiteral("user"), QStringLiteral("add"), QString::fromLatin1(kRegistrar),
                                                   QStringLiteral("--role"), QStringLiteral("registrar"),
                                                   QStringLiteral("--office"), QStringLiteral("BENCH"),
                                                   QStringLiteral("--store"), owner}})
        if (const QString failure = cliFailure(command); !failure.isEmpty()) return failure;
    return {};
}

bool setPolicies(const QString& owner, bool on) {
    zartav::Connection connection;
    if (!connection.open(owner)) return false;
    const QString table = QStringLiteral("\"VaskorTemp\"");
    return QSqlQuery(connection.database())
        .exec(on ? QStringLiteral("ALTER TABLE %1 ENABLE ROW LEVEL SECURITY, FORCE ROW LEVEL SECURITY").arg(table)
                 : QStringLiteral("ALTER TABLE %1 DISABLE ROW LEVEL SECURITY, NO FORCE ROW LEVEL SECURITY").arg(table));
}

// Each action's median with the policies against without: within 10 %.
void compare(const Medians& off, const Medians& on) {
    for (const auto& [name, without] : off) {
        const auto found = on.find(name);
        const double with = found == on.end() ? -1 : found->second;
        printBar(QStringLiteral("%1 with the office's row-level security against without, %2")
                     .arg(QString::fromStdString(name), link()),
                 QStringLiteral("median %1").arg(ms(with)), QStringLiteral("median %1 without").arg(ms(without)),
                 QStringLiteral("bound +10 %"), with >= 0 && without >= 0 && with <= without * 1.10);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const zartav::bench::BenchDesk desk;
    zartav::bench::ServerDatabase server(QStringLiteral("office"));
    zartav::bench::GeneratorOptions options;
    options.records = kRecords;
    QString error;
    if (!server.ok() || !zartav::bench::generateData(server.address(), options, &error)) {
        std::fprintf(stderr, "office_bench: no server data: %s\n", qPrintable(server.ok() ? error : server.error()));
        printBar(QStringLiteral("the office across a link"), QStringLiteral("no server"), QStringLiteral("-"), QStringLiteral("-"), false);
        return 0;
    }
    const QString owner = server.address();
    if (const QString failure = setUpOffice(owner); !failure.isEmpty()) {
        std::fprintf(stderr, "office_bench: the office's roles could not be set up: %s\n", qPrintable(failure));
        printBar(QStringLiteral("the office's roles"), QStringLiteral("not set up"), QStringLiteral("-"), QStringLiteral("-"), false);
        return 0;
    }
    QUrl registrar(owner);
    registrar.setUserName(QString::fromLatin1(kRegistrar));
    const QString registrarAddress = registrar.toString();
    Medians off, on;
    if (setPolicies(owner, false)) off = measure(registrarAddress, QStringLiteral(", row-level security off"));
    if (setPolicies(owner, true)) on = measure(registrarAddress, QString());
    compare(off, on);
    return 0;
}
