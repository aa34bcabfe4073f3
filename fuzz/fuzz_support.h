#pragma once

// Shared pieces of the fuzz targets: one application object (image plugins, SQL drivers),
// input as text or as a file, and an in-memory database for the loaders.
#include "data/schema/store_upgrade.h"
#include "data/tdm.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QSqlDatabase>
#include <QString>
#include <QTemporaryFile>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace zartav::fuzz {

inline void startApplication() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

inline QByteArray bytes(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

inline QString text(const std::uint8_t* data, std::size_t size) { return QString::fromUtf8(bytes(data, size)); }

// The input written to a private temporary file ending in `suffix`; empty path on failure.
inline std::unique_ptr<QTemporaryFile> asFile(const QByteArray& content, const QString& suffix) {
    auto file = std::make_unique<QTemporaryFile>(QStringLiteral("/tmp/zartav-fuzz-XXXXXX") + suffix);
    if (!file->open()) return nullptr;
    file->write(content);
    file->flush();
    return file;
}

// An in-memory database with the program's tables, made on first use (after startApplication).
inline QSqlDatabase& scratchDatabase() {
    static QSqlDatabase* db = [] {
        auto* made = new QSqlDatabase(QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fuzz")));
        made->setDatabaseName(QStringLiteral(":memory:"));
        if (!made->open() || !createRecordSchema(*made)) __builtin_trap();
        return made;
    }();
    return *db;
}

}  // namespace zartav::fuzz
