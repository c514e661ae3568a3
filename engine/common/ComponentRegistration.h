#pragma once

// What every engine component writes when it registers itself: the one class the host creates
// by ProgID, and this file as its server. Compiled into each component (hidden there), so the
// path found is that component's own file.

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cstdint>
#include <string>

#include "engine/SonaroComponent.h"

namespace qv::component {

inline constexpr const char* kClassId = "{5A0C3E71-9B2D-4F6A-8C41-2D7E9B13A5F0}";
inline constexpr const char* kDescription = "SonaroCtrl Control";

// The file this code was loaded from, as the host will find it again; empty when unknown.
inline std::string OwnPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OwnPath), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved) == nullptr) {
        return info.dli_fname;
    }
    return resolved;
}

// DllRegisterServer's work: 0 on success.
inline std::int32_t Register(ComponentRegistry* registry) {
    const std::string path = OwnPath();
    if (registry == nullptr || path.empty()) {
        return 1;
    }
    const std::string progId = kSonaroProgId;
    const std::string clsid = std::string("CLSID\\") + kClassId;
    const bool ok =
        registry->SetDefaultValue(Hive::ClassesRoot, progId, kDescription) &&
        registry->SetDefaultValue(Hive::ClassesRoot, progId + "\\CLSID", kClassId) &&
        registry->SetDefaultValue(Hive::ClassesRoot, clsid, kDescription) &&
        registry->SetDefaultValue(Hive::ClassesRoot, clsid + "\\InprocServer32", path) &&
        registry->SetDefaultValue(Hive::ClassesRoot, clsid + "\\ProgID", progId) &&
        // The machine's own view of the classes, which the installed-copy check reads.
        registry->SetDefaultValue(Hive::LocalMachine, "SOFTWARE\\Classes\\" + clsid,
                                  kDescription) &&
        registry->SetDefaultValue(Hive::LocalMachine,
                                  "SOFTWARE\\Classes\\" + clsid + "\\InprocServer32", path);
    return ok ? 0 : 1;
}

}  // namespace qv::component
