#include "settings/RegistryKey.h"

namespace qv {

namespace {
constexpr std::size_t kMaxString = 2048;
}

bool RegistryKey::OpenProduct(std::string_view subkey) {
    Close();
    return Create(Hive::CurrentUser, std::string(kProductKey) + std::string(subkey));
}

bool RegistryKey::Create(Hive root, std::string_view path) {
    Close();
    if (!registry_->CreateKey(root, path)) {
        return false;
    }
    root_ = root;
    path_ = path;
    open_ = true;
    return true;
}

bool RegistryKey::Open(Hive root, std::string_view path) {
    Close();
    if (!registry_->KeyExists(root, path)) {
        return false;
    }
    root_ = root;
    path_ = path;
    open_ = true;
    return true;
}

bool RegistryKey::GetDword(std::string_view name, std::uint32_t& value) const {
    if (!open_) {
        return false;
    }
    auto v = registry_->GetValue(root_, path_, name);
    if (!v || v->type != RegistryValueType::Dword) {
        return false;
    }
    value = v->dword;
    return true;
}

bool RegistryKey::GetString(std::string_view name, std::string& value) const {
    if (!open_) {
        return false;
    }
    auto v = registry_->GetValue(root_, path_, name);
    if (!v || v->type != RegistryValueType::String || v->data.size() + 1 > kMaxString) {
        return false;
    }
    value = v->data;
    return true;
}

bool RegistryKey::GetBinary(std::string_view name, std::string& value) const {
    if (!open_) {
        return false;
    }
    auto v = registry_->GetValue(root_, path_, name);
    if (!v || v->type != RegistryValueType::Binary) {
        return false;
    }
    value = v->data;
    return true;
}

bool RegistryKey::SetDword(std::string_view name, std::uint32_t value) {
    return open_ && registry_->SetValue(root_, path_, name, RegistryValue::Dword(value));
}

bool RegistryKey::SetString(std::string_view name, std::string_view value) {
    return open_ &&
           registry_->SetValue(root_, path_, name, RegistryValue::String(std::string(value)));
}

bool RegistryKey::SetBinary(std::string_view name, std::string_view bytes) {
    return open_ &&
           registry_->SetValue(root_, path_, name, RegistryValue::Binary(std::string(bytes)));
}

bool RegistryKey::DeleteValue(std::string_view name) {
    return open_ && registry_->DeleteValue(root_, path_, name);
}

bool RegistryKey::HasValue(std::string_view name) const {
    return open_ && registry_->GetValue(root_, path_, name).has_value();
}

bool RegistryKey::DeleteKey(Registry& registry, Hive root, std::string_view path) {
    return registry.DeleteKey(root, path);
}

}  // namespace qv
