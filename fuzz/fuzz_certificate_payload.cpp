// The text of a certificate's code, as a scanner or a phone hands it over.
#include "fuzz_support.h"
#include "print/certificate_seal.h"
#include "print/certificate_verify.h"

namespace {
const zartav::print::KeySigner& key() {
    static const zartav::print::KeySigner k(zartav::print::newSigningKey());
    return k;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zartav::fuzz::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zartav::print;
    const QByteArray payload = zartav::fuzz::bytes(data, size);
    const std::optional<Seal> seal = parseSeal(payload);
    if (seal) {
        // What was read writes back, signed, and reads again as the same facts.
        const std::optional<Seal> again = parseSeal(sealPayload(seal->facts, &key(), nullptr, seal->version).toUtf8());
        if (!again || !(again->facts == seal->facts) || !sealSignatureHolds(*again, key().publicKey())) __builtin_trap();
    }
    const Verification v = verifyPayload(payload, nullptr, key().publicKey());
    if (!seal && v.verdict != Verdict::NoCode) __builtin_trap();
    return 0;
}
