// zartav-cli template [OUT]: writes the built-in certificate layout in the layout file's form,
// a starting point for a Center.Fr3 of one's own.
#include "cli/command.h"
#include "print/certificate_layout.h"
#include "print/certificate_template.h"

#include <QSaveFile>
#include <cstdio>

namespace {

using namespace zartav;

int run(const QStringList& args) {
    if (args.size() > 1 || (args.size() == 1 && args[0].startsWith(QLatin1String("-")) && args[0] != QLatin1String("-"))) {
        std::fprintf(stderr, "usage: zartav-cli template [OUT]\n");
        return cli::kUsage;
    }
    const QByteArray xml = print::serializeCertificateLayout(print::builtinCertificateLayout());
    if (args.isEmpty() || args[0] == QLatin1String("-")) {
        std::fwrite(xml.constData(), 1, size_t(xml.size()), stdout);
        return std::fflush(stdout) == 0 ? cli::kOk : cli::kFailed;
    }
    QSaveFile file(args[0]);
    if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size() || !file.commit()) {
        std::fprintf(stderr, "zartav-cli template: cannot write %s: %s\n", qPrintable(args[0]),
                     qPrintable(file.errorString()));
        return cli::kFailed;
    }
    return cli::kOk;
}

const bool registered = cli::registerCommand({"template", "[OUT]", run, "writes the built-in certificate layout file (standard output without OUT)"});

}  // namespace
