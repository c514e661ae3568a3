// Component files that are not usable engines: one with no entry points at all, and one built
// for another interface version (it registers, but makes no instance the host accepts).

#include <cstdint>

#ifdef WITH_ENTRY_POINTS
#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT std::int32_t SonaroInterfaceVersion() {
    return 99;
}

EXPORT void* SonaroCreateInstance(std::int32_t, void*) {
    return nullptr;
}

EXPORT void SonaroDestroyInstance(void*) {}
#endif

extern "C" {
__attribute__((visibility("default"))) int quorvane_test_component_marker = 1;
}
