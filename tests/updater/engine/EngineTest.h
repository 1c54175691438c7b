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
    auto record = std::make_unique<ModuleRecord>();
    ModuleRecord& r = *record;
    r.localFile = local;
    r.remoteFile = remote;
    r.updateOption = option;
    r.download = download;
    manager.AddModule(std::move(record));
    return r;
}
