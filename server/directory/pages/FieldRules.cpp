#include "pages/FieldRules.h"

#include "util/Text.h"

namespace qv::dirsvc::fields {

namespace {

bool IsAllowedNickByte(unsigned char c) {
    return c == 0x20 || c == 0x2D || (c >= 0x30 && c <= 0x39) || (c >= 0x41 && c <= 0x5B) ||
           c == 0x5D || (c >= 0x5F && c <= 0x7B) || c == 0x7D;
}

bool IsAsciiLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

constexpr std::string_view kReservedPrefixes[] = {"CS ", "Velmora", "Quorvane"};

}  // namespace

int CheckNickName(std::string_view trimmed, size_t maxLength) {
    if (trimmed.empty()) {
        return 1;
    }
    if (trimmed.size() < 2) {
        return 2;
    }
    if (trimmed.size() > maxLength) {
        return 3;
    }
    bool letter = false;
    bool onlyDigitsAndSpaces = true;
    for (const char ch : trimmed) {
        const auto c = static_cast<unsigned char>(ch);
        if (!IsAllowedNickByte(c)) {
            return 4;
        }
        letter = letter || IsAsciiLetter(c);
        onlyDigitsAndSpaces = onlyDigitsAndSpaces && (c == ' ' || (c >= '0' && c <= '9'));
    }
    if (!letter || onlyDigitsAndSpaces) {
        return 4;
    }
    return 0;
}

bool IsReservedNickName(std::string_view trimmed) {
    for (const std::string_view prefix : kReservedPrefixes) {
        if (text::StartsWithIgnoringCase(trimmed, prefix)) {
            return true;
        }
    }
    return false;
}

bool IsValidEmail(std::string_view email) {
    const size_t at = email.find('@');
    if (email.empty() || at == std::string_view::npos || at == 0) {
        return false;
    }
    if (email.substr(0, at).find(' ') != std::string_view::npos) {
        return false;
    }
    const size_t dot = email.find('.', at + 1);
    if (dot == std::string_view::npos || dot == at + 1) {
        return false;
    }
    const std::string_view domainPart = email.substr(at + 1, dot - at - 1);
    if (domainPart.find('@') != std::string_view::npos ||
        domainPart.find(' ') != std::string_view::npos) {
        return false;
    }
    return email.back() != '.';
}

bool IsMailableEmail(std::string_view email) {
    if (email.size() > kMaxEmail || !IsValidEmail(email)) {
        return false;
    }
    for (const char ch : email) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7F ||
            std::string_view(",;<>\"()[]\\:").find(ch) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

bool IsPlainText(std::string_view text, size_t maxLength) {
    if (text.size() > maxLength) {
        return false;
    }
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || c == 0xFF) {
            return false;
        }
    }
    return true;
}

bool IsAcceptablePassword(std::string_view password) {
    return !password.empty() && IsPlainText(password, kMaxPassword);
}

}  // namespace qv::dirsvc::fields

namespace qv::dirsvc::fields {

bool IsAllowedGroupName(std::string_view name) {
    if (name.empty() || name.front() == ' ' || name.back() == ' ') {
        return false;
    }
    if (!IsPlainText(name, kMaxGroupName) || name.find_first_of("&#%?") != std::string_view::npos) {
        return false;
    }
    return name.find("Group=") == std::string_view::npos &&
           name.find("Contacts") == std::string_view::npos;
}

}  // namespace qv::dirsvc::fields
