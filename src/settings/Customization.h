#pragma once

// The partner's customization (Customize.ini): features, labels, the help menu and extension
// addresses. Read once at start-up and again after an update from the partner parameters.

#include <string>
#include <string_view>

namespace qv {

class Customization {
  public:
    struct Values {
        int version = 0;
        // Features
        int disableNewUserDlg = 0;
        int disableForums = 0;
        int disableTextChat = 0;
        int disableTipOfTheDay = 0;
        int disableVoiceMail = 0;
        int disablePersonalInfo = 0;
        int enableModeration = 0;
        // Instant Messages
        std::string imLabel = "Instant Message";
        std::string imMenuLabel = "Send Instant &Message";
        std::string imToolTipLabel = "Send user an Instant Message";
        // Help Menu
        std::string whatsItDoAlias = "W&hat Can Quorvane Do?";
        std::string updatesAlias = "Quorvane Up&dates";
        std::string faqAlias = "&Troubleshooting";
        std::string serviceStatusAlias = "Quorvane Ser&vice Status";
        std::string webPageAlias = "Quorvane &Web Page";
        std::string newUserPageAlias = "Quorvane &New User Page";
        std::string userGuideAlias = "Quorvane &User Guide";
        std::string bugReportAlias = "Submit &Bug Report/Suggestions";
        std::string whatsItDoUrl = "http://www.quorvane.com/whatsitdo.html";
        std::string updatesUrl = "http://www.quorvane.com/updates.html";
        std::string faqUrl = "http://www.quorvane.com/faq.html";
        std::string serviceStatusUrl = "http://www.quorvane.com/status.html";
        std::string webPageUrl = "http://www.quorvane.com/";
        std::string newUserPageUrl = "http://www.quorvane.com/newuser.html";
        std::string userGuideUrl = "http://www.quorvane.com/guide.html";
        std::string bugReportUrl = "http://www.quorvane.com/bugreport.html";
        // General
        std::string adDownloadUrl = "http://download1.quorvane.com/ads/adlist.txt";
        int displayPartnerLogo = 0;
        std::string partnerLogoDownloadUrl;
        std::string loginDllDownloadUrl;
        std::string lxName = "Quorvane on the Web";
        std::string lxBrowserTitle = "Quorvane on the Web";
        std::string lxEnableLabel = "Enable";
        std::string lxMainUrl = "http://www.quorvane.com/tour/";
        int loginDllVersion = 0;
        int disableLoginDll = 0;
        // Personal Info
        int enableModifyNickName = 0;
        int enableModifyCompany = 0;
        int enableModifyFirstName = 0;
        int enableModifyLastName = 0;
        int enableModifyEmail = 0;
        int enableModifyComment = 0;
        int enableModifyHideEmail = 0;
        int enableModifyAllowSpam = 0;
    };

    // demoPath is demo.ini: its [Partner] EnableDemo forces DisplayPartnerLogo on.
    Customization(std::string path, std::string demoPath);

    void Load();
    // Applies a partner-parameters reply. When it carries a Version other than the stored one,
    // the file is rebuilt from the reply's fields and read again; returns true then.
    bool Update(std::string_view reply);

    const Values& Get() const { return values_; }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    std::string demoPath_;
    Values values_;
};

}  // namespace qv
