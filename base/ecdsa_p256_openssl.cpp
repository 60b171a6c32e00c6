#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <memory>
#include <vector>

#include "base/ecdsa_p256.h"

namespace {

// libcrypto's objects, freed by their own functions.
struct Free {
    void operator()(BIGNUM* p) const { BN_free(p); }
    void operator()(ECDSA_SIG* p) const { ECDSA_SIG_free(p); }
    void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
    void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
    void operator()(OSSL_PARAM* p) const { OSSL_PARAM_free(p); }
    void operator()(OSSL_PARAM_BLD* p) const { OSSL_PARAM_BLD_free(p); }
    void operator()(unsigned char* p) const { OPENSSL_free(p); }
};
template <typename T>
using Owned = std::unique_ptr<T, Free>;

constexpr char kCurveName[] = "prime256v1";

// A key from the fixed byte form: the public point always, the scalar when
// signing. libcrypto refuses a point that is not on the curve.
Owned<EVP_PKEY> KeyOf(const EcdsaP256PublicKey& publicKey, const std::array<std::uint8_t, 32>* scalar) {
    unsigned char encodedPoint[65];
    encodedPoint[0] = 0x04;  // uncompressed: X then Y
    std::copy(publicKey.point.begin(), publicKey.point.end(), encodedPoint + 1);

    Owned<OSSL_PARAM_BLD> builder(OSSL_PARAM_BLD_new());
    Owned<BIGNUM> d(scalar ? BN_bin2bn(scalar->data(), static_cast<int>(scalar->size()), nullptr) : nullptr);
    if (!builder || (scalar && !d) ||
        !OSSL_PARAM_BLD_push_utf8_string(builder.get(), OSSL_PKEY_PARAM_GROUP_NAME, kCurveName, 0) ||
        !OSSL_PARAM_BLD_push_octet_string(builder.get(), OSSL_PKEY_PARAM_PUB_KEY, encodedPoint,
                                          sizeof encodedPoint) ||
        (d && !OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_PRIV_KEY, d.get())))
        return nullptr;
    Owned<OSSL_PARAM> params(OSSL_PARAM_BLD_to_param(builder.get()));
    Owned<EVP_PKEY_CTX> context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    if (!params || !context || EVP_PKEY_fromdata_init(context.get()) != 1) return nullptr;
    EVP_PKEY* key = nullptr;
    if (EVP_PKEY_fromdata(context.get(), &key, scalar ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY, params.get()) != 1)
        return nullptr;
    Owned<EVP_PKEY> owned(key);
    Owned<EVP_PKEY_CTX> check(EVP_PKEY_CTX_new_from_pkey(nullptr, owned.get(), nullptr));
    if (!check || EVP_PKEY_public_check(check.get()) != 1) return nullptr;
    return owned;
}

bool ToFixed(const BIGNUM* number, std::uint8_t* out) { return number && BN_bn2binpad(number, out, 32) == 32; }

}  // namespace

bool VerifyEcdsaP256(const EcdsaP256PublicKey& key, std::string_view message, const EcdsaP256Signature& signature) {
    const Owned<EVP_PKEY> publicKey = KeyOf(key, nullptr);
    if (!publicKey) return false;

    // libcrypto takes the signature as DER; ours is r||s.
    Owned<ECDSA_SIG> parts(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(signature.data(), 32, nullptr);
    BIGNUM* s = BN_bin2bn(signature.data() + 32, 32, nullptr);
    if (!parts || !r || !s || ECDSA_SIG_set0(parts.get(), r, s) != 1) {
        BN_free(r);
        BN_free(s);
        return false;
    }
    unsigned char* der = nullptr;
    const int derLength = i2d_ECDSA_SIG(parts.get(), &der);
    const Owned<unsigned char> ownedDer(der);
    if (derLength <= 0) return false;

    Owned<EVP_MD_CTX> context(EVP_MD_CTX_new());
    return context && EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, publicKey.get()) == 1 &&
           EVP_DigestVerify(context.get(), der, static_cast<std::size_t>(derLength),
                            reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
}

std::optional<EcdsaP256PrivateKey> GenerateEcdsaP256Key() {
    Owned<EVP_PKEY> key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    if (!key) return std::nullopt;
    BIGNUM* d = nullptr;
    BIGNUM* x = nullptr;
    BIGNUM* y = nullptr;
    EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_PRIV_KEY, &d);
    EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_EC_PUB_X, &x);
    EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_EC_PUB_Y, &y);
    const Owned<BIGNUM> ownedD(d), ownedX(x), ownedY(y);
    EcdsaP256PrivateKey result;
    if (!ToFixed(d, result.scalar.data()) || !ToFixed(x, result.publicKey.point.data()) ||
        !ToFixed(y, result.publicKey.point.data() + 32))
        return std::nullopt;
    return result;
}

std::optional<EcdsaP256Signature> SignEcdsaP256(const EcdsaP256PrivateKey& key, std::string_view message) {
    const Owned<EVP_PKEY> privateKey = KeyOf(key.publicKey, &key.scalar);
    if (!privateKey) return std::nullopt;
    Owned<EVP_MD_CTX> context(EVP_MD_CTX_new());
    std::size_t derLength = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(message.data());
    if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, privateKey.get()) != 1 ||
        EVP_DigestSign(context.get(), nullptr, &derLength, bytes, message.size()) != 1)
        return std::nullopt;
    std::vector<unsigned char> der(derLength);
    if (EVP_DigestSign(context.get(), der.data(), &derLength, bytes, message.size()) != 1) return std::nullopt;

    const unsigned char* cursor = der.data();
    const Owned<ECDSA_SIG> parts(d2i_ECDSA_SIG(nullptr, &cursor, static_cast<long>(derLength)));
    EcdsaP256Signature signature{};
    if (!parts || !ToFixed(ECDSA_SIG_get0_r(parts.get()), signature.data()) ||
        !ToFixed(ECDSA_SIG_get0_s(parts.get()), signature.data() + 32))
        return std::nullopt;
    return signature;
}
