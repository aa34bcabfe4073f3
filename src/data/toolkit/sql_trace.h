#pragma once

#include <QString>

// The SQL toolkit's trace files: each holds the last statement of its kind, one line ending in
// CR LF, in Windows-1256, replaced on every write.
namespace zartav::sql {

enum class TraceFile {
    DoSql,     // every fetch, before it runs
    ExecSql,   // every statement other than a SELECT, before it runs
    ErrorLog,  // every statement that failed
};

QString traceFileName(TraceFile file);

// The per-user data folder, where the trace files live unless told otherwise.
QString defaultTraceFolder();

// Writes the statement to the trace file in `folder` (created when missing). False when the file
// could not be written.
bool writeTrace(const QString& folder, TraceFile file, const QString& statement);

}  // namespace zartav::sql
