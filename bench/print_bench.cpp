// One certificate with three photos to PDF, the way the CLI and the preview's "save as PDF" do it.
#include "data/schema/record_schema.h"
#include "print/certificate_layout.h"
#include "print/certificate_pdf.h"

#include "bar.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <algorithm>
#include <vector>

namespace {

using namespace zartav;

print::CertificateRecord sampleRecord() {
    print::CertificateRecord r;
    int i = 0;
    for (const char* c : schema::kRecordColumns) r.values.insert(schema::column(c), QStringLiteral("مقدار %1").arg(++i));
    r.values.insert(schema::column("تاريخ چاپ"), QStringLiteral("1403/03/01"));
    QFile photo(QStringLiteral(ZARTAV_FIXTURES "/photos/small-800x500.bmp"));
    const QByteArray bytes = photo.open(QIODevice::ReadOnly) ? photo.readAll() : QByteArray();
    for (const char* p : schema::kPhotoColumns) r.pictures.insert(schema::column(p), bytes);
    return r;
}

std::vector<double> runMs;

void BM_CertificateWithThreePhotosToPdf(benchmark::State& state) {
    const print::CertificateLayout layout = print::builtinCertificateLayout();
    print::CertificateList records({sampleRecord()});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("c.pdf"));
    print::writeCertificatesPdf(path, layout, records);  // fonts loaded once, as in a running program
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        if (print::writeCertificatesPdf(path, layout, records) != print::PrintOutcome::Done)
            state.SkipWithError("PDF not written");
        runMs.push_back(timer.nsecsElapsed() / 1e6);
    }
}
BENCHMARK(BM_CertificateWithThreePhotosToPdf)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!runMs.empty()) {
        std::sort(runMs.begin(), runMs.end());
        const double median = runMs[runMs.size() / 2];
        constexpr double kBarMs = 200;
        bench::printBar(QStringLiteral("certificate with three photos to PDF"), bench::ms(median),
                        QStringLiteral("bound ") + bench::ms(kBarMs),
                        QString::number(median / kBarMs, 'f', 2) + QStringLiteral(" of the bound"), median <= kBarMs);
    }
    return 0;
}
