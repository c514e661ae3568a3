#include "store/PartnerDefaults.h"

#include <cstdint>
#include <string_view>

#include "store/SqliteConnection.h"

namespace qv::dirsvc {

namespace {

struct Param {
    std::string_view key;
    std::string_view value;
};

// The client's own defaults, except that the service lets users change their profile.
constexpr Param kParams[] = {
    {"DisableNewUserDlg", "0"},
    {"DisableForums", "0"},
    {"DisableTextChat", "0"},
    {"DisableTipOfTheDay", "0"},
    {"DisableVoiceMail", "0"},
    {"DisablePersonalInfo", "0"},
    {"EnableModeration", "0"},
    {"IMLabel", "Instant Message"},
    {"IMMenuLabel", "Send Instant &Message"},
    {"IMToolTipLabel", "Send user an Instant Message"},
    {"QVWhatsItDoAlias", "W&hat Can Quorvane Do?"},
    {"QVUpdatesAlias", "Quorvane Up&dates"},
    {"QVFAQAlias", "&Troubleshooting"},
    {"QVServiceStatusAlias", "Quorvane Ser&vice Status"},
    {"QVWebPageAlias", "Quorvane &Web Page"},
    {"QVNewUserPageAlias", "Quorvane &New User Page"},
    {"QVUserGuideAlias", "Quorvane &User Guide"},
    {"QVBugReportAlias", "Submit &Bug Report/Suggestions"},
    {"QVWHATSITDOURL", "http://www.quorvane.com/whatsitdo.html"},
    {"QVUpdatesURL", "http://www.quorvane.com/updates.html"},
    {"QVFAQURL", "http://www.quorvane.com/faq.html"},
    {"QVServiceStatusURL", "http://www.quorvane.com/status.html"},
    {"QVWebPageURL", "http://www.quorvane.com/"},
    {"QVNewUserPageURL", "http://www.quorvane.com/newuser.html"},
    {"QVUserGuideURL", "http://www.quorvane.com/guide.html"},
    {"QVBugReportURL", "http://www.quorvane.com/bugreport.html"},
    {"AdDownloadURL", "http://download1.quorvane.com/ads/adlist.txt"},
    {"DisplayPartnerLogo", "0"},
    {"PartnerLogoDownloadURL", ""},
    // Left empty: a non-empty address is downloaded again at every start-up.
    {"LoginDLLDownloadURL", ""},
    {"LXName", "Quorvane on the Web"},
    {"LXBrowserTitle", "Quorvane on the Web"},
    {"LXEnableLabel", "Enable"},
    {"LXMainURL", "http://www.quorvane.com/tour/"},
    {"LoginDLLVersion", "0"},
    {"DisableLoginDLL", "0"},
    {"EnableModifyNickName", "1"},
    {"EnableModifyCompany", "1"},
    {"EnableModifyFirstName", "1"},
    {"EnableModifyLastName", "1"},
    {"EnableModifyEmail", "1"},
    {"EnableModifyComment", "1"},
    {"EnableModifyHideEmail", "1"},
    {"EnableModifyAllowSpam", "1"},
};

}  // namespace

bool PartnerDefaults::Seed(SqliteConnection& connection) {
    {
        auto set =
            connection.Prepare("INSERT INTO partner_params(partner_id, version) VALUES (?1, ?2)");
        if (!set.Bind(1, std::int64_t{kPartner}).Bind(2, std::int64_t{kVersion}).Run()) {
            return false;
        }
    }
    std::int64_t position = 0;
    for (const Param& param : kParams) {
        auto value = connection.Prepare(
            "INSERT INTO partner_param_values(partner_id, position, key, value) "
            "VALUES (?1, ?2, ?3, ?4)");
        if (!value.Bind(1, std::int64_t{kPartner})
                 .Bind(2, position++)
                 .Bind(3, param.key)
                 .Bind(4, param.value)
                 .Run()) {
            return false;
        }
    }
    return true;
}

}  // namespace qv::dirsvc
