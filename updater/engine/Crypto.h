#pragma once
// SHA-256 digests and RSA signature checks through the platform's CryptoAPI,
// the only cryptography of the program.

#include "Refusal.h"
#include "UniqueHandle.h"
#include "Win32Result.h"

#include <windows.h>
#include <wincrypt.h>

#include <string>

struct release_crypt_context {
    void operator()(HCRYPTPROV h) const { ::CryptReleaseContext(h, 0); }
};
struct destroy_crypt_hash {
    void operator()(HCRYPTHASH h) const { ::CryptDestroyHash(h); }
};
struct destroy_crypt_key {
    void operator()(HCRYPTKEY h) const { ::CryptDestroyKey(h); }
};
using unique_hcryptprov = unique_any<HCRYPTPROV, release_crypt_context>;
using unique_hcrypthash = unique_any<HCRYPTHASH, destroy_crypt_hash>;
using unique_hcryptkey = unique_any<HCRYPTKEY, destroy_crypt_key>;

// SHA-256 of bytes fed in pieces; each step hands back the call that failed.
class CSha256 {
public:
    Win32Result Begin();
    Win32Result Add(const void* data, DWORD size);
    // The digest as lower-case hex; the hash cannot take more bytes after.
    Win32Result Finish(std::string& hex);

private:
    unique_hcryptprov m_prov;
    unique_hcrypthash m_hash;
};

// SHA-256 and size of a whole file; fails when it cannot be opened or read.
Win32Result HashFile(const std::string& path, std::string& hex, unsigned long long* size);
// SHA-256 and size of an open file, read from its start.
Win32Result HashOpenFile(HANDLE file, std::string& hex, unsigned long long* size);

// Bytes from the platform's random number generator.
Win32Result RandomBytes(void* data, DWORD size);

// The publisher's public key, from the configuration's "Signing Key" text.
class CSigningKey {
public:
    // Takes the base64 of a DER SubjectPublicKeyInfo holding an RSA key of
    // 2048 to 4096 bits. Refused with what is wrong with it, for the
    // administrator (a failed call with its EC=).
    Refusal Import(const std::string& base64);
    // Imported, and not refused since.
    bool Usable() const { return static_cast<bool>(m_key); }
    // Ok when signature is the RSASSA-PKCS1-v1_5 SHA-256 signature of data,
    // in the big-endian byte order openssl writes.
    Win32Result Verify(const std::string& data, const std::string& signature);

private:
    unique_hcryptprov m_prov;
    unique_hcryptkey m_key;
};
