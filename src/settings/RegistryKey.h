#pragma once

// One open key of the emulated registry. Closed when the object goes.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Registry.h"

namespace qv {

class RegistryKey {
  public:
    // The current user's product key; subkeys hang below it.
    static constexpr const char* kProductKey = "Software\\Velmora\\Quorvane\\";

    explicit RegistryKey(Registry& registry) : registry_(&registry) {}

    // Closes any open key, then creates or opens kProductKey + subkey under the current user.
    bool OpenProduct(std::string_view subkey);
    // Creates (when missing) and opens any key.
    bool Create(Hive root, std::string_view path);
    // Opens an existing key; false when it does not exist.
    bool Open(Hive root, std::string_view path);
    void Close() { open_ = false; }
    bool IsOpen() const { return open_; }
    const std::string& Path() const { return path_; }
    Hive Root() const { return root_; }

    // Succeed only for a value of the right type (strings: at most 2048 bytes).
    bool GetDword(std::string_view name, std::uint32_t& value) const;
    bool GetString(std::string_view name, std::string& value) const;
    bool GetBinary(std::string_view name, std::string& value) const;
    bool SetDword(std::string_view name, std::uint32_t value);
    bool SetString(std::string_view name, std::string_view value);
    bool SetBinary(std::string_view name, std::string_view bytes);
    bool DeleteValue(std::string_view name);
    bool HasValue(std::string_view name) const;

    static bool DeleteKey(Registry& registry, Hive root, std::string_view path);

  private:
    Registry* registry_;
    Hive root_ = Hive::CurrentUser;
    std::string path_;
    bool open_ = false;
};

}  // namespace qv
