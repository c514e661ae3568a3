#include "settings/RunKey.h"

#include <cctype>
#include <cstdio>

#include "platform/FileIo.h"

namespace qv {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

// Desktop entry values may not hold line breaks.
std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return out;
}

}  // namespace

RunKey::RunKey(Registry& registry, AutostartMirror mirror)
    : key_(registry), mirror_(std::move(mirror)) {}

bool RunKey::Open() {
    return key_.Create(Hive::LocalMachine, kPath);
}

std::string RunKey::Get(std::string_view name) const {
    std::string value;
    key_.GetString(name, value);
    return value;
}

bool RunKey::Has(std::string_view name) const {
    return key_.HasValue(name);
}

bool RunKey::Set(std::string_view name, std::string_view command) {
    if (!key_.SetString(name, command)) {
        return false;
    }
    WriteEntry(name, command);
    return true;
}

bool RunKey::Delete(std::string_view name) {
    bool had = key_.DeleteValue(name);
    if (!mirror_.folder.empty()) {
        std::remove(EntryPath(name).c_str());
    }
    return had;
}

std::string RunKey::EntryPath(std::string_view name) const {
    std::string file;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        file.push_back(std::isalnum(u) ? static_cast<char>(std::tolower(u)) : '-');
    }
    return mirror_.folder + file + ".desktop";
}

bool RunKey::WriteEntry(std::string_view name, std::string_view command) const {
    if (mirror_.folder.empty() || !MakeFolders(mirror_.folder)) {
        return false;
    }
    // A run value names the program by its folder; here it starts as this program does.
    std::string exec(command);
    const std::string self = mirror_.programFolder + "quorvane.exe";
    if (!mirror_.programCommand.empty() && StartsWithNoCase(exec, self)) {
        exec = mirror_.programCommand + exec.substr(self.size());
    }
    // No internet detector ships here: the program itself starts hidden instead, and its
    // reconnect poll waits for the dial-up link as the detector would have.
    const std::string detector = mirror_.programFolder + "internetdetector.exe";
    if (!mirror_.programCommand.empty() && StartsWithNoCase(exec, detector)) {
        exec = mirror_.programCommand + " -minimized";
    }
    std::string entry = "[Desktop Entry]\nType=Application\nName=" + OneLine(name) +
                        "\nExec=" + OneLine(exec) +
                        "\nX-GNOME-Autostart-enabled=true\nNoDisplay=true\n";
    return WriteFileAtomically(EntryPath(name), entry);
}

}  // namespace qv
