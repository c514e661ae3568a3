// The component's entry points: sonaro-sim as a loadable engine.

#include <memory>
#include <string>

#include "ComponentRegistration.h"
#include "SimControl.h"
#include "engine/SonaroComponent.h"
#include "platform/FileVersion.h"

#ifndef SONARO_SIM_BUILD
#error "SONARO_SIM_BUILD must be defined by the build"
#endif
#ifndef SONARO_PROGRAM_BUILD
#error "SONARO_PROGRAM_BUILD must be defined by the build"
#endif

QV_DEFINE_BUILD_MARKER(sonaro_sim_build_marker, SONARO_SIM_BUILD);

namespace {

// The program build the simulated server publishes (required program build, patcher build 0).
constexpr std::int32_t kRequiredVersions = static_cast<std::int32_t>(SONARO_PROGRAM_BUILD) << 16;

}  // namespace

#define SONARO_EXPORT extern "C" __attribute__((visibility("default")))

SONARO_EXPORT std::int32_t SonaroInterfaceVersion() {
    return qv::kSonaroInterfaceVersion;
}

SONARO_EXPORT std::uint32_t SonaroBuildNumber() {
    return SONARO_SIM_BUILD;
}

SONARO_EXPORT qv::SonaroControl* SonaroCreateInstance(std::int32_t version,
                                                      qv::SonaroEventSink* sink) {
    if (version != qv::kSonaroInterfaceVersion || sink == nullptr) {
        return nullptr;
    }
    auto control =
        std::make_unique<qv::sim::SimControl>(*sink, SONARO_SIM_BUILD, kRequiredVersions);
    if (const char* mode = getenv("SONARO_SIM_MODE");
        mode != nullptr && std::string(mode) == "recording") {
        control->SetMode(qv::sim::Mode::Recording);
    }
    return control.release();
}

SONARO_EXPORT void SonaroDestroyInstance(qv::SonaroControl* instance) {
    std::unique_ptr<qv::SonaroControl> owned(instance);
}

SONARO_EXPORT std::int32_t DllRegisterServer(qv::ComponentRegistry* registry) {
    return qv::component::Register(registry);
}
