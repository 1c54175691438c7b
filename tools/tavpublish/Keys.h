#pragma once
// The publisher's side of the signing: RSA keys, signatures and SHA-256
// through OpenSSL's libcrypto, in the formats the updater checks.

#include <openssl/evp.h>

#include <memory>
#include <string>

struct EvpKeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using EvpKey = std::unique_ptr<EVP_PKEY, EvpKeyFree>;
struct MdCtxFree {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};
using MdCtx = std::unique_ptr<EVP_MD_CTX, MdCtxFree>;

// A new RSA-3072 key.
EvpKey NewSigningKey(std::string& error);

// Writes the private key as PEM into a new file only its owner may read; an
// existing file is never overwritten.
bool WritePrivateKey(EVP_PKEY* key, const std::string& path, std::string& error);

// The "Signing Key" value: base64 of the DER SubjectPublicKeyInfo.
std::string SigningKeyValue(EVP_PKEY* key);

// A short name for a key: the first 16 hexadecimal digits of the SHA-256 of
// its DER SubjectPublicKeyInfo.
std::string KeyFingerprint(EVP_PKEY* key);

// The public key a DER SubjectPublicKeyInfo holds, with nothing after it.
// Refuses what the updater refuses: anything but RSA of 2048 to 4096 bits.
EvpKey PublicKeyFromDer(const std::string& der, std::string& error);

// A key from a PEM file (private or public), or from a "Signing Key" value.
// Refuses what the updater refuses, as PublicKeyFromDer does.
EvpKey LoadKey(const std::string& fileOrValue, bool needPrivate, std::string& error);

// RSASSA-PKCS1-v1_5 over SHA-256 of the bytes, big-endian.
bool Sign(EVP_PKEY* key, const std::string& data, std::string& signature, std::string& error);
bool Verify(EVP_PKEY* key, const std::string& data, const std::string& signature);

// SHA-256 of a file, lower-case hex.
bool Sha256File(const std::string& path, std::string& hex, std::string& error);
// SHA-256 of bytes in memory, lower-case hex; empty when OpenSSL fails.
std::string Sha256Of(const std::string& bytes);
