#pragma once

// The only way the core reaches what a person sees: message boxes, flashing the main window,
// opening a URL or document, starting a program. The windows layer implements it; tests use a
// recording fake that scripts the answers.

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// Message box styles and answers keep the values the program's texts were written against, so a
// style reads the same everywhere: buttons | icon | default button.
namespace mb {
inline constexpr std::uint32_t kOk = 0x0;
inline constexpr std::uint32_t kOkCancel = 0x1;
inline constexpr std::uint32_t kAbortRetryIgnore = 0x2;
inline constexpr std::uint32_t kYesNoCancel = 0x3;
inline constexpr std::uint32_t kYesNo = 0x4;
inline constexpr std::uint32_t kRetryCancel = 0x5;
inline constexpr std::uint32_t kButtonsMask = 0xF;

inline constexpr std::uint32_t kIconStop = 0x10;
inline constexpr std::uint32_t kIconQuestion = 0x20;
inline constexpr std::uint32_t kIconExclamation = 0x30;
inline constexpr std::uint32_t kIconInformation = 0x40;
inline constexpr std::uint32_t kIconMask = 0xF0;

inline constexpr std::uint32_t kDefaultButton2 = 0x100;
inline constexpr std::uint32_t kDefaultButton3 = 0x200;
inline constexpr std::uint32_t kDefaultMask = 0xF00;

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdAbort = 3;
inline constexpr int kIdRetry = 4;
inline constexpr int kIdIgnore = 5;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
}  // namespace mb

class Screen {
  public:
    virtual ~Screen() = default;

    // Shows a modal message box and returns the button chosen (mb::kIdOk, ...).
    virtual int MessageBox(const std::string& text, const std::string& caption,
                           std::uint32_t style) = 0;
    // Starts or stops drawing the user's attention to the main window.
    virtual void FlashMainWindow(bool on) = 0;
    // Opens a web address or a document with the desktop's opener.
    virtual bool OpenUrl(const std::string& url) = 0;
    // Starts a program with its arguments, without waiting for it.
    virtual bool StartProgram(const std::string& program, const std::vector<std::string>& args) = 0;
};

// Starts a program detached from this process (posix_spawn); shared by the real screens.
bool SpawnDetached(const std::string& program, const std::vector<std::string>& args);

}  // namespace qv
