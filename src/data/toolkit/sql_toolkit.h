#pragma once

#include "data/toolkit/sql_trace.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>

class QSqlTableModel;

namespace zartav {

// Hand-written SQL against the server connection: existence tests, a counting executor, a
// one-row fetch into ReturnParameters and two sums. The host program configures
// ServerConnection (driver, server, database, credentials); the toolkit only opens it when a
// call needs it. Failures are written to the error trace file; see each method for what else.
class SqlToolkit {
public:
    SqlToolkit();

    QSqlDatabase ServerConnection;
    // The values of the last fetch; holds 50 empty entries until the first one.
    QStringList ReturnParameters;
    // How many values the last fetch produced (the placeholder entry of an empty result aside).
    int ReturnParameterCount = 0;

    // True when a user table (view) of that name exists, as the server's sysobjects lists it.
    bool IsTableExist(const QString& name);
    bool IsViewExist(const QString& name);

    // A SELECT is turned into a count of its rows and the count returned; on failure the user is
    // told, the program is asked to quit and 0 returned. Any other statement is run and gives 0,
    // or -100 when it failed (silently, apart from the error trace file).
    int ExecSql(const QString& statement);

    // Runs the statement as given and keeps the first row's columns as text in
    // ReturnParameters. False when it failed; entry 0 can always be read afterwards.
    bool DoSqlAndReturnParameters(const QString& statement);

    // Sums over a table (or any row source given by its text); a blank condition selects every
    // row, no rows give 0. A failing statement throws DatabaseError.
    double SumAndMulti(const QString& dataSet, const QString& columnA, const QString& columnB,
                       const QString& condition);
    double SumAndMulti(const QSqlTableModel& dataSet, const QString& columnA, const QString& columnB,
                       const QString& condition);
    double SumOfField(const QString& dataSet, const QString& column, const QString& condition);
    double SumOfField(const QSqlTableModel& dataSet, const QString& column, const QString& condition);

    // Leaves a fresh list of 51 empty entries in `list`.
    void SetStringList(QStringList& list) const;

    // Folder of the trace files; empty means the per-user data folder.
    void setSqlTraceFolder(const QString& folder) { traceFolder_ = folder; }
    QString sqlTraceFolder() const;

    // What "ask the program to quit" does; by default the application leaves its event loop as
    // soon as control returns there.
    void setQuitRequestHandler(std::function<void()> handler) { quitRequest_ = std::move(handler); }

private:
    // Runs a counting statement and reads its column "Res"; the user is told on failure.
    int runCount(const QString& statement, const QVariantList& bindings);
    double runSum(const QString& statement);
    bool trace(sql::TraceFile file, const QString& statement) const;
    void requestQuit();

    QString traceFolder_;
    std::function<void()> quitRequest_;
};

}  // namespace zartav
