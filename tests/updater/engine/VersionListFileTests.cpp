#include "EngineTest.h"

#include <vector>

namespace {

using Record = std::vector<std::string>; // local, remote, options, digest[, size]

// What each line of a version list becomes, read as a pass reads it (the
// runtime's text mode, 1023-byte chunks). Faults: a field lost or a blank
// kept, an empty field taken for a value, a leading delimiter read as a line,
// blanks before ";" taken for a comment, a long line read past its chunk or
// its tail lost, a last line without its line end lost, a digest taken for
// the options (its hex letters E and F would start or force the module), a
// malformed or misplaced digest taken for one, a later digest for the first;
// a size taken for the options, a negative or overlong one taken for a size.
TEST(VersionListFile, EachLineBecomesTheRecordItsFieldsSay) {
    const std::string hex = "0123456789ABCDEF0123456789abcdef0123456789abcdef0123456789ABCDEF";
    const std::string digest = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
    const struct {
        std::string line;
        Record record; // empty: no record
    } cases[] = {
        {"; a comment | /x.dll", {}},
        {"  ; C:\\x.dll | /x.dll", {"; C:\\x.dll", "/x.dll", "", ""}},
        {"  C:\\a.dll |\t/a.dll|  RE ", {"C:\\a.dll", "/a.dll", "RE", ""}},
        {"C:\\b.dll|   |/b.dll|F|ignored", {"C:\\b.dll", "/b.dll", "F", ""}},
        {"|C:\\lead.dll|/lead.dll", {}},
        {"C:\\one-field.dll", {}},
        {"C:\\" + std::string(1020, 'a') + "tail|/t.dll|E", {"tail", "/t.dll", "E", ""}},
        {"c|d|sha256=" + hex, {"c", "d", "", digest}},
        {"e|f|-|sha256=" + hex + "|sha256=" + std::string(64, 'e'), {"e", "f", "-", digest}},
        {"g|h|sha256=" + hex + "|E", {"g", "h", "", digest}},
        {"i|j|sha256=" + hex.substr(1), {"i", "j", "sha256=" + hex.substr(1), ""}},
        {"k|l|E|SHA256=" + hex, {"k", "l", "E", ""}},
        {"m|sha256=" + hex, {"m", "sha256=" + hex, "", ""}},
        {"n|o|-|sha256=" + hex + "|size=1234", {"n", "o", "-", digest, "1234"}},
        {"p|q|size=12|R", {"p", "q", "", "", "12"}},
        {"r|s|size=-1", {"r", "s", "size=-1", ""}},
        {"t|u|E|size=1234567890123456", {"t", "u", "E", ""}},
        {"x", {}},
    };
    std::string text;
    std::vector<Record> expected;
    for (const auto& c : cases) {
        text += c.line + (&c == std::end(cases) - 1 ? "" : "\r\n");
        if (!c.record.empty())
            expected.push_back(c.record);
    }
    CAULMgr manager;
    UpdateConfig config;
    config.localVersionFile = testenv::NewDir("list") + "\\version.txt";
    SetConfig(manager, config);
    ASSERT_TRUE(testenv::WriteFile(config.localVersionFile, text));
    ASSERT_EQ(1, manager.ParseVersionInfo());
    std::vector<Record> records;
    for (const auto& r : manager.Modules()) {
        records.push_back({r->localFile, r->remoteFile, r->updateOption, r->sha256});
        if (r->size >= 0)
            records.back().push_back(std::to_string(r->size));
    }
    EXPECT_EQ(expected, records);
}

} // namespace
