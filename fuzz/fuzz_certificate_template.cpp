// The certificate layout file beside the program (XML).
#include "fuzz_support.h"
#include "print/certificate_template.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zartav::fuzz::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QString error;
    const auto layout = zartav::print::parseCertificateLayout(zartav::fuzz::bytes(data, size), &error);
    if (layout) {
        // What was read writes back and reads again.
        const QByteArray again = zartav::print::serializeCertificateLayout(*layout);
        if (!zartav::print::parseCertificateLayout(again)) __builtin_trap();
    }
    return 0;
}
