#include "engine/SonaroRegistration.h"

#include "platform/Registry.h"

namespace qv {

namespace {

std::optional<std::string> DefaultString(const Registry& registry, Hive hive,
                                         const std::string& path) {
    std::optional<RegistryValue> value = registry.GetValue(hive, path, "");
    if (!value || value->type != RegistryValueType::String || value->data.empty()) {
        return std::nullopt;
    }
    return value->data;
}

}  // namespace

std::optional<std::string> LookUpClassId(const Registry& registry, const std::string& progId) {
    std::optional<std::string> id = DefaultString(registry, Hive::ClassesRoot, progId + "\\CLSID");
    if (!id || id->size() > kMaxClassIdText) {
        return std::nullopt;
    }
    return id;
}

std::optional<std::string> LookUpInprocServer(const Registry& registry,
                                              const std::string& classId) {
    return DefaultString(registry, Hive::ClassesRoot, "CLSID\\" + classId + "\\InprocServer32");
}

bool GetRegisteredControlPath(const Registry& registry, std::string& path) {
    std::optional<std::string> id = LookUpClassId(registry, kSonaroProgId);
    if (!id) {
        return false;
    }
    std::optional<std::string> file = DefaultString(
        registry, Hive::LocalMachine, "SOFTWARE\\Classes\\CLSID\\" + *id + "\\InprocServer32");
    if (!file) {
        return false;
    }
    path = *file;
    return true;
}

std::unique_ptr<SonaroInstance> CreateRegisteredSonaro(const Registry& registry,
                                                       SonaroEventSink& sink) {
    std::optional<std::string> id = LookUpClassId(registry, kSonaroProgId);
    if (!id) {
        return nullptr;
    }
    std::optional<std::string> file = LookUpInprocServer(registry, *id);
    if (!file) {
        return nullptr;
    }
    return SonaroLibrary::CreateInstance(SonaroLibrary::Load(*file), sink);
}

}  // namespace qv
