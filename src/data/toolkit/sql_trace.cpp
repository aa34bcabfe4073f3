#include "data/toolkit/sql_trace.h"

#include "util/app_paths.h"
#include "util/cp1256.h"

#include <QDir>
#include <QSaveFile>

namespace zartav::sql {

QString traceFileName(TraceFile file) {
    switch (file) {
    case TraceFile::DoSql: return QStringLiteral("Try Do Sql.Txt");
    case TraceFile::ExecSql: return QStringLiteral("Try Doing ExecSql.Txt");
    case TraceFile::ErrorLog: return QStringLiteral("SqlExecuteErrorLog.Txt");
    }
    return {};
}

QString defaultTraceFolder() {
    return paths::traceFolder();
}

bool writeTrace(const QString& folder, TraceFile file, const QString& statement) {
    if (folder.isEmpty() || !QDir().mkpath(folder)) return false;
    QSaveFile out(QDir(folder).filePath(traceFileName(file)));
    if (!out.open(QIODevice::WriteOnly)) return false;
    const QByteArray bytes = encodeCp1256(statement) + QByteArrayLiteral("\r\n");
    if (out.write(bytes) != bytes.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

}  // namespace zartav::sql
