#include "Crypto.h"

#include "Encoding.h"
#include "NetText.h"

#include <cstring>
#include <vector>

// SHA-256 came to CryptoAPI with XP SP3; the headers hide it from an XP build.
#ifndef CALG_SHA_256
#define CALG_SHA_256 (ALG_CLASS_HASH | ALG_TYPE_ANY | 12)
#endif

namespace {

// SHA-256 and RSA in one provider type, present since XP SP3.
bool AcquireContext(unique_hcryptprov& prov) {
    return ::CryptAcquireContextA(prov.put(), nullptr, // the type's default provider
                                  nullptr, PROV_RSA_AES,
                                  CRYPT_VERIFYCONTEXT | CRYPT_SILENT) != FALSE;
}

bool NewHash(HCRYPTPROV prov, unique_hcrypthash& hash) {
    return ::CryptCreateHash(prov, CALG_SHA_256, 0, 0, hash.put()) != FALSE;
}

const DWORD kMinKeyBits = 2048;
const DWORD kMaxKeyBits = 4096;

} // namespace

bool CSha256::Begin() {
    m_hash.reset();
    return AcquireContext(m_prov) && NewHash(m_prov.get(), m_hash);
}

bool CSha256::Add(const void* data, DWORD size) {
    return m_hash && ::CryptHashData(m_hash.get(), static_cast<const BYTE*>(data), size, 0);
}

bool CSha256::Finish(std::string& hex) {
    BYTE digest[32];
    DWORD size = sizeof(digest);
    if (!m_hash || !::CryptGetHashParam(m_hash.get(), HP_HASHVAL, digest, &size, 0))
        return false;
    hex = encoding::HexText(digest, size);
    return true;
}

bool HashFile(const std::string& path, std::string& hex, unsigned long long* size) {
    unique_hfile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    return file && HashOpenFile(file.get(), hex, size);
}

bool HashOpenFile(HANDLE file, std::string& hex, unsigned long long* size) {
    CSha256 sha;
    LARGE_INTEGER start = {};
    if (!sha.Begin() || !::SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return false;
    // Large reads: the comparison of a current module is this loop alone.
    std::vector<char> buffer(1 << 20);
    *size = 0;
    for (;;) {
        DWORD count = 0;
        if (!::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &count, nullptr))
            return false;
        if (count == 0)
            break;
        *size += count;
        if (!sha.Add(buffer.data(), count))
            return false;
    }
    return sha.Finish(hex);
}

bool CSigningKey::Import(const std::string& base64, std::string& why) {
    m_key.reset();
    std::string der;
    if (!encoding::DecodeBase64(base64, der)) {
        why = "not base64";
        return false;
    }
    CERT_PUBLIC_KEY_INFO* decoded = nullptr;
    DWORD size = 0;
    if (!::CryptDecodeObjectEx(
            X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, reinterpret_cast<const BYTE*>(der.data()),
            static_cast<DWORD>(der.size()), CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded, &size)) {
        why = FormatText("CryptDecodeObjectEx failed, EC=%d", static_cast<int>(::GetLastError()));
        return false;
    }
    unique_hlocal info(decoded);
    if (!decoded->Algorithm.pszObjId || std::strcmp(decoded->Algorithm.pszObjId, szOID_RSA_RSA)) {
        why = "not an RSA key";
        return false;
    }
    if (!AcquireContext(m_prov)) {
        why = FormatText("CryptAcquireContext failed, EC=%d", static_cast<int>(::GetLastError()));
        return false;
    }
    if (!::CryptImportPublicKeyInfo(m_prov.get(), X509_ASN_ENCODING, decoded, m_key.put())) {
        why = FormatText("CryptImportPublicKeyInfo failed, EC=%d",
                         static_cast<int>(::GetLastError()));
        return false;
    }
    DWORD bits = 0;
    size = sizeof(bits);
    if (!::CryptGetKeyParam(m_key.get(), KP_KEYLEN, reinterpret_cast<BYTE*>(&bits), &size, 0) ||
        bits < kMinKeyBits || bits > kMaxKeyBits) {
        why = FormatText("%u bits, not 2048 to 4096", static_cast<unsigned>(bits));
        m_key.reset();
        return false;
    }
    return true;
}

bool CSigningKey::Verify(const std::string& data, const std::string& signature) {
    unique_hcrypthash hash;
    if (!m_key || !NewHash(m_prov.get(), hash) ||
        !::CryptHashData(hash.get(), reinterpret_cast<const BYTE*>(data.data()),
                         static_cast<DWORD>(data.size()), 0))
        return false;
    // CryptoAPI takes the signature as a little-endian number.
    std::string reversed(signature.rbegin(), signature.rend());
    const BOOL verified =
        ::CryptVerifySignatureA(hash.get(), reinterpret_cast<const BYTE*>(reversed.data()),
                                static_cast<DWORD>(reversed.size()), m_key.get(),
                                nullptr, // no description
                                0);
    // The caller reports why, after the hash is gone.
    const DWORD error = ::GetLastError();
    hash.reset();
    ::SetLastError(error);
    return verified != FALSE;
}
