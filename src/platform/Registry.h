#pragma once

// The emulated registry: one hierarchical key store per hive, each kept in its own file.
// Key paths use backslashes as separators (leading and trailing ones are ignored); key and value
// names are matched without regard to case and keep the case they were created with. The empty
// value name is the key's default value. Every change rewrites the hive's file atomically.
// A hive file that cannot be read as a store is renamed aside (".corrupt-<time>") and replaced by
// an empty store; the problem is reported through LoadProblems(). Names are listed in creation
// order.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

enum class Hive { CurrentUser, LocalMachine, ClassesRoot };

enum class RegistryValueType { Dword, String, Binary };

struct RegistryValue {
    RegistryValueType type = RegistryValueType::String;
    std::uint32_t dword = 0;  // Dword values
    std::string data;         // String values (without terminating zero) and Binary values

    static RegistryValue Dword(std::uint32_t v) { return {RegistryValueType::Dword, v, {}}; }
    static RegistryValue String(std::string s) {
        return {RegistryValueType::String, 0, std::move(s)};
    }
    static RegistryValue Binary(std::string b) {
        return {RegistryValueType::Binary, 0, std::move(b)};
    }
    bool operator==(const RegistryValue&) const = default;
};

class Registry {
  public:
    // Loads the hive files from folder (created when missing); a missing file is an empty hive.
    explicit Registry(std::string folder);
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // Creates the key and every missing parent; true when it exists afterwards.
    bool CreateKey(Hive hive, std::string_view path);
    bool KeyExists(Hive hive, std::string_view path) const;
    // Deletes a key that has no subkeys (a key with subkeys stays, and false is returned).
    bool DeleteKey(Hive hive, std::string_view path);

    // Values of an existing key. SetValue fails when the key does not exist.
    std::optional<RegistryValue> GetValue(Hive hive, std::string_view path,
                                          std::string_view name) const;
    bool SetValue(Hive hive, std::string_view path, std::string_view name, RegistryValue value);
    bool DeleteValue(Hive hive, std::string_view path, std::string_view name);

    std::vector<std::string> ValueNames(Hive hive, std::string_view path) const;
    std::vector<std::string> SubkeyNames(Hive hive, std::string_view path) const;

    // What went wrong while loading (a corrupt file set aside, an unwritable folder), for the user.
    const std::vector<std::string>& LoadProblems() const { return problems_; }
    // The file that holds a hive.
    std::string HiveFile(Hive hive) const;

  private:
    struct Store;
    bool Save(Hive hive);
    void Load(Hive hive);

    std::string folder_;
    mutable std::recursive_mutex mutex_;
    std::unique_ptr<Store> stores_[3];
    std::vector<std::string> problems_;
};

}  // namespace qv
