#include "Crypto.h"

#include "Encoding.h"
#include "FormatText.h"

#include <cstring>
#include <vector>

// SHA-256 came to CryptoAPI with XP SP3; the headers hide it from an XP build.
#ifndef CALG_SHA_256
#define CALG_SHA_256 (ALG_CLASS_HASH | ALG_TYPE_ANY | 12)
#endif

namespace {

// SHA-256 and RSA in one provider type, present since XP SP3.
Win32Result AcquireContext(unique_hcryptprov& prov) {
    if (!::CryptAcquireContextA(prov.put(), nullptr, // the type's default provider
                                nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT | CRYPT_SILENT))
        return Win32Result::Failed("CryptAcquireContext");
    return Win32Result();
}

Win32Result NewHash(HCRYPTPROV prov, unique_hcrypthash& hash) {
    if (!::CryptCreateHash(prov, CALG_SHA_256, 0, 0, hash.put()))
        return Win32Result::Failed("CryptCreateHash");
    return Win32Result();
}

Win32Result HashData(HCRYPTHASH hash, const void* data, DWORD size) {
    if (!::CryptHashData(hash, static_cast<const BYTE*>(data), size, 0))
        return Win32Result::Failed("CryptHashData");
    return Win32Result();
}

const DWORD kMinKeyBits = 2048;
const DWORD kMaxKeyBits = 4096;

Refusal RefusedBy(const Win32Result& failed) {
    return Refusal::Because(
        FormatText("%s failed, EC=%d", failed.FailedCall(), static_cast<int>(failed.Error())));
}

} // namespace

Win32Result CSha256::Begin() {
    m_hash.reset();
    // One provider for every digest this object makes.
    Win32Result result = m_prov ? Win32Result() : AcquireContext(m_prov);
    if (result.Ok())
        result = NewHash(m_prov.get(), m_hash);
    return result;
}

Win32Result CSha256::Add(const void* data, DWORD size) {
    if (!m_hash)
        return Win32Result::Failed("CryptHashData", ERROR_INVALID_HANDLE);
    return HashData(m_hash.get(), data, size);
}

Win32Result CSha256::Finish(std::string& hex) {
    BYTE digest[32];
    DWORD size = sizeof(digest);
    if (!m_hash)
        return Win32Result::Failed("CryptGetHashParam", ERROR_INVALID_HANDLE);
    if (!::CryptGetHashParam(m_hash.get(), HP_HASHVAL, digest, &size, 0))
        return Win32Result::Failed("CryptGetHashParam");
    hex = encoding::HexText(digest, size);
    return Win32Result();
}

Win32Result HashFile(const std::string& path, std::string& hex, unsigned long long* size) {
    unique_hfile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return Win32Result::Failed("CreateFile");
    return HashOpenFile(file.get(), hex, size);
}

Win32Result HashOpenFile(HANDLE file, std::string& hex, unsigned long long* size) {
    CSha256 sha;
    Win32Result result = sha.Begin();
    if (!result.Ok())
        return result;
    LARGE_INTEGER start = {};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return Win32Result::Failed("SetFilePointerEx");
    // Large reads: the comparison of a current module is this loop alone.
    std::vector<char> buffer(1 << 20);
    *size = 0;
    for (;;) {
        DWORD count = 0;
        if (!::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &count, nullptr))
            return Win32Result::Failed("ReadFile");
        if (count == 0)
            break;
        *size += count;
        result = sha.Add(buffer.data(), count);
        if (!result.Ok())
            return result;
    }
    return sha.Finish(hex);
}

Win32Result RandomBytes(void* data, DWORD size) {
    unique_hcryptprov prov;
    const Win32Result acquired = AcquireContext(prov);
    if (!acquired.Ok())
        return acquired;
    if (!::CryptGenRandom(prov.get(), size, static_cast<BYTE*>(data)))
        return Win32Result::Failed("CryptGenRandom");
    return Win32Result();
}

Refusal CSigningKey::Import(const std::string& base64) {
    m_key.reset();
    std::string der;
    if (!encoding::DecodeBase64(base64, der))
        return Refusal::Because("not base64");
    CERT_PUBLIC_KEY_INFO* decoded = nullptr;
    DWORD size = 0;
    if (!::CryptDecodeObjectEx(
            X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, reinterpret_cast<const BYTE*>(der.data()),
            static_cast<DWORD>(der.size()), CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded, &size))
        return RefusedBy(Win32Result::Failed("CryptDecodeObjectEx"));
    unique_hlocal info(decoded);
    if (!decoded->Algorithm.pszObjId || std::strcmp(decoded->Algorithm.pszObjId, szOID_RSA_RSA))
        return Refusal::Because("not an RSA key");
    const Win32Result acquired = AcquireContext(m_prov);
    if (!acquired.Ok())
        return RefusedBy(acquired);
    if (!::CryptImportPublicKeyInfo(m_prov.get(), X509_ASN_ENCODING, decoded, m_key.put()))
        return RefusedBy(Win32Result::Failed("CryptImportPublicKeyInfo"));
    DWORD bits = 0;
    size = sizeof(bits);
    if (!::CryptGetKeyParam(m_key.get(), KP_KEYLEN, reinterpret_cast<BYTE*>(&bits), &size, 0) ||
        bits < kMinKeyBits || bits > kMaxKeyBits) {
        m_key.reset();
        return Refusal::Because(
            FormatText("%u bits, not 2048 to 4096", static_cast<unsigned>(bits)));
    }
    return Refusal();
}

Win32Result CSigningKey::Verify(const std::string& data, const std::string& signature) {
    if (!m_key)
        return Win32Result::Failed("CryptVerifySignature", static_cast<DWORD>(NTE_NO_KEY));
    unique_hcrypthash hash;
    Win32Result result = NewHash(m_prov.get(), hash);
    if (result.Ok())
        result = HashData(hash.get(), data.data(), static_cast<DWORD>(data.size()));
    if (!result.Ok())
        return result;
    // CryptoAPI takes the signature as a little-endian number.
    std::string reversed(signature.rbegin(), signature.rend());
    if (!::CryptVerifySignatureA(hash.get(), reinterpret_cast<const BYTE*>(reversed.data()),
                                 static_cast<DWORD>(reversed.size()), m_key.get(),
                                 nullptr, // no description
                                 0))
        return Win32Result::Failed("CryptVerifySignature");
    return Win32Result();
}
