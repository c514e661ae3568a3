#include "settings/OptionsSheet.h"

#include <algorithm>

#include "settings/IniFile.h"
#include "settings/Options.h"
#include "settings/RunKey.h"

namespace qv {

namespace {

constexpr const char* kAwayKey = "Away Message";
constexpr const char* kDndKey = "DND Message";
constexpr const char* kOccupiedKey = "Occupied Message";

int Flag(bool on) {
    return on ? 1 : 0;
}

// A custom message is stored in 100 bytes with its terminating zero; a character is never cut
// in half.
std::string Cut(const std::string& text) {
    std::size_t size = std::min<std::size_t>(text.size(), 99);
    if (size < text.size()) {
        while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) {
            --size;
        }
    }
    return text.substr(0, size);
}

}  // namespace

std::vector<OptionsPage> VisibleOptionsPages(const OptionsConditions& c) {
    std::vector<OptionsPage> pages;
    if (c.accountStored) {
        pages.push_back(OptionsPage::General);
    }
    pages.push_back(OptionsPage::Internet);
    if (c.accountStored && !c.disablePersonalInfo) {
        pages.push_back(OptionsPage::PersonalInfo);
    }
    if (c.accountStored) {
        pages.push_back(OptionsPage::Messages);
        pages.push_back(OptionsPage::Fonts);
    }
    if (c.showInternalOptions) {
        pages.push_back(OptionsPage::Internal);
    }
    return pages;
}

OptionsSheet::OptionsSheet(Options& options, RunKey& runKey, IniFile& userSettings,
                           std::string programFolder, OptionsConditions conditions,
                           OptionsEffects effects)
    : options_(options),
      runKey_(runKey),
      user_(userSettings),
      programFolder_(std::move(programFolder)),
      conditions_(conditions),
      effects_(std::move(effects)),
      pages_(VisibleOptionsPages(conditions)) {
    Load();
}

bool OptionsSheet::Shows(OptionsPage page) const {
    return std::find(pages_.begin(), pages_.end(), page) != pages_.end();
}

void OptionsSheet::Load() {
    const Options& o = options_;
    general.autoAddToContactList = o.AutoAddToContactList() != 0;
    general.autoActivateAppOnCall = o.AutoActivateAppOnCall() != 0;
    general.minimizeOnClose = o.MinimizeOnClose() != 0;
    general.pushToTalk = o.PushToTalk() != 0;
    general.playSounds = o.PlaySounds() != 0;
    general.showDisconnectMsg = o.ShowDisconnectMsg() != 0;
    general.autoReconnect = o.AutoReconnect() != 0;
    general.closeForumList = o.CloseForumList() != 0;
    general.showTrafficMessages = o.ShowTrafficMessages() != 0;
    general.globalPushToTalk = o.GlobalPushToTalk() != 0;
    general.logEvents = o.LogEvents() != 0;
    general.globalPushToTalkMap = static_cast<std::uint32_t>(o.GlobalPushToTalkMap());

    internet.behindFirewall = o.BehindFirewall() != 0;
    internet.runAtStartup = o.RunAtStartup();
    // Without start-up neither connection type is shown as chosen.
    internet.usingModem = internet.runAtStartup && o.UsingModem() != 0;
    internet.usingLan = internet.runAtStartup && o.UsingLan() != 0;
    internet.homeUrl = o.LumivexHomeURL();

    messages.away = o.AwayMessage();
    messages.dnd = o.DndMessage();
    messages.occupied = o.OccupiedMessage();
    messages.awayNoPrompt = user_.GetInt(kCustomMessages, "Away Message Dialog", 0) != 0;
    messages.dndNoPrompt = user_.GetInt(kCustomMessages, "DND Message Dialog", 0) != 0;
    messages.occupiedNoPrompt = user_.GetInt(kCustomMessages, "Occupied Message Dialog", 0) != 0;

    fonts.list = o.ListFont();
    fonts.chat = o.ChatFont();

    internal.autoAnswer = o.AutoAnswer() != 0;
    internal.localEcho = o.LocalEcho() != 0;
    internal.codec = o.Codec();

    applyEnabled_ = false;
    networkChanged_ = false;
    personalInfoChanged_ = false;
}

void OptionsSheet::Changed(OptionsPage page) {
    applyEnabled_ = true;
    if (page == OptionsPage::PersonalInfo) {
        personalInfoChanged_ = true;
    }
}

void OptionsSheet::RestoreDefaultFonts(bool comicSansInstalled) {
    fonts.list = LogFont::DefaultListFont(comicSansInstalled);
    fonts.chat = LogFont::DefaultChatFont();
    Changed(OptionsPage::Fonts);
}

void OptionsSheet::SetGlobalKey(std::uint32_t map) {
    general.globalPushToTalkMap = map;
    Changed(OptionsPage::General);
}

bool OptionsSheet::Apply() {
    if (!applyEnabled_) {
        return true;
    }
    ApplyInternet();
    if (Shows(OptionsPage::General)) {
        ApplyGeneral();
    }
    if (Shows(OptionsPage::Fonts)) {
        ApplyFonts();
    }
    if (Shows(OptionsPage::Messages)) {
        ApplyMessages();
    }
    if (Shows(OptionsPage::Internal)) {
        ApplyInternal();
    }
    // An untouched profile is not sent again.
    if (Shows(OptionsPage::PersonalInfo) && personalInfoChanged_ && effects_.applyPersonalInfo) {
        if (!effects_.applyPersonalInfo()) {
            return false;
        }
        personalInfoChanged_ = false;
    }
    if (networkChanged_) {
        const bool idle = !effects_.engineIdle || effects_.engineIdle();
        if (!idle && effects_.addAlert) {
            effects_.addAlert(kNetworkAlert);
        }
        networkChanged_ = false;
    }
    applyEnabled_ = false;
    return true;
}

