#include "Keys.h"

#include "Encoding.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
std::string OpenSslError() {
    unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (!code)
        return "unknown error";
    char text[256];
    ERR_error_string_n(code, text, sizeof(text));
    return text;
}

bool IsUsableKey(EVP_PKEY* key, std::string& error) {
    if (EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA) {
        error = "not an RSA key";
        return false;
    }
    int bits = EVP_PKEY_get_bits(key);
    if (bits < 2048 || bits > 4096) {
        error = "an RSA key of " + std::to_string(bits) + " bits; 2048 to 4096 are accepted";
        return false;
    }
    return true;
}

} // namespace

EvpKey NewSigningKey(std::string& error) {
    EvpKey key(EVP_RSA_gen(3072));
    if (!key)
        error = OpenSslError();
    return key;
}

bool WritePrivateKey(EVP_PKEY* key, const std::string& path, std::string& error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    FILE* file = ::fdopen(fd, "w");
    bool ok = file && PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr);
    if (!ok)
        error = path + ": " + OpenSslError();
    if (file ? std::fclose(file) != 0 : ::close(fd) != 0) {
        if (ok)
            error = path + ": " + std::strerror(errno);
        ok = false;
    }
    if (!ok)
        ::unlink(path.c_str());
    return ok;
}

std::string SigningKeyValue(EVP_PKEY* key) {
    unsigned char* der = nullptr;
    int size = i2d_PUBKEY(key, &der);
    if (size <= 0)
        return std::string();
    std::string text(4 * ((size + 2) / 3) + 1, '\0');
    int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&text[0]), der, size);
    OPENSSL_free(der);
    text.resize(length);
    return text;
}

std::string KeyFingerprint(EVP_PKEY* key) {
    unsigned char* der = nullptr;
    const int size = i2d_PUBKEY(key, &der);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const bool ok = size > 0 && EVP_Digest(der, static_cast<size_t>(size), digest, &length,
                                           EVP_sha256(), nullptr) == 1;
    OPENSSL_free(der);
    return ok ? encoding::HexText(digest, 8) : std::string("(no key)");
}

EvpKey PublicKeyFromDer(const std::string& der, std::string& error) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(der.data());
    const unsigned char* end = p + der.size();
    EvpKey key(d2i_PUBKEY(nullptr, &p, static_cast<long>(der.size())));
    ERR_clear_error();
    if (!key || p != end) {
        error = "not a DER public key (openssl pkey -pubout -outform DER | base64 -w0)";
        key.reset();
    } else if (!IsUsableKey(key.get(), error)) {
        key.reset();
    }
    return key;
}

EvpKey LoadKey(const std::string& fileOrValue, bool needPrivate, std::string& error) {
    EvpKey key;
    if (FILE* file = std::fopen(fileOrValue.c_str(), "r")) {
        key.reset(PEM_read_PrivateKey(file, nullptr, nullptr, nullptr));
        if (!key && !needPrivate) {
            std::rewind(file);
            ERR_clear_error();
            key.reset(PEM_read_PUBKEY(file, nullptr, nullptr, nullptr));
        }
        std::fclose(file);
        if (!key) {
            error = fileOrValue + ": no " + (needPrivate ? "private" : "PEM") + " key (" +
                    OpenSslError() + ")";
            return key;
        }
    } else if (needPrivate) {
        error = fileOrValue + ": " + std::strerror(errno);
        return key;
    } else {
        std::string der;
        if (!encoding::DecodeBase64(fileOrValue, der)) {
            error = "--key: neither a readable file nor a base64 \"Signing Key\" value";
            return key;
        }
        if (!(key = PublicKeyFromDer(der, error)))
            error = "--key: " + error;
        return key;
    }
    if (!IsUsableKey(key.get(), error)) {
        error = fileOrValue + ": " + error;
        key.reset();
    }
    return key;
}

bool Sign(EVP_PKEY* key, const std::string& data, std::string& signature, std::string& error) {
    MdCtx ctx(EVP_MD_CTX_new());
    size_t size = 0;
    if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key) != 1 ||
        EVP_DigestSign(ctx.get(), nullptr, &size,
                       reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1) {
        error = OpenSslError();
        return false;
    }
    signature.assign(size, '\0');
    if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(&signature[0]), &size,
                       reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1) {
        error = OpenSslError();
        return false;
    }
    signature.resize(size);
    return true;
}

bool Verify(EVP_PKEY* key, const std::string& data, const std::string& signature) {
    MdCtx ctx(EVP_MD_CTX_new());
    bool ok =
        ctx && EVP_DigestVerifyInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key) == 1 &&
        EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                         signature.size(), reinterpret_cast<const unsigned char*>(data.data()),
                         data.size()) == 1;
    ERR_clear_error();
    return ok;
}

bool Sha256File(const std::string& path, std::string& hex, std::string& error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    MdCtx ctx(EVP_MD_CTX_new());
    bool ok = ctx && EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) == 1;
    static char buffer[1 << 16];
    size_t count;
    while (ok && (count = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
        ok = EVP_DigestUpdate(ctx.get(), buffer, count) == 1;
    if (ok && std::ferror(file)) {
        error = path + ": read error";
        std::fclose(file);
        return false;
    }
    std::fclose(file);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!ok || EVP_DigestFinal_ex(ctx.get(), digest, &size) != 1) {
        error = path + ": " + OpenSslError();
        return false;
    }
    hex = encoding::HexText(digest, size);
    return true;
}

std::string Sha256Of(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr) != 1)
        return std::string();
    return encoding::HexText(digest, size);
}
