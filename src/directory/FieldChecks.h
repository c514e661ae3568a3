#pragma once

// Checks of names and e-mail addresses typed for an account. Each trims leading and trailing
// white space from the text first and leaves the trimmed text in it.

#include <cstddef>
#include <string>

namespace qv {

// The length and digits rule the program always checks with.
inline constexpr std::size_t kMaxNameLength = 32;

enum NameCheck : int {
    kNameValid = 0,
    kNameEmpty = 1,
    kNameTooShort = 2,
    kNameTooLong = 3,
    kNameInvalid = 4,
};

// First and last names.
int CheckName(std::string& text, std::size_t maxLength = kMaxNameLength,
              bool digitsOnlyAllowed = false);
// As CheckName, and the nickname must hold at least one ASCII letter.
int CheckNickName(std::string& text, std::size_t maxLength = kMaxNameLength,
                  bool digitsOnlyAllowed = false);
bool CheckEmail(std::string& text);

// Removes leading and trailing white space in place.
void TrimInPlace(std::string& text);

}  // namespace qv
