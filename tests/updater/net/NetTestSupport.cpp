#include "NetTestSupport.h"

#include "UniqueHandle.h"

std::string ScriptPattern(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 31 + 7) & 0xFF);
    return data;
}

std::string BinaryContent(size_t size) {
    static const char kSeed[] = "line\r\nbare\nnul\0cr\r";
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = (i / 19) % 2 ? static_cast<char>(i * 7 + 128) : kSeed[i % 19];
    return data;
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    unique_hfind find(::FindFirstFileA((folder + "\\*").c_str(), &found));
    for (bool more = static_cast<bool>(find); more; more = ::FindNextFileA(find.get(), &found))
        if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..")
            names.push_back(found.cFileName);
    return names;
}

::testing::AssertionResult ConnectTo(CNetDownLoader& net, int protocol,
                                     const FixtureServer& server) {
    if (!server.Ok())
        return ::testing::AssertionFailure() << "server: " << server.Error();
    const bool ftp = protocol == PROTOCOL_FTP;
    if (!net.SetLoginInfo("127.0.0.1", protocol, server.Port(), ftp ? "tav" : "",
                          ftp ? "secret" : "") ||
        !net.Connect())
        return ::testing::AssertionFailure() << "SetLoginInfo/Connect";
    return ::testing::AssertionSuccess();
}
