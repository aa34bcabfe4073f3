// zartav-cli: the headless companion of the program (no windows).
#include "cli/command.h"

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

static void printUsage() {
    std::fprintf(stderr, "usage: zartav-cli COMMAND [ARGS]\ncommands:\n");
    for (const Command& c : commands()) std::fprintf(stderr, "  %s %s\n", c.name, c.usage);
}

}  // namespace zartav::cli

int main(int argc, char** argv) {
    using namespace zartav::cli;
    if (argc < 2) {
        printUsage();
        return kUsage;
    }
    // Fonts and painting (certificates to PDF) need a GUI application object, never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(2);
    for (const Command& c : commands()) {
        if (std::strcmp(c.name, argv[1]) == 0) return c.run(args);
    }
    std::fprintf(stderr, "zartav-cli: unknown command '%s'\n", argv[1]);
    printUsage();
    return kUsage;
}
