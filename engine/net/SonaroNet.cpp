// The component's entry points: the networked engine as a loadable component.

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "NetControl.h"
#include "engine/SonaroComponent.h"
#include "platform/FileVersion.h"

#ifndef SONARO_NET_BUILD
#error "SONARO_NET_BUILD must be defined by the build"
#endif

QV_DEFINE_BUILD_MARKER(sonaro_net_build_marker, SONARO_NET_BUILD);

namespace {

// The class the host creates by ProgID; every engine component registers the same one.
constexpr const char* kClassId = "{5A0C3E71-9B2D-4F6A-8C41-2D7E9B13A5F0}";
constexpr const char* kDescription = "SonaroCtrl Control";

// The file this code was loaded from, as the host will find it again.
std::string OwnPath() {
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

}  // namespace

#define SONARO_EXPORT extern "C" __attribute__((visibility("default")))

SONARO_EXPORT std::int32_t SonaroInterfaceVersion() {
    return qv::kSonaroInterfaceVersion;
}

SONARO_EXPORT std::uint32_t SonaroBuildNumber() {
    return SONARO_NET_BUILD;
}

SONARO_EXPORT qv::SonaroControl* SonaroCreateInstance(std::int32_t version,
                                                      qv::SonaroEventSink* sink) {
    if (version != qv::kSonaroInterfaceVersion || sink == nullptr) {
        return nullptr;
    }
    return std::make_unique<qv::net::NetControl>(*sink, SONARO_NET_BUILD).release();
}

SONARO_EXPORT void SonaroDestroyInstance(qv::SonaroControl* instance) {
    std::unique_ptr<qv::SonaroControl> owned(instance);
}

SONARO_EXPORT std::int32_t DllRegisterServer(qv::ComponentRegistry* registry) {
    const std::string path = OwnPath();
    if (registry == nullptr || path.empty()) {
        return 1;
    }
    const std::string progId = qv::kSonaroProgId;
    const std::string clsid = std::string("CLSID\\") + kClassId;
    using qv::Hive;
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
