#include "PackageSettings.h"

#include "Keys.h"

#include <openssl/decoder.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>

namespace {

struct X509Free {
    void operator()(X509* cert) const { X509_free(cert); }
};
struct DecoderFree {
    void operator()(OSSL_DECODER_CTX* ctx) const { OSSL_DECODER_CTX_free(ctx); }
};
struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};

// The first certificate of a PEM file (it may carry its chain), or a DER one.
std::unique_ptr<X509, X509Free> ReadCertificate(const std::string& path) {
    std::unique_ptr<BIO, BioFree> bio(BIO_new_file(path.c_str(), "rb"));
    std::unique_ptr<X509, X509Free> cert;
    if (bio) {
        cert.reset(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
        if (!cert && BIO_reset(bio.get()) == 0)
            cert.reset(d2i_X509_bio(bio.get(), nullptr));
    }
    ERR_clear_error();
    return cert;
}

// A private key in any form openssl reads, with the password the first line
// of the password file holds (as openssl's "-passin file:" takes it).
EvpKey ReadPrivateKey(const std::string& path, const std::string& passwordFile) {
    std::string password;
    if (!passwordFile.empty()) {
        std::ifstream in(passwordFile, std::ios::binary);
        std::getline(in, password);
    }
    EVP_PKEY* key = nullptr;
    std::unique_ptr<OSSL_DECODER_CTX, DecoderFree> decoder(OSSL_DECODER_CTX_new_for_pkey(
        &key, nullptr, nullptr, nullptr, EVP_PKEY_KEYPAIR, nullptr, nullptr));
    std::unique_ptr<BIO, BioFree> bio(BIO_new_file(path.c_str(), "rb"));
    if (decoder && bio &&
        OSSL_DECODER_CTX_set_passphrase(decoder.get(),
                                        reinterpret_cast<const unsigned char*>(password.data()),
                                        password.size()) == 1)
        OSSL_DECODER_from_bio(decoder.get(), bio.get());
    ERR_clear_error();
    return EvpKey(key);
}

} // namespace

bool CheckCodeSigning(const PackageSettings& s, std::string& error) {
    if ((s.cert + s.certKey + s.certPassword + s.publisherUrl).empty())
        return true;
    if (s.cert.empty() || s.certKey.empty()) {
        error = "--cert and --cert-key go together";
        return false;
    }
    if (s.publisherUrl.empty()) {
        error = "--publisher-url is required for signing";
        return false;
    }
    for (const std::string* file : {&s.cert, &s.certKey, &s.certPassword}) {
        if (!file->empty() && ::access(file->c_str(), R_OK) != 0) {
            error = *file + ": cannot be read";
            return false;
        }
    }
    std::unique_ptr<X509, X509Free> cert = ReadCertificate(s.cert);
    EVP_PKEY* certPublic = cert ? X509_get0_pubkey(cert.get()) : nullptr;
    if (!certPublic) {
        error = s.cert + ": not a certificate";
        return false;
    }
    EvpKey key = ReadPrivateKey(s.certKey, s.certPassword);
    if (!key) {
        error = s.certKey + ": not a private key that can be read (password?)";
        return false;
    }
    if (EVP_PKEY_eq(certPublic, key.get()) != 1) {
        error = s.certKey + ": not the key of " + s.cert;
        return false;
    }
    return true;
}