void OptionsSheet::ApplyInternet() {
    InternetPageValues& v = internet;
    // The connection type and the firewall need a new connection to count.
    const bool wasLan = options_.UsingLan() != 0;
    const bool wasModem = options_.UsingModem() != 0;
    if (v.runAtStartup && !v.usingLan && !v.usingModem) {
        // Start-up without a connection type would start nothing: keep the one in use.
        v.usingLan = options_.UsingLan() != 0;
        v.usingModem = !v.usingLan;
    }
    if (!v.runAtStartup) {
        v.usingModem = false;
        v.usingLan = false;
        runKey_.Delete(RunKey::kQuorvane);
        runKey_.Delete(RunKey::kInternetDetector);
    } else if (v.usingLan) {
        runKey_.Set(RunKey::kQuorvane, programFolder_ + kLanCommand);
        runKey_.Delete(RunKey::kInternetDetector);
        options_.SetUsingLan(1);
        options_.SetUsingModem(0);
    } else if (v.usingModem) {
        runKey_.Set(RunKey::kInternetDetector, programFolder_ + kModemCommand);
        runKey_.Delete(RunKey::kQuorvane);
        options_.SetUsingModem(1);
        options_.SetUsingLan(0);
    }
    if ((options_.UsingLan() != 0) != wasLan || (options_.UsingModem() != 0) != wasModem) {
        networkChanged_ = true;
    }
    options_.SetRunAtStartup(Flag(v.runAtStartup));
    if (options_.BehindFirewall() != Flag(v.behindFirewall)) {
        networkChanged_ = true;
    }
    options_.SetBehindFirewall(Flag(v.behindFirewall));
    if (effects_.sendBehindFirewall) {
        effects_.sendBehindFirewall(Flag(v.behindFirewall));
    }
    if (conditions_.accountStored) {
        const bool changed = options_.LumivexHomeURL() != v.homeUrl;
        options_.SetLumivexHomeURL(v.homeUrl);
        if (changed && effects_.homeUrlChanged) {
            effects_.homeUrlChanged(v.homeUrl);
        }
    }
}

void OptionsSheet::ApplyGeneral() {
    const GeneralPageValues& v = general;
    options_.SetAutoAddToContactList(Flag(v.autoAddToContactList));
    options_.SetAutoActivateAppOnCall(Flag(v.autoActivateAppOnCall));
    options_.SetMinimizeOnClose(Flag(v.minimizeOnClose));
    options_.SetPushToTalk(Flag(v.pushToTalk));
    options_.SetPlaySounds(Flag(v.playSounds));
    options_.SetShowDisconnectMsg(Flag(v.showDisconnectMsg));
    options_.SetAutoReconnect(Flag(v.autoReconnect));
    options_.SetCloseForumList(Flag(v.closeForumList));
    options_.SetShowTrafficMessages(Flag(v.showTrafficMessages));
    options_.SetLogEvents(Flag(v.logEvents));
    options_.SetGlobalPushToTalk(Flag(v.globalPushToTalk));
    options_.SetGlobalPushToTalkMap(static_cast<int>(v.globalPushToTalkMap));
    if (effects_.refreshPushToTalk) {
        effects_.refreshPushToTalk();
    }
}

void OptionsSheet::ApplyFonts() {
    options_.SetChatFont(fonts.chat);
    options_.SetListFont(fonts.list);
    if (effects_.applyFonts) {
        effects_.applyFonts(options_.ListFont(), options_.ChatFont());
    }
}

void OptionsSheet::ApplyMessages() {
    MessagesPageValues& v = messages;
    user_.WriteInt(kCustomMessages, "Away Message Dialog", Flag(v.awayNoPrompt));
    user_.WriteInt(kCustomMessages, "Occupied Message Dialog", Flag(v.occupiedNoPrompt));
    user_.WriteInt(kCustomMessages, "DND Message Dialog", Flag(v.dndNoPrompt));
    v.away = Cut(v.away);
    v.dnd = Cut(v.dnd);
    v.occupied = Cut(v.occupied);
    options_.SetAwayMessage(v.away);
    options_.SetDndMessage(v.dnd);
    options_.SetOccupiedMessage(v.occupied);
    if (effects_.updateCustomMessage) {
        effects_.updateCustomMessage(kAwayKey, v.away);
        effects_.updateCustomMessage(kDndKey, v.dnd);
        effects_.updateCustomMessage(kOccupiedKey, v.occupied);
    }
}

void OptionsSheet::ApplyInternal() {
    InternalPageValues& v = internal;
    options_.SetAutoAnswer(Flag(v.autoAnswer));
    if (options_.LocalEcho() != Flag(v.localEcho)) {
        options_.SetLocalEcho(Flag(v.localEcho));
        if (effects_.sendLocalEcho) {
            effects_.sendLocalEcho(Flag(v.localEcho));
        }
    }
    v.codec = std::clamp(v.codec, 0, kHighestCodec);
    if (options_.Codec() != v.codec) {
        options_.SetCodec(v.codec);
        if (effects_.sendCodec) {
            effects_.sendCodec(v.codec);
        }
    }
}

}  // namespace qv
