#include "engine/SonaroLibrary.h"

#include <dlfcn.h>

#include "platform/Trace.h"

namespace qv {

namespace {

// dlerror's text belongs to the thread but is reset by any dl call: read it at once.
std::string LoaderError() {
    const char* text = dlerror();
    return text != nullptr ? text : "unknown error";
}

}  // namespace

std::shared_ptr<SonaroLibrary> SonaroLibrary::Load(const std::string& path, std::string* error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const std::string why = LoaderError();
        Trace("SonaroLibrary", "Load", path + ": " + why);
        if (error != nullptr) {
            *error = why;
        }
        return nullptr;
    }
    return std::shared_ptr<SonaroLibrary>(new SonaroLibrary(handle, path));
}

SonaroLibrary::~SonaroLibrary() {
    dlclose(handle_);
}

void* SonaroLibrary::Symbol(const char* name) const {
    return dlsym(handle_, name);
}

std::uint32_t SonaroLibrary::Build() const {
    auto build = reinterpret_cast<SonaroBuildNumberFn>(Symbol(kSonaroBuildNumberSymbol));
    return build != nullptr ? build() : 0;
}

bool SonaroLibrary::RegisterServer(ComponentRegistry& registry) const {
    auto reg = reinterpret_cast<DllRegisterServerFn>(Symbol(kDllRegisterServerSymbol));
    return reg != nullptr && reg(&registry) == 0;
}

std::unique_ptr<SonaroInstance> SonaroLibrary::CreateInstance(
    const std::shared_ptr<SonaroLibrary>& lib, SonaroEventSink& sink) {
    if (!lib) {
        return nullptr;
    }
    auto version =
        reinterpret_cast<SonaroInterfaceVersionFn>(lib->Symbol(kSonaroInterfaceVersionSymbol));
    auto create =
        reinterpret_cast<SonaroCreateInstanceFn>(lib->Symbol(kSonaroCreateInstanceSymbol));
    auto destroy =
        reinterpret_cast<SonaroDestroyInstanceFn>(lib->Symbol(kSonaroDestroyInstanceSymbol));
    if (version == nullptr || create == nullptr || destroy == nullptr) {
        Trace("SonaroLibrary", "CreateInstance", lib->Path() + ": entry points missing");
        return nullptr;
    }
    if (version() != kSonaroInterfaceVersion) {
        Trace("SonaroLibrary", "CreateInstance", lib->Path() + ": other interface version");
        return nullptr;
    }
    SonaroControl* control = create(kSonaroInterfaceVersion, &sink);
    if (control == nullptr) {
        return nullptr;
    }
    return std::make_unique<SonaroInstance>(control, destroy, lib);
}

SonaroInstance::SonaroInstance(SonaroControl* control, Destroy destroy,
                               std::shared_ptr<void> keepLoaded)
    : control_(control), destroy_(std::move(destroy)), keepLoaded_(std::move(keepLoaded)) {}

SonaroInstance::~SonaroInstance() {
    // The instance goes first: its code must still be loaded while it is destroyed.
    destroy_(control_);
    destroy_ = nullptr;
    keepLoaded_.reset();
}

std::unique_ptr<SonaroInstance> SonaroInstance::Adopt(std::unique_ptr<SonaroControl> control) {
    SonaroControl* raw = control.release();
    return std::make_unique<SonaroInstance>(
        raw, [](SonaroControl* c) { std::unique_ptr<SonaroControl> owned(c); }, nullptr);
}

bool RegistryForComponents::SetDefaultValue(Hive hive, const std::string& keyPath,
                                            const std::string& value) {
    return registry_.CreateKey(hive, keyPath) &&
           registry_.SetValue(hive, keyPath, "", RegistryValue::String(value));
}

}  // namespace qv
