#include "Blocks.h"

#include "BlockMap.h"
#include "Encoding.h"
#include "Keys.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace blocks {
namespace {

class OpenSslDigest : public blockmap::ChunkDigest {
public:
    OpenSslDigest() : m_ctx(EVP_MD_CTX_new()) { m_ok = m_ctx && Begin(); }
    void Update(const unsigned char* data, size_t size) override {
        m_ok = m_ok && EVP_DigestUpdate(m_ctx.get(), data, size) == 1;
    }
    std::string Finish() override {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        const bool ok = m_ok && EVP_DigestFinal_ex(m_ctx.get(), digest, &size) == 1;
        m_ok = ok && Begin();
        return ok ? encoding::HexText(digest, size) : std::string();
    }

private:
    bool Begin() { return EVP_DigestInit_ex(m_ctx.get(), EVP_sha256(), nullptr) == 1; }
    MdCtx m_ctx;
    bool m_ok = false;
};

} // namespace

bool MapOfFile(const std::string& path, std::string& text, std::string& error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    OpenSslDigest digest;
    blockmap::MapBuilder builder(digest);
    static unsigned char buffer[1 << 20];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
        builder.Add(buffer, count);
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    blockmap::BlockMap map;
    if (readError || !builder.Finish(map)) {
        error = path + (readError
                            ? ": read error"
                            : ": no block map (more than " + std::to_string(blockmap::kMaxChunks) +
                                  " chunks, or a digest failed)");
        return false;
    }
    text = blockmap::MapText(map);
    return true;
}

std::string MapRemotePath(const std::string& moduleRemote) {
    return moduleRemote + ".blocks";
}

} // namespace blocks
