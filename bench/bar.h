#pragma once

// Shared by the benchmark programs: timing helpers and the one-line report of a performance bar,
//   BAR <name> | <figure> | <reference figure> | <ratio or bound> | PASS|FAIL
// The references are measured in the same run on the same machine.

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace zartav::bench {

inline void printBar(const QString& name, const QString& figure, const QString& reference,
                     const QString& ratioOrBound, bool pass) {
    std::printf("BAR %s | %s | %s | %s | %s\n", qPrintable(name), qPrintable(figure),
                qPrintable(reference), qPrintable(ratioOrBound), pass ? "PASS" : "FAIL");
    std::fflush(stdout);
}

// Median wall time of `runs` calls, in milliseconds.
inline double medianMs(const std::function<void()>& work, int runs = 5) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Median wall time of an outside command, in milliseconds; a negative answer when it failed.
inline double commandMedianMs(const QString& program, const QStringList& args, int runs = 5) {
    bool ok = true;
    const double ms = medianMs(
        [&] {
            QProcess process;
            process.setStandardOutputFile(QProcess::nullDevice());
            process.start(program, args);
            ok = ok && process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
                 process.exitCode() == 0;
        },
        runs);
    return ok ? ms : -1.0;
}

struct Run {
    bool ok = false;
    double seconds = 0;
    double peakMb = 0;
};

// Runs a program once, its output where ours goes; its own peak resident size comes from wait4().
inline Run runProgram(const char* program, const QStringList& args) {
    QList<QByteArray> bytes{QByteArray(program)};
    for (const QString& a : args) bytes << a.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& b : bytes) argv.push_back(b.data());
    argv.push_back(nullptr);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return {};
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return {};
    Run run;
    run.seconds = timer.nsecsElapsed() / 1e9;
    run.peakMb = usage.ru_maxrss / 1024.0;  // kilobytes on Linux
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

inline QString ms(double value) { return QString::number(value, 'f', 1) + QStringLiteral(" ms"); }

}  // namespace zartav::bench
