#pragma once

// The million-record Data.db that several benchmarks share. run-bench.sh makes it once in the
// build folder and names it in ZARTAV_BENCH_MILLION; a benchmark run on its own makes one in a
// temporary folder (a minute or two).

#include <QString>

namespace zartav::bench {

inline constexpr int kMillion = 1000000;

// The shared file's path; empty (with the reason in `error`) when there is none and none could
// be made. Benchmarks only read it: one that writes works on a copy (copyOfMillionStore).
QString millionStore(QString* error = nullptr);

// A private copy of the shared file in `folder`, for a benchmark that saves into it.
QString copyOfMillionStore(const QString& folder, QString* error = nullptr);

}  // namespace zartav::bench
