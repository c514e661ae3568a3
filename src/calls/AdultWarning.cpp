#include "calls/AdultWarning.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace qv {

namespace adult_text {
const char* const kWarning =
    "WARNING:  THIS FORUM MAY CONTAIN AUDIO, TEXTUAL, OR VISUAL COMMUNICATIONS OR MATERIAL THAT "
    "IS INAPPROPRIATE AND NOT INTENDED FOR ANYONE UNDER THE AGE OF 18.\r\n\r\n"
    "By entering you confirm that you are at least 18 years old and that adult material does "
    "not offend you. You agree to the conduct terms of the Quorvane service: treat the other "
    "participants with respect; do not harass, threaten or impersonate anyone; do not share "
    "material that is unlawful where you or the other participants live; do not advertise or "
    "send unsolicited messages. Owners and moderators may remove anyone who breaks these terms, "
    "and accounts that break them may be closed.\r\n\r\n"
    "If you are under 18 or do not accept these terms, choose Leave.";
}  // namespace adult_text

bool NeedsAdultWarning(std::string_view path) {
    const std::size_t begin = path.find_first_not_of('/');
    if (begin == std::string_view::npos) {
        return false;
    }
    const std::string_view rest = path.substr(begin);
    std::string first(rest.substr(0, rest.find('/')));
    std::transform(first.begin(), first.end(), first.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return first.find("adult") != std::string::npos;
}

}  // namespace qv
