#include "settings/LoginKey.h"

namespace qv::login_key {

std::string EncodePassword(std::string_view typed) {
    std::string out(typed);
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<char>(static_cast<unsigned char>(out[i]) + 5 + i % 8);
    }
    return out;
}

std::string DecodePassword(std::string_view stored) {
    std::string out(stored);
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<char>(static_cast<unsigned char>(out[i]) - 5 - i % 8);
    }
    return out;
}

}  // namespace qv::login_key
