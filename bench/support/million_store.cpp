#include "support/million_store.h"

#include "support/data_generator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace zartav::bench {

QString millionStore(QString* error) {
    const QString shared = qEnvironmentVariable("ZARTAV_BENCH_MILLION");
    if (!shared.isEmpty() && QFileInfo::exists(shared)) return shared;
    static std::unique_ptr<QTemporaryDir> folder;
    static QString made;
    if (!made.isEmpty()) return made;
    folder = std::make_unique<QTemporaryDir>();
    const QString path = folder->filePath(QStringLiteral("Data.db"));
    std::fprintf(stderr, "making a %d-record Data.db for this run (run-bench.sh keeps one)\n", kMillion);
    GeneratorOptions options;
    options.records = kMillion;
    if (!folder->isValid() || !generateData(path, options, error)) return {};
    made = path;
    return made;
}

QString copyOfMillionStore(const QString& folder, QString* error) {
    const QString from = millionStore(error);
    if (from.isEmpty()) return {};
    const QString to = QDir(folder).filePath(QStringLiteral("Data.db"));
    QFile::remove(to);
    if (!QFile::copy(from, to)) {
        if (error) *error = QStringLiteral("cannot copy %1 to %2").arg(from, to);
        return {};
    }
    return to;
}

}  // namespace zartav::bench
