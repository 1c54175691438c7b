#pragma once
// What the engine tests share: module records added to an engine's list.

#include "AULMgr.h"
#include "Fixtures.h"
#include "TraceRecorder.h"

#include <gtest/gtest.h>

#include <string>

inline ModuleRecord& AddModule(CAULMgr& manager, const std::string& local,
                               const std::string& remote = "", const std::string& option = "",
                               int download = 0) {
    manager.m_modules.push_back(std::make_unique<ModuleRecord>());
    ModuleRecord& r = *manager.m_modules.back();
    r.localFile = local;
    r.remoteFile = remote;
    r.updateOption = option;
    r.download = download;
    return r;
}
