#pragma once

// Finding the registered engine component: ProgID to class id to the file that serves it, and
// creating an instance through it (the stand-in for creating a control by ProgID).

#include <memory>
#include <optional>
#include <string>

#include "engine/SonaroLibrary.h"

namespace qv {

class Registry;

// Longest class id text taken from the registry.
inline constexpr std::size_t kMaxClassIdText = 64;

// The class id text registered for the ProgID (classes root "<ProgID>\CLSID"); nullopt when
// missing, empty or longer than kMaxClassIdText.
std::optional<std::string> LookUpClassId(const Registry& registry, const std::string& progId);

// The file the classes root names for the class id ("CLSID\<id>\InprocServer32").
std::optional<std::string> LookUpInprocServer(const Registry& registry, const std::string& classId);

// The engine file as the machine-wide key "SOFTWARE\Classes\CLSID\<id>\InprocServer32" names it;
// false when any step fails (path untouched).
bool GetRegisteredControlPath(const Registry& registry, std::string& path);

// A new instance of the registered engine (ProgID "SONARO.SonaroCtrl.1"); null when it is not
// registered, its file does not load or it makes no instance.
std::unique_ptr<SonaroInstance> CreateRegisteredSonaro(const Registry& registry,
                                                       SonaroEventSink& sink);

// How the engine manager gets its engine.
class SonaroFactory {
  public:
    virtual ~SonaroFactory() = default;
    // A new engine raising its events into sink; null when none can be made.
    virtual std::unique_ptr<SonaroInstance> Create(SonaroEventSink& sink) = 0;
};

// The engine registered on this machine.
class RegisteredSonaroFactory : public SonaroFactory {
  public:
    explicit RegisteredSonaroFactory(const Registry& registry) : registry_(registry) {}
    std::unique_ptr<SonaroInstance> Create(SonaroEventSink& sink) override {
        return CreateRegisteredSonaro(registry_, sink);
    }

  private:
    const Registry& registry_;
};

}  // namespace qv
