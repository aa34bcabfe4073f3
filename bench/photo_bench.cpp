// Photo loading: a 12-megapixel phone photo to the bitmap stream stored in a photo column,
// against djpeg and ImageMagick doing the same job on the same file in the same run.
#include "util/photo_convert.h"

#include "bar.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QTemporaryDir* workDir = nullptr;
QString photoFile;
std::vector<double> oursMs, djpegMs, convertMs;

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool makePhoto() {
    QImage wallpaper(QStringLiteral(ZARTAV_FIXTURES "/photos/wallpaper-3840x2400.jpg"));
    if (wallpaper.isNull()) return false;
    const QImage big = wallpaper.scaled(4000, 3000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    photoFile = workDir->filePath("photo-12mp.jpg");
    return big.save(photoFile, "JPEG", 92);
}

// Times one run of an external program; the benchmark is skipped when it is not installed.
void timeProcess(benchmark::State& state, const QString& program, const QStringList& args,
                 std::vector<double>& sink) {
    if (QStandardPaths::findExecutable(program).isEmpty()) {
        state.SkipWithError("not installed");
        return;
    }
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        QProcess p;
        p.start(program, args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            state.SkipWithError("reference program failed");
            return;
        }
        const double ms = double(t.nsecsElapsed()) / 1e6;
        sink.push_back(ms);
        state.SetIterationTime(ms / 1000);
    }
}

void BM_PhotoToStoredBitmap(benchmark::State& state) {
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        std::optional<QByteArray> bmp = zartav::photo::storedBitmapFromFile(photoFile);
        const double ms = double(t.nsecsElapsed()) / 1e6;
        if (!bmp) {
            state.SkipWithError("conversion failed");
            return;
        }
        benchmark::DoNotOptimize(bmp->data());
        oursMs.push_back(ms);
        state.SetIterationTime(ms / 1000);
    }
}

void BM_Djpeg(benchmark::State& state) {
    timeProcess(state, QStringLiteral("djpeg"),
                {"-scale", "1/2", "-bmp", "-outfile", workDir->filePath("djpeg.bmp"), photoFile}, djpegMs);
}

void BM_ImageMagick(benchmark::State& state) {
    timeProcess(state, QStringLiteral("convert"),
                {photoFile, "-resize", "1600x1600", workDir->filePath("convert.bmp")}, convertMs);
}

BENCHMARK(BM_PhotoToStoredBitmap)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_Djpeg)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_ImageMagick)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    workDir = &dir;
    if (!dir.isValid() || !makePhoto()) {
        std::fprintf(stderr, "photo_bench: cannot make the 12-megapixel test photo\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double ours = median(oursMs);
    const double djpeg = median(djpegMs);
    const double im = median(convertMs);
    if (ours > 0 && djpeg > 0)
        zartav::bench::printBar(QStringLiteral("photo 12MP JPEG to stored bitmap vs djpeg"), zartav::bench::ms(ours),
                                QStringLiteral("djpeg -scale 1/2 -bmp ") + zartav::bench::ms(djpeg),
                                QStringLiteral("ratio %1 (bar <= 1.5)").arg(ours / djpeg, 0, 'f', 2),
                                ours <= 1.5 * djpeg);
    if (ours > 0 && im > 0)
        zartav::bench::printBar(QStringLiteral("photo 12MP JPEG to stored bitmap vs ImageMagick"), zartav::bench::ms(ours),
                                QStringLiteral("convert -resize 1600x1600 ") + zartav::bench::ms(im),
                                QStringLiteral("%1x faster (bar >= 4)").arg(im / ours, 0, 'f', 1), im >= 4 * ours);
    return 0;
}
