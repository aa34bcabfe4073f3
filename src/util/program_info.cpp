#include "util/program_info.h"

#include <cstdio>
#include <cstring>

namespace zartav {

QString programVersion() { return QStringLiteral(ZARTAV_VERSION); }

QString versionText(const QString& program) {
    return QStringLiteral("%1 (Zartav) %2\n"
                          "Copyright (C) 2026 گروه پرسوگ\n"
                          "Birth certificates of Holstein calves, with Solar Hijri dates.\n")
        .arg(program, programVersion());
}

std::optional<int> answerHelpOrVersion(int argc, char** argv, const QString& program, const QString& help) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        const bool askedHelp = std::strcmp(argv[i], "--help") == 0;
        if (!askedHelp && std::strcmp(argv[i], "--version") != 0) continue;
        const QByteArray text = (askedHelp ? help : versionText(program)).toUtf8();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    return std::nullopt;
}

}  // namespace zartav
