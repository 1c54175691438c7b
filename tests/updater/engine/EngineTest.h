#pragma once
// What the engine tests share: a configuration given without a file, and
// module records added to an engine's list.

#include "AULMgr.h"
#include "Fixtures.h"
#include "TraceRecorder.h"

#include <gtest/gtest.h>

#include <string>

struct EngineTestAccess {
    static void SetConfig(CAULMgr& manager, const UpdateConfig& config) {
        manager.UseConfig(config);
    }
    static void AddModule(CAULMgr& manager, std::unique_ptr<ModuleRecord> record) {
        manager.m_modules.push_back(std::move(record));
    }
    static const PassOutcome& Outcome(const CAULMgr& manager) { return manager.m_outcome; }
};

inline void SetConfig(CAULMgr& manager, const UpdateConfig& config) {
    EngineTestAccess::SetConfig(manager, config);
}

inline ModuleRecord& AddModule(CAULMgr& manager, const std::string& local,
                               const std::string& remote = "", const std::string& option = "",
                               int download = 0) {
    auto record = std::make_unique<ModuleRecord>();
    ModuleRecord& r = *record;
    r.localFile = local;
    r.remoteFile = remote;
    r.updateOption = option;
    r.download = download;
    EngineTestAccess::AddModule(manager, std::move(record));
    return r;
}
