#include "ServiceFixture.h"

#include "directory/ReplyGrammar.h"

namespace qv::dirsvc::test {

std::string Encode(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            encoded.push_back(c);
        } else if (byte == 0xFF) {
            encoded += "%20";
        } else {
            encoded.push_back('%');
            encoded.push_back(kHex[byte >> 4]);
            encoded.push_back(kHex[byte & 0x0F]);
        }
    }
    return encoded;
}

std::string RegisterTarget(std::string_view nickName, std::string_view email,
                           std::string_view firstName, std::string_view lastName) {
    return "\\Quorvane\\RegisterEx.asp?NickName=" + Encode(nickName) +
           "&Password=&FirstName=" + Encode(firstName) + "&LastName=" + Encode(lastName) +
           "&Email1=" + Encode(email) + "&Company=&Comment=&HideEmail=0&PartnerId=1&SendMailsOK=1";
}

ServiceOptions ServiceFixture::DefaultOptions() const {
    ServiceOptions options;
    options.databasePath = folder_.File("directory.db");
    options.filesFolder = folder_.File("files");
    options.mailFolder = folder_.File("mail");
    options.hashCost = HashCost::Minimal();
    options.http.threads = 4;
    options.tickets.keyPath = folder_.File("keys/ticket.key");
    return options;
}

void ServiceFixture::SetUp() {
    StartService(DefaultOptions());
}

void ServiceFixture::StartService(ServiceOptions options) {
    service_.reset();
    DirectoryService::Seams seams;
    seams.clock = &clock_;
    seams.mailer = &mailer_;
    seams.logSink = [this](const std::string& line) {
        std::lock_guard lock(logMutex_);
        log_.push_back(line);
    };
    std::string error;
    service_ = DirectoryService::Create(options, std::move(seams), error);
    ASSERT_NE(service_, nullptr) << error;
    port_ = service_->Start("127.0.0.1", 0);
    ASSERT_GT(port_, 0);
}

void ServiceFixture::TearDown() {
    service_.reset();
}

ServiceFixture::NewUser ServiceFixture::Register(std::string_view nickName,
                                                 std::string_view email) {
    const std::string reply = Body(RegisterTarget(nickName, email));
    NewUser user;
    EXPECT_TRUE(reply::IsSuccess(reply)) << reply;
    user.number = reply::Number(reply::Field(reply, "LoginId"));
    user.password = reply::Field(reply, "Password");
    return user;
}

std::string ServiceFixture::LoginTarget(std::int64_t number, std::string_view password,
                                        int partner) const {
    return "\\Quorvane\\LoginEx2.asp?LoginId=" + std::to_string(number) +
           "&Password=" + Encode(password) + "&PartnerId=" + std::to_string(partner);
}

std::string ServiceFixture::Login(std::int64_t number, std::string_view password,
                                  int partner) const {
    return Body(LoginTarget(number, password, partner));
}

std::string ServiceFixture::Connect(const NewUser& user) const {
    const std::string reply = Login(user.number, user.password);
    return reply::IsSuccess(reply) ? reply::Field(reply, "ConnectId") : std::string();
}

std::vector<std::string> ServiceFixture::LogLines() const {
    std::lock_guard lock(logMutex_);
    return log_;
}

}  // namespace qv::dirsvc::test
