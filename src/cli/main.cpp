// zartav-cli: the headless companion of the program (no windows).
#include "cli/command.h"
#include "data/engine/store_address.h"
#include "data/link/store_choice.h"
#include "util/program_info.h"
#include "util/qt_translation.h"

#include <QGuiApplication>
#include <cstdio>
#include <cstring>

namespace zartav::cli {

static std::vector<Command>& registry() {
    static std::vector<Command> all;
    return all;
}

bool registerCommand(Command command) {
    registry().push_back(std::move(command));
    return true;
}

const std::vector<Command>& commands() { return registry(); }

int usageError(const char* command, const char* line, const char* why) {
    if (why) std::fprintf(stderr, "zartav-cli %s: %s\n", command, why);
    std::fprintf(stderr, "usage: zartav-cli %s %s\n", command, line);
    return kUsage;
}

int failure(const char* command, const QString& why) {
    std::fprintf(stderr, "zartav-cli %s: %s\n", command, why.toUtf8().constData());
    return kFailed;
}

bool isServerAddress(const QString& address) {
    const std::optional<StoreAddress> parsed = StoreAddress::parse(address);
    return !parsed || parsed->isServer();
}

static const Command* findCommand(const char* name) {
    for (const Command& c : commands())
        if (std::strcmp(c.name, name) == 0) return &c;
    return nullptr;
}

static QString helpText() {
    QString text = QStringLiteral(
        "Usage: zartav-cli COMMAND [ARGUMENT]...\n"
        "  or:  zartav-cli OPTION\n"
        "Does the work of the zartav program without its windows: certificates to PDF, date\n"
        "conversion, importing a catalogue, records or a legacy Access file, exporting the\n"
        "records to a spreadsheet, copying a whole store, backing it up and restoring it.\n"
        "Every --db takes a database file or a server address (postgresql://...).\n"
        "\n"
        "Commands:\n");
    for (const Command& c : commands()) {
        text += QStringLiteral("  %1 %2\n").arg(QLatin1String(c.name), QString::fromUtf8(c.usage));
        if (*c.summary) text += QStringLiteral("      %1\n").arg(QString::fromUtf8(c.summary));
    }
    text += QStringLiteral(
        "\n"
        "Options:\n"
        "      --help     display this help and exit\n"
        "      --version  output version information and exit\n"
        "\n"
        "'zartav-cli COMMAND --help' shows the arguments of one command.\n"
        "\n"
        "Exit status:\n"
        " 0  if OK,\n"
        " 1  if the work failed (the reason is on standard error),\n"
        " 2  if the command line was wrong.\n");
    return text;
}

static int usageError(const char* what, const char* name) {
    std::fprintf(stderr, "zartav-cli: %s '%s'\n", what, name);
    const QByteArray help = helpText().toUtf8();
    std::fwrite(help.constData(), 1, size_t(help.size()), stderr);
    return kUsage;
}

// An address's password is in the process list for as long as the command runs.
static void warnOfPassword(const QStringList& arguments) {
    for (const QString& line : zartav::passwordInArgumentsWarning(arguments))
        std::fprintf(stderr, "zartav-cli: %s\n", line.toUtf8().constData());
}

}  // namespace zartav::cli

int main(int argc, char** argv) {
    using namespace zartav::cli;
    // Standard options come first; after a command, --help asks about that command.
    if (argc >= 2 && argv[1][0] == '-') {
        if (const auto status = zartav::answerHelpOrVersion(2, argv, QStringLiteral("zartav-cli"), helpText()))
            return *status;
        return usageError("unrecognized option", argv[1]);
    }
    if (argc < 2) return usageError("a command is needed", "");
    const Command* command = findCommand(argv[1]);
    if (!command) return usageError("unknown command", argv[1]);
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("Usage: zartav-cli %s %s\n%s%s", command->name, command->usage, command->summary,
                        *command->summary ? "\n" : "");
            return kOk;
        }
    }
    // Fonts and painting (certificates to PDF) need a GUI application object, never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // One settings file for the program and zartav-cli, whatever opens it.
    QGuiApplication::setOrganizationName(QString::fromLatin1(zartav::store::kSettingsOrganisation));
    QGuiApplication::setApplicationName(QString::fromLatin1(zartav::store::kSettingsApplication));
    QGuiApplication::setApplicationVersion(zartav::programVersion());
    zartav::installQtTranslation(app);
    warnOfPassword(app.arguments().mid(2));
    return command->run(app.arguments().mid(2));
}
