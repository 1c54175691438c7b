// The signed pass (SignedPass.h) as the stages take it, and the choice of
// policy by the configuration.
#include "PassPolicy.h"
#include "SignedPass.h"
#include "UnsignedPass.h"

#include <algorithm>

namespace {

class CSignedPolicy : public IPassPolicy {
public:
    CSignedPolicy(CTraceBase& trace, CNetDownLoader& downloader, const UpdateConfig& config)
        : m_pass(trace, downloader, config) {}

    // A key that cannot be used is a configuration to mend, not a server's
    // fault.
    int Prepare() override { return m_pass.ImportKey("LoadConfig").Ok(); }
    int FetchList() override { return m_pass.GetVersionInfo().Ok(); }
    // The bytes whose signature was checked: the file could have been
    // changed since.
    int ReadList(std::vector<std::string>& lines) override {
        size_t position = 0;
        std::string line;
        while (versionlist::ReadTextLine(m_pass.VerifiedList(), position, line))
            lines.push_back(line);
        return 1;
    }
    bool Admits(const ModuleRecord& record) override { return m_pass.Admits(record); }
    // Which of two lines the publisher meant is not known, and a release
    // would swap the file twice.
    bool RefusesRepeatedPaths() const override { return true; }

    void BeginCompare(size_t moduleCount) override { m_pass.BeginCompare(moduleCount); }
    // The file checked stays held until it is used.
    bool InstalledDigest(size_t index, const ModuleRecord& record, std::string& sha256,
                         unsigned long long& size) override {
        m_pass.CheckInstalled(index, record, &sha256, &size);
        return !sha256.empty();
    }
    bool EndCompare(const ModuleList& modules, bool complete) override {
        return m_pass.EndCompare(modules, complete);
    }
    // All or nothing: a release that did not go in is one failure.
    void Install(const ModuleList& modules, PassOutcome& outcome) override {
        unsigned long long bytes = 0;
        if (!m_pass.Install(modules, &bytes)) {
            outcome.NoteModuleFailed("DownloadNewFiles");
            return;
        }
        outcome.modulesFetched += static_cast<int>(std::count_if(
            modules.begin(), modules.end(), [](const auto& r) { return r->download != 0; }));
        outcome.bytesReceived += bytes;
    }

    bool CheckedPath(size_t index, const ModuleRecord& record, const char* stage,
                     std::string& path) const override {
        return m_pass.CheckedPath(index, record, stage, path);
    }
    const ModuleList& ModulesToStart(const ModuleList& listed) override {
        return m_pass.ModulesToStart(listed);
    }
    std::optional<unsigned long long> InstalledSerial() const override {
        return m_pass.InstalledSerial();
    }
    void EndPass() override { m_pass.EndPass(); }

private:
    CSignedPass m_pass;
};

} // namespace

std::unique_ptr<IPassPolicy> MakePassPolicy(CTraceBase& trace, CNetDownLoader& downloader,
                                            const UpdateConfig& config) {
    if (config.signingKey)
        return std::make_unique<CSignedPolicy>(trace, downloader, config);
    return std::make_unique<CUnsignedPass>(trace, downloader, config);
}
