#include "pages/SessionCheck.h"

#include "pages/Messages.h"
#include "store/SessionStore.h"
#include "util/Clock.h"

namespace qv::dirsvc {

std::optional<std::int64_t> SessionCheck::User(SessionStore& sessions, const Clock& clock,
                                               std::string_view connectionId,
                                               std::string& failure) {
    std::int64_t user = 0;
    switch (sessions.Find(connectionId, clock.Now(), user)) {
        case StoreStatus::kOk:
            return user;
        case StoreStatus::kError:
            failure = messages::kDatabase;
            break;
        default:
            failure = messages::kInvalidConnection;
            break;
    }
    return std::nullopt;
}

}  // namespace qv::dirsvc
