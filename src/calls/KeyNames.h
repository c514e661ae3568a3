#pragma once

// The push-to-talk key combination as it is stored (GlobalPushToTalkMap), its name as the options
// page and the remap dialog show it, and the key symbols the keys are found by on this platform:
// the Windows virtual-key codes of the stored value and the hardware scan codes of the program's
// own keys map to X11 key symbols through the tables here, and nowhere else.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace qv {

namespace key_combo {
inline constexpr std::uint32_t kKeyMask = 0xFF;
inline constexpr std::uint32_t kRelease = 0x2000000;
inline constexpr std::uint32_t kShift = 0x4000000;
inline constexpr std::uint32_t kAlt = 0x8000000;
inline constexpr std::uint32_t kCtrl = 0x10000000;
inline constexpr std::uint32_t kDouble = 0x20000000;
// SHIFT with the backslash key.
inline constexpr std::uint32_t kDefault = 0x40000DC;
}  // namespace key_combo

struct ModifierName {
    const char* name;
    std::uint32_t bit;
};

struct VirtualKeyEntry {
    std::uint8_t code;
    const char* name;
    // The X11 key symbol of the key, 0 when it has none (mouse buttons, keys this platform does
    // not have): such a key keeps its name but cannot be grabbed.
    std::uint32_t keysym;
};

// "NONE" first (never shown as a modifier), then the display order.
std::span<const ModifierName> ModifierNames();
// The 138 named keys in table order.
std::span<const VirtualKeyEntry> VirtualKeys();

// The key's name, "ASCII(<code>)" for a code the table does not name.
std::string VirtualKeyName(std::uint32_t code);
// "SHIFT +  \" for the default: each modifier in table order followed by " + ", then a space and
// the key's name. The modifier that is the key itself is not written.
std::string CombinationName(std::uint32_t combination);
// The modifier bits that count for the key of the combination (DOUBLE and RELEASE are not used;
// the key's own modifier is dropped).
std::uint32_t CombinationModifiers(std::uint32_t combination);

// 0 when the key has no key symbol here.
std::uint32_t KeySymForVirtualKey(std::uint32_t code);
// The virtual key of a key symbol (letters in either case); nullopt for one the table lacks.
std::optional<std::uint8_t> VirtualKeyForKeySym(std::uint32_t keysym);

// The program's own keys are told by their scan codes on the standard layout.
namespace scan_code {
inline constexpr std::uint32_t kO = 24;
inline constexpr std::uint32_t kP = 25;
inline constexpr std::uint32_t kT = 20;
inline constexpr std::uint32_t kH = 35;
inline constexpr std::uint32_t kM = 50;
inline constexpr std::uint32_t kCtrl = 29;
}  // namespace scan_code

// The scan code of a key symbol for the program's own keys (either Ctrl key gives kCtrl); 0 for
// every other key.
std::uint32_t ScanCodeForKeySym(std::uint32_t keysym);

}  // namespace qv
