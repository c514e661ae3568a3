// The component's entry points: the networked engine as a loadable component.

#include <memory>
#include <string>

#include "ComponentRegistration.h"
#include "NetControl.h"
#include "engine/SonaroComponent.h"
#include "platform/FileVersion.h"

#ifndef SONARO_NET_BUILD
#error "SONARO_NET_BUILD must be defined by the build"
#endif

QV_DEFINE_BUILD_MARKER(sonaro_net_build_marker, SONARO_NET_BUILD);

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
    return qv::component::Register(registry);
}
