#include "settings/Customization.h"

#include <map>
#include <string_view>

#include "directory/ReplyGrammar.h"
#include "settings/DemoSettings.h"
#include "settings/IniFile.h"

namespace qv {

namespace {

using V = Customization::Values;

struct IntKey {
    const char* section;
    const char* key;
    int V::*field;
};
struct TextKey {
    const char* section;
    const char* key;
    std::string V::*field;
};

// Every key but [System] Version, which is written last by an update.
const IntKey kIntKeys[] = {
    {"Features", "DisableNewUserDlg", &V::disableNewUserDlg},
    {"Features", "DisableForums", &V::disableForums},
    {"Features", "DisableTextChat", &V::disableTextChat},
    {"Features", "DisableTipOfTheDay", &V::disableTipOfTheDay},
    {"Features", "DisableVoiceMail", &V::disableVoiceMail},
    {"Features", "DisablePersonalInfo", &V::disablePersonalInfo},
    {"Features", "EnableModeration", &V::enableModeration},
    {"General", "DisplayPartnerLogo", &V::displayPartnerLogo},
    {"General", "LoginDLLVersion", &V::loginDllVersion},
    {"General", "DisableLoginDLL", &V::disableLoginDll},
    {"Personal Info", "EnableModifyNickName", &V::enableModifyNickName},
    {"Personal Info", "EnableModifyCompany", &V::enableModifyCompany},
    {"Personal Info", "EnableModifyFirstName", &V::enableModifyFirstName},
    {"Personal Info", "EnableModifyLastName", &V::enableModifyLastName},
    {"Personal Info", "EnableModifyEmail", &V::enableModifyEmail},
    {"Personal Info", "EnableModifyComment", &V::enableModifyComment},
    {"Personal Info", "EnableModifyHideEmail", &V::enableModifyHideEmail},
    {"Personal Info", "EnableModifyAllowSpam", &V::enableModifyAllowSpam},
};

const TextKey kTextKeys[] = {
    {"Instant Messages", "IMLabel", &V::imLabel},
    {"Instant Messages", "IMMenuLabel", &V::imMenuLabel},
    {"Instant Messages", "IMToolTipLabel", &V::imToolTipLabel},
    {"Help Menu", "QVWhatsItDoAlias", &V::whatsItDoAlias},
    {"Help Menu", "QVUpdatesAlias", &V::updatesAlias},
    {"Help Menu", "QVFAQAlias", &V::faqAlias},
    {"Help Menu", "QVServiceStatusAlias", &V::serviceStatusAlias},
    {"Help Menu", "QVWebPageAlias", &V::webPageAlias},
    {"Help Menu", "QVNewUserPageAlias", &V::newUserPageAlias},
    {"Help Menu", "QVUserGuideAlias", &V::userGuideAlias},
    {"Help Menu", "QVBugReportAlias", &V::bugReportAlias},
    {"Help Menu", "QVWHATSITDOURL", &V::whatsItDoUrl},
    {"Help Menu", "QVUpdatesURL", &V::updatesUrl},
    {"Help Menu", "QVFAQURL", &V::faqUrl},
    {"Help Menu", "QVServiceStatusURL", &V::serviceStatusUrl},
    {"Help Menu", "QVWebPageURL", &V::webPageUrl},
    {"Help Menu", "QVNewUserPageURL", &V::newUserPageUrl},
    {"Help Menu", "QVUserGuideURL", &V::userGuideUrl},
    {"Help Menu", "QVBugReportURL", &V::bugReportUrl},
    {"General", "AdDownloadURL", &V::adDownloadUrl},
    {"General", "PartnerLogoDownloadURL", &V::partnerLogoDownloadUrl},
    {"General", "LoginDLLDownloadURL", &V::loginDllDownloadUrl},
    {"General", "LXName", &V::lxName},
    {"General", "LXBrowserTitle", &V::lxBrowserTitle},
    {"General", "LXEnableLabel", &V::lxEnableLabel},
    {"General", "LXMainURL", &V::lxMainUrl},
};

}  // namespace

Customization::Customization(std::string path, std::string demoPath)
    : path_(std::move(path)), demoPath_(std::move(demoPath)) {
    Load();
}

void Customization::Load() {
    const IniFile file(path_);
    const V defaults;
    V v;
    v.version = file.GetInt("System", "Version", defaults.version);
    for (const IntKey& k : kIntKeys) {
        v.*k.field = file.GetInt(k.section, k.key, defaults.*k.field);
    }
    for (const TextKey& k : kTextKeys) {
        v.*k.field = file.GetString(k.section, k.key, defaults.*k.field);
    }
    if (DemoSettings::Read(demoPath_).partner.enableDemo != 0) {
        v.displayPartnerLogo = 1;
    }
    values_ = std::move(v);
}

bool Customization::Update(std::string_view reply) {
    // One pass over the reply, however large, then a lookup per key.
    const std::map<std::string_view, std::string_view> fields = reply::ItemFields(reply);
    const auto versionField = fields.find("Version");
    if (versionField == fields.end()) {
        return false;
    }
    const auto version = static_cast<int>(reply::Number(versionField->second));
    const IniFile stored(path_);
    if (version == stored.GetInt("System", "Version", 0)) {
        return false;
    }
    IniFile file(path_);
    file.DeleteFile();
    for (const IntKey& k : kIntKeys) {
        if (const auto value = fields.find(k.key); value != fields.end()) {
            file.WriteInt(k.section, k.key, static_cast<int>(reply::Number(value->second)));
        }
    }
    for (const TextKey& k : kTextKeys) {
        if (const auto value = fields.find(k.key); value != fields.end()) {
            file.WriteString(k.section, k.key, value->second);
        }
    }
    file.WriteInt("System", "Version", version);
    Load();
    return true;
}

}  // namespace qv
