// zartav-gen: fills a store (a Data.db or a server URL) with made-up records for demonstrations
// and benchmarks.
//   zartav-gen --db STORE --records N [--photos [--photo-width W]] [--herds H] [--bulls B] [--seed S]
#include "support/data_generator.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Fills a database file with made-up records."));
    parser.addHelpOption();
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("Database file or server URL."), QStringLiteral("store"));
    const QCommandLineOption records(QStringLiteral("records"), QStringLiteral("Number of records."), QStringLiteral("n"),
                                     QStringLiteral("100000"));
    const QCommandLineOption photos(QStringLiteral("photos"), QStringLiteral("Three photos per record."));
    const QCommandLineOption herds(QStringLiteral("herds"), QStringLiteral("Number of herds."), QStringLiteral("n"),
                                   QStringLiteral("300"));
    const QCommandLineOption bulls(QStringLiteral("bulls"), QStringLiteral("Bulls in the catalogue."), QStringLiteral("n"),
                                   QStringLiteral("3000"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Random seed."), QStringLiteral("n"),
                                  QStringLiteral("1"));
    const QCommandLineOption photoWidth(QStringLiteral("photo-width"),
                                        QStringLiteral("Width of each photo in pixels (height: three quarters)."),
                                        QStringLiteral("px"), QStringLiteral("400"));
    parser.addOptions({db, records, photos, photoWidth, herds, bulls, seed});
    parser.process(app);
    if (!parser.isSet(db)) {
        std::fprintf(stderr, "zartav-gen: --db is required\n");
        return 2;
    }
    zartav::bench::GeneratorOptions options;
    bool ok1 = false, ok2 = false, ok3 = false, ok4 = false, ok5 = false;
    options.records = parser.value(records).toInt(&ok1);
    options.herds = parser.value(herds).toInt(&ok2);
    options.bulls = parser.value(bulls).toInt(&ok3);
    options.seed = parser.value(seed).toUInt(&ok4);
    options.photos = parser.isSet(photos);
    options.photoWidth = parser.value(photoWidth).toInt(&ok5);
    options.photoHeight = options.photoWidth * 3 / 4;
    if (!ok1 || !ok2 || !ok3 || !ok4 || !ok5 || options.records < 0 || options.photoWidth < 4) {
        std::fprintf(stderr, "zartav-gen: numbers expected\n");
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!zartav::bench::generateData(parser.value(db), options, &error)) {
        std::fprintf(stderr, "zartav-gen: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%d records written to %s in %.1f s\n", options.records, qPrintable(parser.value(db)),
                timer.elapsed() / 1000.0);
    return 0;
}
