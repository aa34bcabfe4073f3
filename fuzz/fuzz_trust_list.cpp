// A trust list as another office, a web host or a memory card hands it over.
#include "fuzz_support.h"
#include "print/certificate_verify.h"
#include "print/trust_list.h"

#include <algorithm>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zartav::fuzz::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zartav::print;
    QString error;
    const std::optional<TrustList> list = readTrustList(zartav::fuzz::bytes(data, size), &error);
    // A list read holds only whole keys, and is signed by one of them.
    if (list && (list->keys.isEmpty() || std::any_of(list->keys.cbegin(), list->keys.cend(),
                                                     [](const TrustedKey& k) { return k.publicKey.size() != 32; })))
        __builtin_trap();
    if (!list && error.isEmpty()) __builtin_trap();
    if (list) (void)verifyWithLists("ZC2:", {*list});
    return 0;
}
