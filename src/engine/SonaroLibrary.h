#pragma once

// A loaded engine component file and the instances made from it. The file stays loaded while
// the library object or any of its instances exists, and is unloaded when the last one goes.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/SonaroComponent.h"

namespace qv {

class SonaroInstance;

class SonaroLibrary {
  public:
    // Loads the file; null (and the loader's reason in *error) when it cannot be loaded.
    static std::shared_ptr<SonaroLibrary> Load(const std::string& path,
                                               std::string* error = nullptr);
    ~SonaroLibrary();
    SonaroLibrary(const SonaroLibrary&) = delete;
    SonaroLibrary& operator=(const SonaroLibrary&) = delete;

    const std::string& Path() const { return path_; }
    // The build the component reports; 0 when it exports none.
    std::uint32_t Build() const;
    // Runs the component's DllRegisterServer; false when it has none or it fails.
    bool RegisterServer(ComponentRegistry& registry) const;
    // A new instance raising its events into sink (which must outlive it); null when the
    // component lacks the entry points, was built for another interface version, or refuses.
    static std::unique_ptr<SonaroInstance> CreateInstance(const std::shared_ptr<SonaroLibrary>& lib,
                                                          SonaroEventSink& sink);

  private:
    SonaroLibrary(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    void* Symbol(const char* name) const;

    void* handle_;
    std::string path_;
};

// One engine instance, owning whatever keeps its code loaded.
class SonaroInstance {
  public:
    using Destroy = std::function<void(SonaroControl*)>;

    SonaroInstance(SonaroControl* control, Destroy destroy, std::shared_ptr<void> keepLoaded);
    ~SonaroInstance();
    SonaroInstance(const SonaroInstance&) = delete;
    SonaroInstance& operator=(const SonaroInstance&) = delete;

    // An engine that lives in this program (test doubles).
    static std::unique_ptr<SonaroInstance> Adopt(std::unique_ptr<SonaroControl> control);

    SonaroControl& Control() { return *control_; }
    SonaroControl* operator->() { return control_; }
    // The engine's extension interface by that name, or null.
    template <typename T>
    T* Extension(const char* name) {
        return static_cast<T*>(control_->QueryExtension(name));
    }

  private:
    SonaroControl* control_;
    Destroy destroy_;
    std::shared_ptr<void> keepLoaded_;
};

// The host's side of a component's registration: writes into the emulated registry.
class RegistryForComponents final : public ComponentRegistry {
  public:
    explicit RegistryForComponents(Registry& registry) : registry_(registry) {}
    bool SetDefaultValue(Hive hive, const std::string& keyPath, const std::string& value) override;

  private:
    Registry& registry_;
};

}  // namespace qv
