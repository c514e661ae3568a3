#include "DirectoryAccounts.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <ctime>
#include <vector>

#include "TicketKeys.h"

namespace qv::voicesvc::test {

namespace {

// The value of "key=" up to the next 0xFF in a directory reply.
std::string Field(const std::string& reply, const std::string& key) {
    const std::size_t at = reply.find(key + "=");
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t start = at + key.size() + 1;
    return reply.substr(start, reply.find('\xFF', start) - start);
}

}  // namespace

Account CreateAccount(const qv::test::DirectoryServiceProcess& directory,
                      const std::string& nickname) {
    httplib::Client client("http://" + directory.Host());
    const std::size_t mailBefore = directory.Mail().size();
    const auto registered =
        client.Get("/Quorvane/RegisterEx.asp?NickName=" + nickname +
                   "&Password=&FirstName=Ann&LastName=Lee" + "&Email1=" + nickname +
                   "%40example.org&Company=&Comment=&HideEmail=0&PartnerId=1" + "&SendMailsOK=1");
    if (!registered || !registered->body.starts_with("Success")) {
        ADD_FAILURE() << "RegisterEx failed: " << (registered ? registered->body : "no reply");
        return {};
    }
    const std::vector<std::string> mail = directory.Mail();
    if (mail.size() <= mailBefore) {
        ADD_FAILURE() << "no welcome mail";
        return {};
    }
    const std::string id = qv::test::MailValue(mail.back(), "Your Quorvane Number is ");
    const std::string password = qv::test::MailValue(mail.back(), "Your password is ");
    const auto login = client.Get("/Quorvane/LoginEx2.asp?LoginId=" + id + "&Password=" +
                                  httplib::detail::encode_query_param(password) + "&PartnerId=1");
    if (!login || !login->body.starts_with("Success")) {
        ADD_FAILURE() << "LoginEx2 failed: " << (login ? login->body : "no reply");
        return {};
    }
    return {id, Field(login->body, "NickName"), Field(login->body, "ConnectId"),
            Field(login->body, "VoiceTicket")};
}

std::string SignedTicket(const qv::test::DirectoryServiceProcess& directory, const Account& account,
                         TicketFields fields) {
    ticket::SecretKey key{};
    std::string error;
    if (!ticket::LoadOrCreateSigningKey(directory.TicketKey(), key, error)) {
        ADD_FAILURE() << error;
        return {};
    }
    ticket::VoiceTicket ticket;
    ticket.userId = fields.userId.empty() ? account.id : fields.userId;
    ticket.nickname = fields.nickname.empty() ? account.nickname : fields.nickname;
    ticket.expires = std::time(nullptr) + fields.expiresIn;
    ticket.nonce = ticket::NewNonce();
    ticket.cluster = fields.cluster;
    return ticket::Sign(ticket, key);
}

}  // namespace qv::voicesvc::test
