// Signature files and public key texts: any bytes give a clear answer
// without reading outside them, and what is read writes back as it was.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_rules.h"
#include "package/package_signature.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The bytes alone on the heap, so that a read past them is caught.
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string problem;
    const std::optional<PackageSignature> signature = ReadPackageSignature(bytes, &problem);
    REQUIRE(signature.has_value() == problem.empty());
    if (signature) {
        REQUIRE(signature->signedBytes.size() <= bytes.size());
        REQUIRE(bytes.compare(0, signature->signedBytes.size(), signature->signedBytes) == 0);
        // The signed lines are the only spelling of themselves when written
        // with "\n" line ends.
        if (signature->signedBytes.find('\r') == std::string::npos)
            REQUIRE(SignedLinesOf(*signature) == signature->signedBytes);
        const std::string written = SignatureFileText(signature->signedBytes, signature->signature);
        const std::optional<PackageSignature> again = ReadPackageSignature(written, nullptr);
        REQUIRE(again && again->signature == signature->signature && again->sequence == signature->sequence);
    }

    if (const std::optional<TrustedKey> key = ParsePublicKeyText(bytes)) {
        const std::optional<TrustedKey> again = ParsePublicKeyText(PublicKeyText(*key));
        REQUIRE(again && again->key.point == key->key.point && again->name == key->name);
        REQUIRE(KeyIdOf(key->key).size() == 16);
    }
    return 0;
}
