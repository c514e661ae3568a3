#include "calls/KeyNames.h"

#include <array>
#include <cstdio>
#include <utility>

namespace qv {

namespace {

constexpr std::array<ModifierName, 6> kModifiers{{
    {"NONE", 0},
    {"DOUBLE", key_combo::kDouble},
    {"ALT", key_combo::kAlt},
    {"CTRL", key_combo::kCtrl},
    {"SHIFT", key_combo::kShift},
    {"RELEASE", key_combo::kRelease},
}};

// X11 key symbols, by value so that the core needs no X11 headers.
constexpr std::uint32_t kF1 = 0xffbe;
constexpr std::uint32_t kKp0 = 0xffb0;

constexpr std::array<VirtualKeyEntry, 138> kKeys{{
    {1, "LBUTTON", 0},
    {2, "RBUTTON", 0},
    {3, "CANCEL", 0xff69},
    {4, "MBUTTON", 0},
    {8, "BACK", 0xff08},
    {9, "TAB", 0xff09},
    {12, "CLEAR", 0xff0b},
    {13, "RETURN", 0xff0d},
    {16, "SHIFT", 0xffe1},
    {17, "CTRL", 0xffe3},
    {18, "ALT", 0xffe9},
    {19, "PAUSE", 0xff13},
    {20, "CAPITAL", 0xffe5},
    {27, "ESC", 0xff1b},
    {32, "SPACE", 0x20},
    {33, "PGUP", 0xff55},
    {34, "PGDN", 0xff56},
    {35, "END", 0xff57},
    {36, "HOME", 0xff50},
    {37, "LEFT", 0xff51},
    {38, "UP", 0xff52},
    {39, "RIGHT", 0xff53},
    {40, "DOWN", 0xff54},
    {41, "SELECT", 0xff60},
    // X11 has one Print key, the one Windows calls SNAPSHOT.
    {42, "PRINT", 0},
    {43, "EXECUTE", 0xff62},
    {44, "SNAPSHOT", 0xff61},
    {45, "INSERT", 0xff63},
    {46, "DELETE", 0xffff},
    {47, "HELP", 0xff6a},
    {48, "0", '0'},
    {49, "1", '1'},
    {50, "2", '2'},
    {51, "3", '3'},
    {52, "4", '4'},
    {53, "5", '5'},
    {54, "6", '6'},
    {55, "7", '7'},
    {56, "8", '8'},
    {57, "9", '9'},
    {65, "A", 'a'},
    {66, "B", 'b'},
    {67, "C", 'c'},
    {68, "D", 'd'},
    {69, "E", 'e'},
    {70, "F", 'f'},
    {71, "G", 'g'},
    {72, "H", 'h'},
    {73, "I", 'i'},
    {74, "J", 'j'},
    {75, "K", 'k'},
    {76, "L", 'l'},
    {77, "M", 'm'},
    {78, "N", 'n'},
    {79, "O", 'o'},
    {80, "P", 'p'},
    {81, "Q", 'q'},
    {82, "R", 'r'},
    {83, "S", 's'},
    {84, "T", 't'},
    {85, "U", 'u'},
    {86, "V", 'v'},
    {87, "W", 'w'},
    {88, "X", 'x'},
    {89, "Y", 'y'},
    {90, "Z", 'z'},
    {91, "LWIN", 0xffeb},
    {92, "RWIN", 0xffec},
    {93, "APPS", 0xff67},
    {96, "NUMPAD0", kKp0 + 0},
    {97, "NUMPAD1", kKp0 + 1},
    {98, "NUMPAD2", kKp0 + 2},
    {99, "NUMPAD3", kKp0 + 3},
    {100, "NUMPAD4", kKp0 + 4},
    {101, "NUMPAD5", kKp0 + 5},
    {102, "NUMPAD6", kKp0 + 6},
    {103, "NUMPAD7", kKp0 + 7},
    {104, "NUMPAD8", kKp0 + 8},
    {105, "NUMPAD9", kKp0 + 9},
    {106, "MULTIPLY", 0xffaa},
    {107, "ADD", 0xffab},
    {108, "NUMPADENTER", 0xff8d},
    {109, "SUBTRACT", 0xffad},
    {110, "DECIMAL", 0xffae},
    {111, "DIVIDE", 0xffaf},
    {112, "F1", kF1 + 0},
    {113, "F2", kF1 + 1},
    {114, "F3", kF1 + 2},
    {115, "F4", kF1 + 3},
    {116, "F5", kF1 + 4},
    {117, "F6", kF1 + 5},
    {118, "F7", kF1 + 6},
    {119, "F8", kF1 + 7},
    {120, "F9", kF1 + 8},
    {121, "F10", kF1 + 9},
    {122, "F11", kF1 + 10},
    {123, "F12", kF1 + 11},
    {124, "F13", kF1 + 12},
    {125, "F14", kF1 + 13},
    {126, "F15", kF1 + 14},
    {127, "F16", kF1 + 15},
    {128, "F17", kF1 + 16},
    {129, "F18", kF1 + 17},
    {130, "F19", kF1 + 18},
    {131, "F20", kF1 + 19},
    {132, "F21", kF1 + 20},
    {133, "F22", kF1 + 21},
    {134, "F23", kF1 + 22},
    {135, "F24", kF1 + 23},
    {144, "NUMLOCK", 0xff7f},
    {145, "SCROLL", 0xff14},
    {160, "LSHIFT", 0xffe1},
    {161, "RSHIFT", 0xffe2},
    {162, "LCONTROL", 0xffe3},
    {163, "RCONTROL", 0xffe4},
    {164, "LALT", 0xffe9},
    {165, "RALT", 0xffea},
    {229, "PROCESSKEY", 0},
    {246, "ATTN", 0xfd0e},
    {247, "CRSEL", 0xfd1c},
    {248, "EXSEL", 0xfd1b},
    {249, "EREOF", 0xfd06},
    {250, "PLAY", 0xfd16},
    {251, "ZOOM", 0},
    {252, "NONAME", 0},
    {253, "PA1", 0xfd0a},
    {254, "OEMCLEAR", 0},
    {189, "-", '-'},
    {187, "=", '='},
    {220, "\\", '\\'},
    {221, "]", ']'},
    {219, "[", '['},
    {222, "'", '\''},
    {186, ";", ';'},
    {191, "/", '/'},
    {190, ".", '.'},
    {188, ",", ','},
    {192, "`", '`'},
}};

const VirtualKeyEntry* Find(std::uint32_t code) {
    for (const VirtualKeyEntry& e : kKeys) {
        if (e.code == code) {
            return &e;
        }
    }
    return nullptr;
}

struct ScanEntry {
    std::uint32_t scan;
    std::uint32_t keysym;
};

constexpr std::array<ScanEntry, 12> kScanCodes{{
    {scan_code::kP, 'p'},
    {scan_code::kP, 'P'},
    {scan_code::kT, 't'},
    {scan_code::kT, 'T'},
    {scan_code::kM, 'm'},
    {scan_code::kM, 'M'},
    {scan_code::kH, 'h'},
    {scan_code::kH, 'H'},
    {scan_code::kO, 'o'},
    {scan_code::kO, 'O'},
    {scan_code::kCtrl, 0xffe3},  // Control_L
    {scan_code::kCtrl, 0xffe4},  // Control_R
}};

}  // namespace

std::span<const ModifierName> ModifierNames() {
    return kModifiers;
}

std::span<const VirtualKeyEntry> VirtualKeys() {
    return kKeys;
}

std::string VirtualKeyName(std::uint32_t code) {
    if (const VirtualKeyEntry* e = Find(code)) {
        return e->name;
    }
    char text[32];
    std::snprintf(text, sizeof text, "ASCII(%lu)", static_cast<unsigned long>(code));
    return text;
}

std::uint32_t CombinationModifiers(std::uint32_t combination) {
    std::uint32_t bits = combination & (key_combo::kShift | key_combo::kCtrl | key_combo::kAlt);
    switch (combination & key_combo::kKeyMask) {
        case 16:
            bits &= ~key_combo::kShift;
            break;
        case 17:
            bits &= ~key_combo::kCtrl;
            break;
        case 18:
            bits &= ~key_combo::kAlt;
            break;
        default:
            break;
    }
    return bits;
}

std::string CombinationName(std::uint32_t combination) {
    const std::uint32_t key = combination & key_combo::kKeyMask;
    std::uint32_t bits = combination;
    if (key == 16) {
        bits &= ~key_combo::kShift;
    } else if (key == 17) {
        bits &= ~key_combo::kCtrl;
    } else if (key == 18) {
        bits &= ~key_combo::kAlt;
    }
    std::string text;
    for (const ModifierName& m : kModifiers) {
        if (m.bit != 0 && (bits & m.bit) != 0) {
            text += m.name;
            text += " + ";
        }
    }
    if (!text.empty()) {
        text += ' ';
    }
    return text + VirtualKeyName(key);
}

std::uint32_t KeySymForVirtualKey(std::uint32_t code) {
    const VirtualKeyEntry* e = Find(code);
    return e != nullptr ? e->keysym : 0;
}

std::optional<std::uint8_t> VirtualKeyForKeySym(std::uint32_t keysym) {
    if (keysym >= 'A' && keysym <= 'Z') {
        keysym += 'a' - 'A';
    }
    // With Shift held the key reports its shifted symbol; the standard layout's pairs.
    static constexpr std::pair<char, char> kShifted[] = {
        {'|', '\\'}, {'_', '-'}, {'+', '='}, {'}', ']'}, {'{', '['}, {'"', '\''}, {':', ';'},
        {'?', '/'},  {'>', '.'}, {'<', ','}, {'~', '`'}, {'!', '1'}, {'@', '2'},  {'#', '3'},
        {'$', '4'},  {'%', '5'}, {'^', '6'}, {'&', '7'}, {'*', '8'}, {'(', '9'},  {')', '0'}};
    for (const auto& [shifted, plain] : kShifted) {
        if (keysym == static_cast<unsigned char>(shifted)) {
            keysym = static_cast<unsigned char>(plain);
        }
    }
    if (keysym == 0) {
        return std::nullopt;
    }
    for (const VirtualKeyEntry& e : kKeys) {
        if (e.keysym == keysym) {
            return e.code;
        }
    }
    return std::nullopt;
}

std::uint32_t ScanCodeForKeySym(std::uint32_t keysym) {
    for (const ScanEntry& e : kScanCodes) {
        if (e.keysym == keysym) {
            return e.scan;
        }
    }
    return 0;
}

}  // namespace qv
