#pragma once

// What the options dialog edits and what its Apply does, without any window: the pages shown,
// the values each page holds, whether Apply is offered, and Apply's steps in their order. The
// dialog shows these values and calls Apply; tests drive it directly.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "settings/LogFont.h"

namespace qv {

class IniFile;
class Options;
class RunKey;

enum class OptionsPage { General, Internet, PersonalInfo, Messages, Fonts, Internal };

struct OptionsConditions {
    bool accountStored = false;
    bool disablePersonalInfo = false;  // the customization's DisablePersonalInfo
    bool showInternalOptions = false;  // the machine setting ShowInternalOptions
};

// The pages in tab order, as the conditions allow them.
std::vector<OptionsPage> VisibleOptionsPages(const OptionsConditions& conditions);

struct GeneralPageValues {
    bool autoAddToContactList = true;
    bool autoActivateAppOnCall = true;
    bool minimizeOnClose = true;
    bool pushToTalk = false;
    bool playSounds = false;
    bool showDisconnectMsg = false;
    bool autoReconnect = true;
    bool closeForumList = false;
    bool showTrafficMessages = true;
    bool globalPushToTalk = false;
    bool logEvents = true;
    std::uint32_t globalPushToTalkMap = 0x40000DC;
};

struct InternetPageValues {
    bool behindFirewall = false;
    bool runAtStartup = false;
    bool usingModem = false;
    bool usingLan = false;
    std::string homeUrl;
};

struct MessagesPageValues {
    std::string away;
    std::string dnd;
    std::string occupied;
    bool awayNoPrompt = false;
    bool dndNoPrompt = false;
    bool occupiedNoPrompt = false;
};

struct FontsPageValues {
    LogFont list;
    LogFont chat;
};

struct InternalPageValues {
    bool autoAnswer = false;
    bool localEcho = false;
    int codec = 0;
};

// What Apply hands on beyond the settings; a missing function does nothing.
struct OptionsEffects {
    // The engine manager's commands.
    std::function<void(int)> sendBehindFirewall;
    std::function<void(int)> sendLocalEcho;
    std::function<void(int)> sendCodec;
    // Whether the engine manager is idle (no alert about the next connection then).
    std::function<bool()> engineIdle;
    // PushToTalk, GlobalPushToTalk or its key may have changed: the Talk/Mute button and the
    // global key follow.
    std::function<void()> refreshPushToTalk;
    // The fonts reach every window that shows lists, chat and messages; the contact list is
    // redrawn.
    std::function<void(const LogFont& list, const LogFont& chat)> applyFonts;
    // An open custom message dialog for that key ("Away Message", ...) shows the new text.
    std::function<void(const std::string& key, const std::string& text)> updateCustomMessage;
    // The web tour's start page changed.
    std::function<void(const std::string& url)> homeUrlChanged;
    // Checks the personal information and sends it; false stops the rest of Apply.
    std::function<bool()> applyPersonalInfo;
    // A system alert.
    std::function<void(const std::string& text)> addAlert;
};

class OptionsSheet {
  public:
    static constexpr const char* kNetworkAlert =
        "These settings will take effect next time you connect to the voice server.";
    static constexpr const char* kCustomMessages = "Custom Messages";
    static constexpr const char* kLanCommand = "Quorvane.exe -minimized";
    static constexpr const char* kModemCommand = "InternetDetector.exe -noprompt";
    static constexpr int kHighestCodec = 6;

    // programFolder ends in a separator; run values name the program by it.
    OptionsSheet(Options& options, RunKey& runKey, IniFile& userSettings, std::string programFolder,
                 OptionsConditions conditions, OptionsEffects effects);

    const std::vector<OptionsPage>& Pages() const { return pages_; }
    bool Shows(OptionsPage page) const;

    // Every page takes the stored values (the dialog's opening visit).
    void Load();

    // The personal information page's check and send (the form lives with the dialog).
    void UsePersonalInfo(std::function<bool()> apply) {
        effects_.applyPersonalInfo = std::move(apply);
    }

    // A page's control changed: Apply is offered.
    void Changed(OptionsPage page);
    bool ApplyEnabled() const { return applyEnabled_; }

    // "&Restore Defaults" of the fonts page.
    void RestoreDefaultFonts(bool comicSansInstalled);
    // The remap dialog captured a new global key.
    void SetGlobalKey(std::uint32_t map);

    // OK and Apply. Nothing when Apply is not offered. False when the personal information
    // stopped it (Apply stays offered); true otherwise, and Apply is no longer offered.
    bool Apply();

    GeneralPageValues general;
    InternetPageValues internet;
    MessagesPageValues messages;
    FontsPageValues fonts;
    InternalPageValues internal;

  private:
    void ApplyInternet();
    void ApplyGeneral();
    void ApplyFonts();
    void ApplyMessages();
    void ApplyInternal();

    Options& options_;
    RunKey& runKey_;
    IniFile& user_;
    std::string programFolder_;
    OptionsConditions conditions_;
    OptionsEffects effects_;
    std::vector<OptionsPage> pages_;
    bool applyEnabled_ = false;
    bool networkChanged_ = false;
    bool personalInfoChanged_ = false;
};

}  // namespace qv
