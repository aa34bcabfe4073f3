#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace zartav::cli {

// Exit statuses shared by every command.
inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;

// What a command writes to standard error, and the exit status it then answers: why its command
// line is wrong (no reason: only the usage line) followed by its usage line, or why it failed.
int usageError(const char* command, const char* line, const char* why);
int failure(const char* command, const QString& why);

// Every --db takes either a database file's path or a server URL (postgresql://...).
bool isServerAddress(const QString& address);

using CommandRun = std::function<int(const QStringList& args)>;

struct Command {
    const char* name;
    const char* usage;  // one line, after the command name
    CommandRun run;
    const char* summary = "";  // what it does, one sentence for --help and the manual page
};

// Each command registers itself from its own file:
//   static const bool registered = registerCommand({"to-farsi", "[DD/MM/YYYY ...]", run, "..."});
bool registerCommand(Command command);
const std::vector<Command>& commands();

}  // namespace zartav::cli
