// zartav-cli pedigree and inbreeding: a calf's ancestors as the store and the catalogue know
// them, and the inbreeding coefficient they give it.
#include "cli/arguments.h"
#include "cli/arguments.h"
#include "cli/command.h"
#include "data/pedigree/pedigree.h"
#include "data/tdm.h"

#include <QFileInfo>
#include <cstdio>

namespace zartav::cli {
namespace {

const char* kPedigreeUsage = "--db STORE --id N [--generations G]";
const char* kInbreedingUsage = "--db STORE --id N";

struct Request {
    QString db;
    qint64 id = 0;
    int generations = 3;
};

// Nothing when the command line is wrong (reported).
std::optional<Request> parse(const QStringList& args, const char* command, const char* line, bool generations) {
    const char* lacking = "an option lacks its value";
    Arguments words = generations ? Arguments(command, line, {{"db", "STORE"}, {"id", "N"}, {"generations", "G"}}, lacking)
                                  : Arguments(command, line, {{"db", "STORE"}, {"id", "N"}}, lacking);
    if (!words.parse(args)) return words.refuse("unknown argument"), std::nullopt;
    Request a;
    a.db = words.value("db");
    bool ok = true;
    for (const QString& id : words.values("id"))
        if (ok) a.id = id.toLongLong(&ok);
    for (const QString& g : generations ? words.values("generations") : QStringList())
        if (ok) a.generations = g.toInt(&ok), ok = ok && a.generations >= 1 && a.generations <= 10;
    if (!ok) return words.usage("--id takes a whole number, --generations 1 to 10"), std::nullopt;
    if (a.db.isEmpty() || !words.isSet("id")) return words.usage("--db and --id are needed"), std::nullopt;
    return a;
}

// The record's pedigree; nothing when it cannot be read (reported).
std::optional<pedigree::Pedigree> read(const Request& a, const char* command) {
    if (!isServerAddress(a.db) && !QFileInfo(a.db).isFile()) return failure(command, QStringLiteral("no database file %1").arg(a.db)), std::nullopt;
    Connection connection;
    if (!connection.open(a.db, StoreAccess::ReadOnly))
        return failure(command, QStringLiteral("%1: %2").arg(connection.displayName(), connection.technicalError())), std::nullopt;
    const pedigree::AnimalReader reader(connection);
    pedigree::Animal root;
    QString error;
    if (!reader.record(a.id, root, &error))
        return failure(command, error.isEmpty() ? QStringLiteral("no record with ID %1").arg(a.id) : error), std::nullopt;
    std::optional<pedigree::Pedigree> p = pedigree::Pedigree::read(reader, root, &error);
    if (!p) failure(command, error);
    return p;
}

QString whereFound(const pedigree::Animal& a) {
    switch (a.source) {
    case pedigree::Source::Record: return QStringLiteral("record %1").arg(a.id);
    case pedigree::Source::Catalogue: return QStringLiteral("catalogue");
    case pedigree::Source::Number: break;
    }
    return QStringLiteral("named only");
}

int runPedigree(const QStringList& args) {
    const std::optional<Request> a = parse(args, "pedigree", kPedigreeUsage, true);
    if (!a) return kUsage;
    const std::optional<pedigree::Pedigree> p = read(*a, "pedigree");
    if (!p) return kFailed;
    for (const QString& position : pedigree::Pedigree::positions(a->generations)) {
        const int at = p->at(position);
        QStringList cells{position};
        if (at < 0) {
            cells << QString() << QString() << QStringLiteral("unknown");
        } else {
            const pedigree::Animal& a = p->node(at).animal;
            cells << a.number << a.name << whereFound(a);
        }
        std::printf("%s\n", cells.join(QLatin1Char('\t')).toUtf8().constData());
    }
    return kOk;
}

int runInbreeding(const QStringList& args) {
    const std::optional<Request> a = parse(args, "inbreeding", kInbreedingUsage, false);
    if (!a) return kUsage;
    std::optional<pedigree::Pedigree> p = read(*a, "inbreeding");
    if (!p) return kFailed;
    const int generations = pedigree::Pedigree::kCompletenessGenerations;
    std::printf("%s\npedigree %s complete over %d generations\n", pedigree::percentText(p->inbreeding()).toUtf8().constData(),
                pedigree::percentText(p->completeness(generations), 1).toUtf8().constData(), generations);
    return kOk;
}

const bool registeredPedigree = registerCommand(
    {"pedigree", kPedigreeUsage, runPedigree,
     "lists a record's ancestors (3 generations unless told), one line each: position (S, D, SS, SD, ...), "
     "registration number, name, and where it was found (a record, the catalogue, named only, unknown)"});
const bool registeredInbreeding = registerCommand(
    {"inbreeding", kInbreedingUsage, runInbreeding,
     "prints a record's inbreeding coefficient over every ancestor known (such as 12.5 %), then how complete "
     "its pedigree is over the last three generations"});

}  // namespace
}  // namespace zartav::cli
