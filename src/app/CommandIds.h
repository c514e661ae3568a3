#pragma once

// Command ids of menus, tray menus and buttons. Windows dispatch them through their command maps.

namespace qv::cmd {

// File menu
inline constexpr int kExit = 32771;
inline constexpr int kLoginAsNewUser = 32794;
inline constexpr int kConnect = 32799;
inline constexpr int kDisconnect = 32800;
inline constexpr int kSelectVoiceServer = 32805;
inline constexpr int kLogoff = 32880;

// Status menu
inline constexpr int kStatusNormal = 32868;
inline constexpr int kStatusAway = 32869;
inline constexpr int kStatusOccupied = 32870;
inline constexpr int kStatusDoNotDisturb = 32871;
inline constexpr int kStatusAvailableForChat = 32872;
inline constexpr int kStatusInvisible = 32873;

// Help menu
inline constexpr int kHelpWhatsItDo = 32905;
inline constexpr int kHelpUpdates = 32906;
inline constexpr int kHelpFaq = 32798;
inline constexpr int kHelpServiceStatus = 32819;
inline constexpr int kHelpWebPage = 32828;
inline constexpr int kHelpUserGuide = 32797;
inline constexpr int kHelpNewUserPage = 32877;
inline constexpr int kHelpBugReport = 32829;

// Tools menu
inline constexpr int kSoundSetupWizard = 32801;
inline constexpr int kMicTestWizard = 32802;
inline constexpr int kInternetTestWizard = 32811;

// View menu: the forum list (no menu of the classic program had it).
inline constexpr int kViewForums = 32970;

// System menu
inline constexpr int kKeepWindowOnTop = 32837;

// Tray menu
inline constexpr int kTrayShow = 32787;
inline constexpr int kTrayExit = 32788;
inline constexpr int kTrayConnect = 32831;
inline constexpr int kTrayDisconnect = 32832;

}  // namespace qv::cmd

namespace qv::wm {

// Window messages with a meaning of their own.
inline constexpr int kTrayCallback = 1024;
inline constexpr int kReconnect = 1025;
inline constexpr int kTalkStop = 2325;
inline constexpr int kOpenCommandFile = 8524;

}  // namespace qv::wm
