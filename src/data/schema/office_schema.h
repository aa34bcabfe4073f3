#pragma once

// On the server: the office's desks and who works at which, and what the server itself holds
// them to. The file store has none of this: its one user is its administrator.
//
// Roles are in force on a store once "Offices" holds a row; before that every desk writes as its
// grants allow, as it always has. Once in force, a login writes only the records of its office's
// provinces ("كد استان"), and only a registrar changes or deletes a certified record, brings a
// deleted one back or issues a certificate (the guards: triggers run as the tables' owner, which
// no desk can turn off). The tables' owner, which upgrades and copies whole stores, is held to
// no province.

#include "data/engine/sql_dialect.h"
#include "data/schema/store_object.h"

#include <QList>
#include <QStringList>

namespace zartav::offices {

// "Code" TEXT PRIMARY KEY, "Name" TEXT, "Provinces" TEXT[], "FourEyes" BOOLEAN.
inline constexpr const char* kOfficeTable = "Offices";
// "UserName" TEXT PRIMARY KEY (the login), "Office" TEXT REFERENCES "Offices".
inline constexpr const char* kOfficeUserTable = "OfficeUsers";

// The guards' functions and triggers.
inline constexpr const char* kRecordGuard = "zartav_guard_records";
inline constexpr const char* kIssueGuard = "zartav_guard_issues";

// The two tables, the guards' functions and their triggers; nothing on the file.
QList<StoreObject> objects(const SqlDialect& d);

// Run after objects() are made: every login reads the two tables; row-level security on the
// records, forced on their owner too.
QStringList rowSecurityStatements();

// The guards give way while the owner copies a whole store in, and come back after; inside the
// caller's transaction. Nothing on the file, or on a store that has no guards yet.
QStringList suspendGuardStatements(const SqlDialect& d);
QStringList resumeGuardStatements(const SqlDialect& d);

// What a copy or restore onto the server says to a login that is neither the owner nor an
// administrator, in the same words as the guards.
QString copyRefusedText();

}  // namespace zartav::offices
