// Per-call cost of the two date conversions, and the proof that the way back takes the same
// time for every date (no day-by-day search).
#include "bar.h"
#include "dates/calendar.h"
#include "dates/date_services.h"
#include "dates/date_text.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <map>
#include <string>

namespace {

std::vector<QString> gregorianTexts;  // days spread over 1950-2050
std::vector<QString> solarTexts;      // the same days as Solar Hijri text
std::vector<QString> farSolarTexts;   // 1 Farvardin .. 29 Esfand of years 1300-3000
std::map<std::string, double> nsPerCall;

void makeInputs() {
    const qint64 first = QDate(1950, 1, 1).toJulianDay();
    for (int i = 0; i < 4096; ++i) {
        const QDate d = QDate::fromJulianDay(first + (i * 7919LL) % 36525);
        gregorianTexts.push_back(zartav::dates::formatGregorian(d));
        solarTexts.push_back(zartav::dates::formatSolar(zartav::calendar::fromGregorian(d)));
        const int year = 1300 + (i * 37) % 1700;
        farSolarTexts.push_back(zartav::dates::formatSolar({year, 1 + i % 12, 1 + i % 29}));
    }
}

void record(benchmark::State& state) { state.SetItemsProcessed(state.iterations()); }

void BM_ToFarsiDate(benchmark::State& state) {
    zartav::DateServices dates;
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(dates.ToFarsiDate(gregorianTexts[i++ & 4095]));
    }
    record(state);
}

void BM_ToEnglishDate(benchmark::State& state) {
    zartav::DateServices dates;
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(dates.ToEnglishDate(solarTexts[i++ & 4095]));
    }
    record(state);
}

void BM_ToEnglishDateYears1300To3000(benchmark::State& state) {
    zartav::DateServices dates;
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(dates.ToEnglishDate(farSolarTexts[i++ & 4095]));
    }
    record(state);
}

// Reference: the way back as a search, starting 79-89 days before the answer and stepping one
// day at a time through the forward conversion.
void BM_DayByDaySearchReference(benchmark::State& state) {
    zartav::DateServices dates;
    std::size_t i = 0;
    for (auto _ : state) {
        const QString& target = solarTexts[i++ & 4095];
        const int day = target.mid(8, 2).toInt();
        QDate start(target.left(4).toInt() + 621, target.mid(5, 2).toInt(), day >= 20 ? day - 5 : day);
        while (dates.ToFarsiDate(zartav::dates::formatGregorian(start)) != target) start = start.addDays(1);
        benchmark::DoNotOptimize(start);
    }
    record(state);
}

BENCHMARK(BM_ToFarsiDate);
BENCHMARK(BM_ToEnglishDate);
BENCHMARK(BM_ToEnglishDateYears1300To3000);
BENCHMARK(BM_DayByDaySearchReference);

// Keeps the per-call times for the bar lines.
class Reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            const std::string name = r.benchmark_name();
            const double ns = r.GetAdjustedRealTime();  // default unit: ns per iteration
            if (name == "BM_ToFarsiDate") nsPerCall["ToFarsiDate"] = ns;
            if (name == "BM_ToEnglishDate") nsPerCall["ToEnglishDate"] = ns;
            if (name == "BM_ToEnglishDateYears1300To3000") nsPerCall["ToEnglishDateFar"] = ns;
            if (name == "BM_DayByDaySearchReference") nsPerCall["Search"] = ns;
        }
    }
};

QString ns(double v) { return QString::number(v, 'f', 0) + QStringLiteral(" ns"); }

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    makeInputs();
    benchmark::Initialize(&argc, argv);
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double farsi = nsPerCall["ToFarsiDate"];
    const double english = nsPerCall["ToEnglishDate"];
    const double far = nsPerCall["ToEnglishDateFar"];
    const double search = nsPerCall["Search"];
    if (english > 0 && search > 0)
        zartav::bench::printBar(QStringLiteral("ToEnglishDate per call"), ns(english),
                                QStringLiteral("day-by-day search ") + ns(search),
                                QStringLiteral("%1x faster").arg(search / english, 0, 'f', 1),
                                english * 10 < search);
    if (english > 0 && far > 0)
        zartav::bench::printBar(QStringLiteral("ToEnglishDate constant time (years 1300-3000)"), ns(far),
                                QStringLiteral("years 1950-2050 ") + ns(english),
                                QStringLiteral("ratio %1 (bar <= 1.5)").arg(far / english, 0, 'f', 2),
                                far <= 1.5 * english);
    if (farsi > 0)
        zartav::bench::printBar(QStringLiteral("ToFarsiDate per call"), ns(farsi), QStringLiteral("-"),
                                QStringLiteral("%1 calls/s").arg(1e9 / farsi, 0, 'f', 0), true);
    return 0;
}
