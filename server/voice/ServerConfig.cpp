#include "ServerConfig.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "SettingLines.h"
#include "TextNumber.h"
#include "VoiceProtocol.h"

namespace qv::voicesvc {

bool ServerConfig::Parse(std::string_view text, ServerConfig& config, std::string& error) {
    ServerConfig result = config;
    servers::SettingLines lines(text);
    while (lines.Next()) {
        const std::string where = lines.Where();
        const std::string key(lines.Key());
        const std::string_view value = lines.Value();
        if (key == "ServerName") {
            if (value.size() > voice::kMaxServerName) {
                error = where + "ServerName is longer than 255 bytes";
                return false;
            }
            result.serverName = std::string(value);
        } else if (key == "RequiredControlBuild") {
            const auto number = servers::ParseNumber(value, 0, 0xFFFFFFFFll);
            if (!number) {
                error = where + "RequiredControlBuild wants a number from 0 to 4294967295";
                return false;
            }
            result.requiredControlBuild = static_cast<std::uint32_t>(*number);
        } else if (key == "RequiredProgramBuild" || key == "RequiredPatcherBuild") {
            const auto number = servers::ParseNumber(value, 0, 0xFFFF);
            if (!number) {
                error = where + key + " wants a number from 0 to 65535";
                return false;
            }
            (key == "RequiredProgramBuild" ? result.requiredProgramBuild
                                           : result.requiredPatcherBuild) =
                static_cast<std::uint16_t>(*number);
        } else if (key == "Certificate" || key == "PrivateKey") {
            (key == "Certificate" ? result.certificateFile : result.privateKeyFile) =
                std::string(value);
        } else if (key == "PlainListen") {
            if (value.empty()) {
                result.plainPort = -1;
            } else if (!servers::ParseHostPort(value, result.plainHost, result.plainPort)) {
                error = where + "PlainListen wants HOST:PORT";
                return false;
            }
        } else if (key == "TicketPublicKey") {
            if (value.empty()) {
                error = where + "TicketPublicKey wants a file name";
                return false;
            }
            result.ticketPublicKey = std::string(value);
        } else if (key == "ForumFile") {
            result.forumFile = std::string(value);
        } else if (key == "MediaPort") {
            const auto number = servers::ParseNumber(value, 0, 65535);
            if (!number) {
                error = where + "MediaPort wants a number from 0 to 65535";
                return false;
            }
            result.mediaPort = static_cast<int>(*number);
        } else if (key == "VoiceCluster") {
            if (value.empty() || value.size() > 64) {
                error = where + "VoiceCluster wants a name of 1 to 64 characters";
                return false;
            }
            result.voiceCluster = std::string(value);
        } else {
            error = where + "unknown key '" + key + "'";
            return false;
        }
    }
    if (!lines.Error().empty()) {
        error = lines.Error();
        return false;
    }
    config = result;
    return true;
}

bool ServerConfig::Load(const std::string& path, ServerConfig& config, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    const ServerConfig before = config;
    if (!Parse(text.str(), config, error)) {
        error = path + ", " + error;
        return false;
    }
    // File names the configuration file gives are taken from its folder.
    const auto folder = std::filesystem::path(path).parent_path();
    const std::pair<std::string ServerConfig::*, const std::string&> files[] = {
        {&ServerConfig::certificateFile, before.certificateFile},
        {&ServerConfig::privateKeyFile, before.privateKeyFile},
        {&ServerConfig::ticketPublicKey, before.ticketPublicKey},
        {&ServerConfig::forumFile, before.forumFile},
    };
    for (const auto& [member, old] : files) {
        std::string& file = config.*member;
        if (file != old && !file.empty() && file.front() != '/') {
            file = (folder / file).string();
        }
    }
    return true;
}

}  // namespace qv::voicesvc
