#include "stores/BlockStore.h"

namespace qv {

BlockStore::BlockStore(DirectoryClient* client, EngineLists* engine, Screen& screen,
                       SystemNotices& notices)
    : client_(client),
      engine_(engine),
      screen_(screen),
      notices_(notices),
      alive_(std::make_shared<BlockStore*>(this)) {}

BlockStore::~BlockStore() {
    *alive_ = nullptr;
}

bool BlockStore::Load(const std::string&) {
    return false;
}
bool BlockStore::Save() {
    return false;
}
void BlockStore::ReplaceFromServer(std::uint32_t, const std::vector<UserProfile>&) {}
void BlockStore::SynchronizeWithServer(std::uint32_t) {}
BlockStore::BlockResult BlockStore::Block(const std::string&, const std::string&,
                                          const std::string&) {
    return BlockResult::Invalid;
}
bool BlockStore::Unblock(const std::string&) {
    return false;
}
bool BlockStore::UnblockAll() {
    return false;
}
bool BlockStore::IsBlocked(const std::string&) const {
    return false;
}
bool BlockStore::IsCustomerServiceName(const std::string&) {
    return false;
}
std::string BlockStore::JournalPath() const {
    return {};
}
std::string BlockStore::EngineList() const {
    return {};
}
void BlockStore::SendToEngine() const {}
void BlockStore::OnAddBlockReply(const std::string&, const std::string&, int) {}
void BlockStore::OnRemoveBlockReply(const std::string&, const std::string&, int) {}

}  // namespace qv
