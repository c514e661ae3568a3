#include "stores/ContactStore.h"

namespace qv {

ContactStore::ContactStore(DirectoryClient* client, EngineLists* engine, Screen& screen,
                           SystemNotices& notices)
    : client_(client),
      engine_(engine),
      screen_(screen),
      notices_(notices),
      alive_(std::make_shared<ContactStore*>(this)) {}

ContactStore::~ContactStore() {
    *alive_ = nullptr;
}

bool ContactStore::Load(const std::string&) {
    return false;
}
bool ContactStore::Save() {
    return false;
}
void ContactStore::ReplaceFromServer(const std::string&, std::uint32_t,
                                     const std::vector<std::string>&,
                                     const std::vector<UserProfile>&) {}
bool ContactStore::ImportOld(const std::string&, const std::string&) {
    return false;
}
bool ContactStore::OpenForUser(const std::string&, const std::string&) {
    return false;
}
void ContactStore::Clear() {}
void ContactStore::SynchronizeWithServer(std::uint32_t) {}
bool ContactStore::AddContact(const UserProfile&) {
    return false;
}
bool ContactStore::DeleteContact(const std::string&) {
    return false;
}
bool ContactStore::AddGroup(const std::string&) {
    return false;
}
bool ContactStore::DeleteGroup(const std::string&) {
    return false;
}
bool ContactStore::RemoveGroupAsking(const std::string&) {
    return false;
}
std::string ContactStore::GroupRemovalWarning(const std::string&) const {
    return {};
}
void ContactStore::UpdateProfile(const UserProfile&) {}
UserProfile* ContactStore::Find(const std::string&) {
    return nullptr;
}
const UserProfile* ContactStore::Find(const std::string&) const {
    return nullptr;
}
const ContactGroup* ContactStore::FindGroup(const std::string&) const {
    return nullptr;
}
ContactGroup* ContactStore::FindGroup(const std::string&) {
    return nullptr;
}
std::string ContactStore::JournalPath() const {
    return {};
}
bool ContactStore::IsOnline(const UserProfile& contact) {
    return (contact.presenceFlags & kOnline) != 0 && (contact.presenceFlags & kHidesOnline) == 0;
}
std::string ContactStore::WatchList() const {
    return {};
}
void ContactStore::OnWatch(const std::string&, std::int16_t, bool, bool) {}
void ContactStore::OnConnectionState(int) {}
void ContactStore::SetWaitingAlertTime(const std::string&, std::int32_t) {}
bool ContactStore::AddUnknownSender(const std::string&, const std::string&, bool) {
    return false;
}
void ContactStore::OnAddContactReply(const std::string&, const std::string&, int) {}
void ContactStore::OnDeleteContactReply(const std::string&, const std::string&, int) {}
void ContactStore::OnAddGroupReply(const std::string&, const std::string&, int) {}
void ContactStore::OnDeleteGroupReply(const std::string&, const std::string&, int) {}

}  // namespace qv
