// zartav-cli template [OUT]: writes the built-in certificate layout in the layout file's form,
// a starting point for a Center.Fr3 of one's own.
#include "cli/arguments.h"
#include "cli/command.h"
#include "print/certificate_layout.h"
#include "print/certificate_template.h"

#include <QSaveFile>
#include <cstdio>

namespace {

using namespace zartav;

const char* kUsageLine = "[OUT]";

int run(const QStringList& args) {
    cli::Arguments line("template", kUsageLine, {});
    if (!line.parse(args, 1)) return line.usage();
    const QString out = line.words().value(0, QStringLiteral("-"));
    const QByteArray xml = print::serializeCertificateLayout(print::builtinCertificateLayout());
    if (out == QLatin1String("-")) {
        std::fwrite(xml.constData(), 1, size_t(xml.size()), stdout);
        return std::fflush(stdout) == 0 ? cli::kOk : cli::kFailed;
    }
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size() || !file.commit()) {
        std::fprintf(stderr, "zartav-cli template: cannot write %s: %s\n", qPrintable(out),
                     qPrintable(file.errorString()));
        return cli::kFailed;
    }
    return cli::kOk;
}

const bool registered = cli::registerCommand({"template", kUsageLine, run, "writes the built-in certificate layout file (standard output without OUT)"});

}  // namespace
