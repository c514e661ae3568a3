#include "app/StringTable.h"

#include <algorithm>
#include <iterator>

#include "directory/DirectoryStatus.h"

namespace qv {

namespace {

struct Entry {
    int id;
    const char* text;
};

#define QV_WILDCARD_HINT                                                                   \
    "  Try using a * for a wildcard search of email or names to expand your search (e.g. " \
    "jsmith*@example.com)"

// Sorted by number.
constexpr Entry kStrings[] = {
    {5,
     "You have lost connection from the Quorvane voice server.  Select \"Connect\" from the file "
     "menu to reconnect."},
    {8,
     "You have connected to an old Voice Server.  Choose \"Select Voice Server\" from the "
     "\"File\" menu to switch to a different server."},
    {11, "No Quorvane Number Found."},
    {12, "No Quorvane Number Found." QV_WILDCARD_HINT},
    {13, "No Quorvane Users Found."},
    {14, "No Quorvane users Found." QV_WILDCARD_HINT},
    {15, "Too many users found.  Please narrow the search parameters."},
    {16,
     "No Quorvane Number Found.  Quorvane Numbers must be comprised of numeric digits only with "
     "no spaces in them."},
    {17, "Too many Quorvane Numbers found.  Please provide more search parameters."},
    {18, "Too many Quorvane users found.  Please provide more search parameters."},
    {131,
     "Audio output open failed.  Your sound card may be in use by another application, or not "
     "installed correctly. Please ensure that only Quorvane is using your computer's audio. You "
     "may also want to check your sound card for proper installation\nNOTE: you will still be "
     "able to send Instant Messages to other users, and participate in Text Chat while in a "
     "Forum. You will not,  however, be able to speak, or hear what other people are saying."},
    {132,
     "Audio card does not support full duplex.  Full duplex sound cards permit two-way "
     "communication. This enables you to both hear and talk to other Quorvane users. Without a "
     "full duplex sound card, you will only be able to hear others. Please check the manual for "
     "your sound card for more information."},
    {133, "Audio input open failed."},
    {134, "Codec isn't available."},
    {135, "Audio Playback setup failed."},
    {136, "Codec Test Failed."},
    {137, "Unknown Audio Error."},
    {138, "Unknown Audio Error."},
    {139, "Unknown Audio Error."},
    {142,
     "WARNING: An unknown error has occurred while updating your version of Quorvane.   Select "
     "the Help button below,  for more information about resolving this problem."},
    {143,
     "WARNING: A File not Found error has occurred while updating your version of Quorvane.   If "
     "this occurs,  it usually means that Quorvane tried to patch when it didn't really need to.  "
     " You should be able to cancel out of this dialog and re-connect without problem.  If this "
     "error persists, Select the Help button below,  for more information about resolving this "
     "problem."},
    {145,
     "Hello,\r\n\r\n%s would like to converse with you over the Internet using Quorvane. Quorvane "
     "is free: all you need is a computer with a sound card and a microphone.\r\n\r\nMessage "
     "from %s:\r\n%s\r\n\r\nQuorvane lets you talk to friends and family over the Internet, join "
     "voice chat forums, send instant messages and voice mail. You can download Quorvane at "
     "http://www.quorvane.com/download.html\r\n\r\nOnce you have installed Quorvane, add %s to "
     "your contact list with the \"Add/Find Users\" button.\r\n\r\nThank you!\r\n\r\nIf you "
     "received this message in error, please ignore it: your address has not been stored."},
    {151, kNotConnectedMessage},
};

#undef QV_WILDCARD_HINT

}  // namespace

std::string_view LoadString(int id) {
    auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                               [](const Entry& e, int value) { return e.id < value; });
    return it != std::end(kStrings) && it->id == id ? it->text : std::string_view();
}

}  // namespace qv
