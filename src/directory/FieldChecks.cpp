#include "directory/FieldChecks.h"

#include <algorithm>
#include <cctype>

namespace qv {

namespace {

bool Allowed(unsigned char c) {
    return c == 0x20 || c == 0x2D || (c >= 0x30 && c <= 0x39) || (c >= 0x41 && c <= 0x5B) ||
           c == 0x5D || (c >= 0x5F && c <= 0x7B) || c == 0x7D;
}

bool IsLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

int Check(std::string& text, std::size_t maxLength, bool digitsOnlyAllowed, bool needsLetter) {
    TrimInPlace(text);
    if (text.empty()) {
        return kNameEmpty;
    }
    if (text.size() < 2) {
        return kNameTooShort;
    }
    if (text.size() > maxLength) {
        return kNameTooLong;
    }
    const auto bytes = [&](auto predicate) {
        return std::all_of(text.begin(), text.end(),
                           [&](char c) { return predicate(static_cast<unsigned char>(c)); });
    };
    if (!bytes(Allowed)) {
        return kNameInvalid;
    }
    if (needsLetter && bytes([](unsigned char c) { return !IsLetter(c); })) {
        return kNameInvalid;
    }
    if (!digitsOnlyAllowed &&
        bytes([](unsigned char c) { return std::isdigit(c) != 0 || c == ' '; })) {
        return kNameInvalid;
    }
    return kNameValid;
}

}  // namespace

void TrimInPlace(std::string& text) {
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    auto first = std::find_if_not(text.begin(), text.end(), blank);
    auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    text = first < last ? std::string(first, last) : std::string();
}

int CheckName(std::string& text, std::size_t maxLength, bool digitsOnlyAllowed) {
    return Check(text, maxLength, digitsOnlyAllowed, false);
}

int CheckNickName(std::string& text, std::size_t maxLength, bool digitsOnlyAllowed) {
    return Check(text, maxLength, digitsOnlyAllowed, true);
}

bool CheckEmail(std::string& text) {
    TrimInPlace(text);
    const std::size_t at = text.find('@');
    if (text.empty() || at == std::string::npos || at == 0) {
        return false;
    }
    if (text.find(' ') < at) {
        return false;
    }
    const std::size_t dot = text.find('.', at + 1);
    if (dot == std::string::npos || dot == at + 1) {
        return false;
    }
    const std::string_view domain = std::string_view(text).substr(at + 1, dot - at - 1);
    if (domain.find('@') != std::string_view::npos || domain.find(' ') != std::string_view::npos) {
        return false;
    }
    return text.back() != '.';
}

}  // namespace qv
