#include "directory/DirectoryRequest.h"

#include "platform/FileIo.h"

namespace qv {

bool FileRequest::LoadUploadBody(const std::string& path) {
    std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes || bytes->empty()) {
        return false;
    }
    uploadBody = std::move(*bytes);
    return true;
}

}  // namespace qv
