#include "http/PageRouter.h"

#include "util/Text.h"

namespace qv::dirsvc {

void PageRouter::Add(std::string_view name, Handler handler) {
    handlers_[text::AsciiLower(name)] = std::move(handler);
}

Reply PageRouter::Dispatch(const PageRequest& request) const {
    const auto it = handlers_.find(std::string(request.page));
    if (it == handlers_.end()) {
        return Reply::Fail("Unknown page").WithStatus(404);
    }
    return it->second(request);
}

bool PageRouter::Has(std::string_view name) const {
    return handlers_.count(text::AsciiLower(name)) != 0;
}

}  // namespace qv::dirsvc
