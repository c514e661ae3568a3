#include "app/FileTypeRegistration.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/FileIo.h"
#include "platform/Registry.h"

extern char** environ;

namespace qv {

namespace {

constexpr const char* kStaleKeys[] = {
    ".qdx",
    "Quorvane.Document\\DefaultIcon",
    "Quorvane.Document\\shell\\open\\command",
    "Quorvane.Document\\shell\\open\\ddexec",
    "Quorvane.Document\\shell\\open",
    "Quorvane.Document\\shell\\print\\command",
    "Quorvane.Document\\shell\\print",
    "Quorvane.Document\\shell\\printto\\command",
    "Quorvane.Document\\shell\\printto",
    "Quorvane.Document\\shell\\",
    "Quorvane.Document",
    "Quorvane\\DefaultIcon",
    "Quorvane\\shell\\open\\command",
    "Quorvane\\shell\\open\\ddexec",
    "Quorvane\\shell\\open",
    "Quorvane\\shell\\",
    "Quorvane",
};

constexpr const char* kNetscapeMain = "Software\\Netscape\\Netscape Navigator\\Main";
constexpr const char* kNetscapeTrusted =
    "\\Software\\Netscape\\Netscape Navigator\\User Trusted External Applications";
constexpr const char* kNetscapeSuffixes = "\\Software\\Netscape\\Netscape Navigator\\Suffixes";
constexpr const char* kNetscapeViewers = "\\Software\\Netscape\\Netscape Navigator\\Viewers";
constexpr const char* kMimeType = "application/qdx";

void SetString(Registry& r, Hive hive, const std::string& path, const std::string& name,
               const std::string& value) {
    r.CreateKey(hive, path);
    r.SetValue(hive, path, name, RegistryValue::String(value));
}

void RegisterNetscapeViewer(Registry& r, const std::string& programPath) {
    const Hive cu = Hive::CurrentUser;
    SetString(r, cu, kNetscapeTrusted, programPath, "Yes");
    SetString(r, cu, kNetscapeSuffixes, kMimeType, "qdx");
    SetString(r, cu, kNetscapeViewers, kMimeType, programPath + " \"%1\"");
    for (int i = 0;; ++i) {
        const std::string name = "TYPE" + std::to_string(i);
        auto value = r.GetValue(cu, kNetscapeViewers, name);
        if (!value) {
            SetString(r, cu, kNetscapeViewers, name, kMimeType);
            return;
        }
        if (value->type == RegistryValueType::String && value->data == kMimeType) {
            return;
        }
    }
}

bool WriteIfChanged(const std::string& path, const std::string& content) {
    auto current = ReadWholeFile(path);
    if (current && *current == content) {
        return false;
    }
    return WriteFileAtomically(path, content);
}

// Runs a desktop tool, if it exists, and waits for it: it only updates caches of our own files.
void RunTool(const char* tool, const std::string& folder) {
    std::vector<std::string> args{tool, folder};
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawnp(&pid, tool, &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

std::string DesktopEscape(const std::string& exec) {
    // A literal percent sign in Exec must be doubled; %f is added by us.
    std::string out;
    for (char c : exec) {
        if (c == '%') {
            out += "%%";
        } else if (c != '\n' && c != '\r') {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

void RegisterFileType(Registry& r, const std::string& programFolder) {
    const Hive cr = Hive::ClassesRoot;
    for (const char* key : kStaleKeys) {
        r.DeleteKey(cr, key);
    }
    SetString(r, cr, ".qdx", "", "Quorvane");
    SetString(r, cr, "Quorvane", "", "Quorvane File");
    r.SetValue(cr, "Quorvane", "EditFlags", RegistryValue::Binary(std::string("\0\0\1\0", 4)));
    SetString(r, cr, "Quorvane\\shell\\open\\command", "", programFolder + "QUORVANE.EXE \"%1\"");
    SetString(r, cr, "Quorvane\\DefaultIcon", "", programFolder + "QUORVANE.EXE,1");

    if (r.KeyExists(Hive::CurrentUser, kNetscapeMain)) {
        RegisterNetscapeViewer(r, programFolder + "QUORVANE.EXE");
    }
}

bool InstallDesktopIntegration(const DesktopIntegration& desktop) {
    if (desktop.dataHome.empty()) {
        return false;
    }
    const std::string mimeFolder = desktop.dataHome + "mime/";
    const std::string packages = mimeFolder + "packages/";
    const std::string applications = desktop.dataHome + "applications/";
    if (!MakeFolders(packages) || !MakeFolders(applications)) {
        return false;
    }
    const std::string mime =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\"application/qdx\">\n"
        "    <comment>Quorvane Document</comment>\n"
        "    <glob pattern=\"*.qdx\"/>\n"
        "  </mime-type>\n"
        "</mime-info>\n";
    const std::string entry =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Quorvane\n"
        "Comment=Internet voice calls, voice chat forums and instant messages\n"
        "Exec=" +
        DesktopEscape(desktop.exec) +
        " %f\n"
        "MimeType=application/qdx;\n"
        "Categories=Network;Telephony;InstantMessaging;\n"
        "Terminal=false\n";
    const bool mimeChanged = WriteIfChanged(packages + "quorvane-qdx.xml", mime);
    const bool entryChanged = WriteIfChanged(applications + "quorvane.desktop", entry);
    if (mimeChanged) {
        RunTool("update-mime-database", mimeFolder);
    }
    if (entryChanged) {
        RunTool("update-desktop-database", applications);
    }
    return mimeChanged || entryChanged;
}

}  // namespace qv
