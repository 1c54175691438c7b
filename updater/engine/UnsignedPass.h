#pragma once
// A pass without a signing key: the list is received into the local version
// file and read from there, each selected module goes in on its own, and
// modules are registered and started by their listed paths.

#include "PassPolicy.h"

class CUnsignedPass : public IPassPolicy {
public:
    CUnsignedPass(CTraceBase& trace, CNetDownLoader& downloader, const UpdateConfig& config)
        : m_trace(trace), m_downloader(downloader), m_config(config) {}

    int Prepare() override { return 1; }
    int FetchList() override;
    int ReadList(std::vector<std::string>& lines) override;
    bool Admits(const ModuleRecord&) override { return true; }
    bool RefusesRepeatedPaths() const override { return false; }
    void BeginCompare(size_t) override {}
    bool InstalledDigest(size_t index, const ModuleRecord& record, std::string& sha256,
                         unsigned long long& size) override;
    bool EndCompare(const ModuleList&, bool) override { return true; }
    void Install(const ModuleList& modules, PassOutcome& outcome) override;
    bool CheckedPath(size_t, const ModuleRecord& record, const char*,
                     std::string& path) const override {
        path = record.localFile;
        return true;
    }
    const ModuleList& ModulesToStart(const ModuleList& listed) override { return listed; }
    std::optional<unsigned long long> InstalledSerial() const override { return std::nullopt; }
    void EndPass() override {}

private:
    CTraceBase& m_trace;
    CNetDownLoader& m_downloader;
    const UpdateConfig& m_config;
};
