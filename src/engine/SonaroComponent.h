#pragma once

// The C interface of an engine component: a shared library that exports the functions below.
// The host finds the file through the registry (ProgID -> class id -> InprocServer32 path),
// loads it, checks the interface version and creates instances; the library is unloaded when its
// last instance is gone, so the file can then be replaced. Host and component are built by the
// same compiler, so the instances are the C++ interfaces of SonaroControl.h.
//
// A component must not leave anything running after its last instance is destroyed: no thread,
// no open device or socket.

#include <cstdint>
#include <string>

#include "engine/SonaroControl.h"
#include "platform/Registry.h"

namespace qv {

// Changes whenever SonaroControl or SonaroEventSink change shape.
inline constexpr std::int32_t kSonaroInterfaceVersion = 1;

inline constexpr const char* kSonaroProgId = "SONARO.SonaroCtrl.1";
inline constexpr const char* kSonaroFileName = "Sonaro.ocx";

// What a component may change when it registers itself: the default value of a key, created
// with its parents when missing.
class ComponentRegistry {
  public:
    virtual bool SetDefaultValue(Hive hive, const std::string& keyPath,
                                 const std::string& value) = 0;

  protected:
    ~ComponentRegistry() = default;
};

// Exported names and their types.
inline constexpr const char* kSonaroInterfaceVersionSymbol = "SonaroInterfaceVersion";
inline constexpr const char* kSonaroBuildNumberSymbol = "SonaroBuildNumber";
inline constexpr const char* kSonaroCreateInstanceSymbol = "SonaroCreateInstance";
inline constexpr const char* kSonaroDestroyInstanceSymbol = "SonaroDestroyInstance";
inline constexpr const char* kDllRegisterServerSymbol = "DllRegisterServer";

extern "C" {
// The kSonaroInterfaceVersion the component was built with.
using SonaroInterfaceVersionFn = std::int32_t (*)();
// The component's build number.
using SonaroBuildNumberFn = std::uint32_t (*)();
// A new instance that raises its events into sink, or null when version is not the component's
// interface version. sink outlives the instance.
using SonaroCreateInstanceFn = SonaroControl* (*)(std::int32_t version, SonaroEventSink* sink);
using SonaroDestroyInstanceFn = void (*)(SonaroControl* instance);
// Writes the component's registration (ProgID, class id and its own path); 0 on success.
using DllRegisterServerFn = std::int32_t (*)(ComponentRegistry* registry);
}

}  // namespace qv
