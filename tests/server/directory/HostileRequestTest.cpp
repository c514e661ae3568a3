// Requests no client sends: every one is answered with "Fail" or refused by the HTTP layer, and
// the service goes on serving.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "ServiceFixture.h"
#include "directory/ReplyGrammar.h"

namespace qv::dirsvc::test {
namespace {

using namespace std::string_literals;

class HostileRequestTest : public ServiceFixture {
  protected:
    // The service still answers an ordinary request.
    void ExpectAlive() {
        EXPECT_EQ(Get("/it.html").status, 200);
        EXPECT_TRUE(reply::IsSuccess(Body("/Quorvane/GetPartnerParams.asp?PartnerId=1")));
    }
};

TEST_F(HostileRequestTest, MissingAndRepeatedParametersFail) {
    const NewUser ann = Register("Ann");
    const std::string number = std::to_string(ann.number);
    struct Case {
        std::string target;
        std::string body;
    };
    const Case cases[] = {
        {"/Quorvane/RegisterEx.asp", "Fail\xFFMissing parameter NickName"},
        {"/Quorvane/RegisterEx.asp?NickName=Zed", "Fail\xFFMissing parameter Email1"},
        {"/Quorvane/LoginEx2.asp?Password=x", "Fail\xFFMissing parameter LoginId"},
        {"/Quorvane/GetUserProfile.asp", "Fail\xFFMissing parameter LoginId"},
        {"/Quorvane/GetUserProfile.asp?LoginId=", "Fail\xFFInvalid LoginId"},
        {"/Quorvane/GetProfileEx.asp?LoginId=" + number, "Fail\xFFMissing parameter ConnectionID"},
        {"/Quorvane/GetPartnerParams.asp", "Fail\xFFMissing parameter PartnerId"},
        {"/Quorvane/GetUserProfile.asp?LoginId=" + number + "&loginid=" + number,
         "Fail\xFFRepeated parameter LoginId"},
        {"/Quorvane/LoginEx2.asp?LoginId=" + number + "&Password=" + ann.password + "&Password=x",
         "Fail\xFFRepeated parameter Password"},
        {RegisterTarget("Zed", "z@example.com") + "&NICKNAME=Other",
         "Fail\xFFRepeated parameter NickName"},
        {"/Quorvane/NoSuchPage.asp?x=1", "Fail\xFFUnknown page"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Body(c.target), c.body) << c.target;
    }
    ExpectAlive();
}

TEST_F(HostileRequestTest, NulAndSeparatorBytesNeverReachStoredData) {
    const NewUser ann = Register("Ann");
    const std::string id = Connect(ann);
    const std::string modify = "/Quorvane/ModifyProfileEx.asp?ConnectionId=" + id;
    const std::pair<std::string, std::string> cases[] = {
        {RegisterTarget("Ze\0d"s, "z@example.com"), "Fail\xFFInvalid NickName"},
        {"/Quorvane/RegisterEx.asp?NickName=Ze%FFd&Email1=z@example.com",
         "Fail\xFFInvalid NickName"},
        {RegisterTarget("Zed", "z@exa\0mple.com"s),
         "Fail\xFF"
         "The email address you have "
         "entered is not valid."},
        {"/Quorvane/RegisterEx.asp?NickName=Zed&Email1=z@example.com&Comment=a%FFb",
         "Fail\xFFInvalid Comment"},
        {modify + "&Company=a%00b", "Fail\xFFInvalid Company"},
        {modify + "&Comment=a%FF"
                  "Zip=1",
         "Fail\xFFInvalid Comment"},
        {modify + "&Password=%FF", "Fail\xFFInvalid Password"},
    };
    for (const auto& [target, body] : cases) {
        EXPECT_EQ(Body(target), body) << target;
    }
    // A raw 0xFF byte in the request line is just another byte that no field accepts.
    EXPECT_EQ(Body("/Quorvane/GetUserProfile.asp?LoginId=1\xFF"), "Fail\xFFInvalid LoginId");
    // No profile value carries a separator of its own: 18 fields, 19 separators.
    const std::string profile =
        Body("/Quorvane/GetUserProfile.asp?LoginId=" + std::to_string(ann.number));
    EXPECT_EQ(std::count(profile.begin(), profile.end(), '\xFF'), 19);
}

TEST_F(HostileRequestTest, ListPagesRefuseWhatNoClientSendsAndChangeNothing) {
    const NewUser ann = Register("Ann");
    const NewUser bob = Register("Bob");
    const std::string id = Connect(ann);
    const std::string b = std::to_string(bob.number);
    const std::string expired =
        "Fail\xFFYour connection to the directory has expired. Please log in again.";
    ASSERT_EQ(
        Body("/Quorvane/AddContact.asp?ConnectionId=" + id + "&Contact=" + b + "&Group=Friends"),
        "Success\xFF");
    const std::string before = Body("/Quorvane/GetContacts.asp?ConnectionId=" + id);
    const std::pair<std::string, std::string> cases[] = {
        {"/Quorvane/GetContacts.asp", "Fail\xFFMissing parameter ConnectionId"},
        {"/Quorvane/GetContacts.asp?ConnectionId=" + id + "&ConnectionID=" + id,
         "Fail\xFFRepeated parameter ConnectionId"},
        {"/Quorvane/GetContacts.asp?ConnectionId=", expired},
        {"/Quorvane/GetContacts.asp?ConnectionId=" + std::string(32, 'f'), expired},
        {"/Quorvane/GetBlockList.asp?ConnectionId=%27%20OR%201=1", expired},
        {"/Quorvane/GetPartnersList.asp?ConnectionId=" + id.substr(1), expired},
        {"/Quorvane/AddContact.asp?ConnectionId=nope&Contact=" + b + "&Group=Work", expired},
        {"/Quorvane/DeleteContact.asp?ConnectionId=nope&Contact=" + b + "&Group=Friends", expired},
        {"/Quorvane/AddGroup.asp?ConnectionId=nope&Group=Work", expired},
        {"/Quorvane/DeleteGroup.asp?ConnectionId=nope&Group=Friends", expired},
        {"/Quorvane/AddBlock.asp?ConnectionId=nope&Block=" + b, expired},
        {"/Quorvane/RemoveBlock.asp?ConnectionId=nope&Block=" + b, expired},
        {"/Quorvane/AddContact.asp?ConnectionId=" + id + "&Group=Work",
         "Fail\xFFMissing parameter Contact"},
        {"/Quorvane/AddContact.asp?ConnectionId=" + id + "&Contact=" + b,
         "Fail\xFFMissing parameter Group"},
        {"/Quorvane/AddContact.asp?ConnectionId=" + id + "&Contact=" + b + "&Contact=" + b +
             "&Group=Work",
         "Fail\xFFRepeated parameter Contact"},
        {"/Quorvane/DeleteGroup.asp?ConnectionId=" + id + "&Group=Friends&group=Friends",
         "Fail\xFFRepeated parameter Group"},
        {"/Quorvane/AddBlock.asp?ConnectionId=" + id, "Fail\xFFMissing parameter Block"},
        {"/Quorvane/AddBlock.asp?ConnectionId=" + id + "&Block=" + b + "&BLOCK=1",
         "Fail\xFFRepeated parameter Block"},
        {"/Quorvane/AddContact.asp?ConnectionId=" + id + "&Contact=" + std::string(6000, '7') +
             "&Group=Work",
         "Fail\xFFUser not found"},
        {"/Quorvane/AddContact.asp?ConnectionId=" + id + "&Contact=" + b + "%00&Group=Work",
         "Fail\xFFUser not found"},
        {"/Quorvane/AddContact.asp?ConnectionId=" + id + "&Contact=" + b +
             "&Group=" + std::string(6000, 'g'),
         "Fail\xFFInvalid group name"},
        {"/Quorvane/AddGroup.asp?ConnectionId=" + id + "&Group=W\xFFx",
         "Fail\xFFInvalid group name"},
        {"/Quorvane/AddGroup.asp?ConnectionId=" + id + "&Group=W%00", "Fail\xFFInvalid group name"},
        {"/Quorvane/AddGroup.asp?ConnectionId=" + id + "&Group=x');DROP%20TABLE%20contacts;--",
         "Success\xFF"},
        {"/Quorvane/DeleteGroup.asp?ConnectionId=" + id + "&Group=x');DROP%20TABLE%20contacts;--",
         "Success\xFF"},
        {"/Quorvane/RemoveBlock.asp?ConnectionId=" + id + "&Block=1%20OR%201=1",
         "Fail\xFFNot Blocked"},
        {"/Quorvane/GetPartnerForums.asp?BaseURL=example.com",
         "Fail\xFFMissing parameter PartnerId"},
        {"/Quorvane/GetPartnerForums.asp?PartnerId=1", "Fail\xFFMissing parameter BaseURL"},
        {"/Quorvane/GetPartnerForums.asp?PartnerId=99999999999&BaseURL=a",
         "Fail\xFFInvalid PartnerId"},
        {"/Quorvane/GetPartnerForums.asp?PartnerId=1&BaseURL=%00", "Fail\xFFUnknown partner site"},
    };
    for (const auto& [target, body] : cases) {
        EXPECT_EQ(Body(target), body) << target.substr(0, 120);
    }
    EXPECT_EQ(Body("/Quorvane/GetContacts.asp?ConnectionId=" + id), before);
    EXPECT_EQ(reply::Field(Login(ann.number, ann.password), "ContactListVer"), "3");
    EXPECT_EQ(reply::Field(Login(ann.number, ann.password), "BlockListVer"), "0");
    ExpectAlive();
}

TEST_F(HostileRequestTest, SqlLookingTextIsStoredAsText) {
    const NewUser ann = Register("Ann");
    const std::string id = Connect(ann);
    const std::string comment = "x'); DELETE FROM accounts; DROP TABLE sessions; --";
    ASSERT_EQ(Body("/Quorvane/ModifyProfileEx.asp?ConnectionId=" + id +
                   "&Comment=" + Encode(comment) + "&Company=" + Encode("\" OR 1=1 --")),
              "Success\xFF");
    const std::string profile =
        Body("/Quorvane/GetUserProfile.asp?LoginId=" + std::to_string(ann.number));
    EXPECT_EQ(reply::Field(profile, "Comment"), comment);
    EXPECT_EQ(reply::Field(profile, "Company"), "\" OR 1=1 --");
    EXPECT_FALSE(Connect(ann).empty());
    EXPECT_EQ(Body("/Quorvane/GetUserProfile.asp?LoginId=1%20OR%201=1"), "Fail\xFFInvalid LoginId");
    EXPECT_EQ(Body("/Quorvane/GetProfileEx.asp?ConnectionID=%27%20OR%20%271%27=%271&LoginId=" +
                   std::to_string(ann.number)),
              "Fail\xFFYour connection to the directory has expired. Please log in again.");
}

TEST_F(HostileRequestTest, HugeValuesAreRefusedByTheHttpLayer) {
    const RawResponse huge =
        Get("/Quorvane/GetUserProfile.asp?LoginId=" + std::string(1024 * 1024, '1'));
    EXPECT_EQ(huge.status, 414);
    EXPECT_EQ(huge.body.rfind("Fail\xFF", 0), 0u);
    // Just under the request-line limit a value reaches the page, which refuses it.
    const RawResponse nearLimit =
        Get("/Quorvane/RegisterEx.asp?NickName=Zed&Email1=z@example.com"
            "&Comment=" +
            std::string(7000, 'c'));
    EXPECT_EQ(nearLimit.body, "Fail\xFFInvalid Comment");
    ExpectAlive();
}

TEST_F(HostileRequestTest, BodiesAreBounded) {
    ServiceOptions options = DefaultOptions();
    options.http.maxBody = 64 * 1024;
    StartService(options);
    const RawResponse small = RawHttpClient(port_).Post(
        "/Quorvane/GetPartnerParams.asp?PartnerId=1", std::string(1000, 'x'));
    EXPECT_TRUE(reply::IsSuccess(small.body));
    const RawResponse big = RawHttpClient(port_).Post("/Quorvane/GetPartnerParams.asp?PartnerId=1",
                                                      std::string(1024 * 1024, 'x'));
    EXPECT_EQ(big.status, 413);
    ExpectAlive();
}

TEST_F(HostileRequestTest, BrokenRequestsGetHttpErrors) {
    const RawHttpClient client(port_);
    struct Case {
        std::string request;
        int status;
    };
    const Case cases[] = {
        {"GARBAGE\r\n\r\n", 400},
        {"GET /Quorvane/GetUserProfile.asp?LoginId=1?2 HTTP/1.1\r\n\r\n", 400},
        {"GET /Quorvane/Get User.asp HTTP/1.1\r\n\r\n", 400},
        {"GET /x HTTP/9.9\r\n\r\n", 400},
        {"PUT /Quorvane/GetUserProfile.asp?LoginId=1 HTTP/1.1\r\nContent-Length: 0\r\n\r\n", 405},
        {"DELETE /Quorvane/GetUserProfile.asp?LoginId=1 HTTP/1.1\r\n\r\n", 405},
        {"GET /secret/../../etc/passwd HTTP/1.1\r\n\r\n", 404},
        {"GET /Quorvane/GetUserProfile.asp HTTP/1.1\r\nX: " + std::string(20000, 'h') + "\r\n\r\n",
         400},
    };
    for (const Case& c : cases) {
        const RawResponse response = client.Send(c.request);
        EXPECT_EQ(response.status, c.status) << c.request.substr(0, 60);
        EXPECT_EQ(response.body.rfind("Fail\xFF", 0), 0u) << c.request.substr(0, 60);
    }
    ExpectAlive();
}

TEST_F(HostileRequestTest, ManyParallelRequestsAllGetAnswers) {
    const NewUser ann = Register("Ann");
    std::vector<std::thread> threads;
    std::atomic<int> answered{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                const std::string body = t % 2 == 0 ? Login(ann.number, "wrong")
                                                    : Body("/Quorvane/GetUserProfile.asp?LoginId=" +
                                                           std::to_string(ann.number));
                if (body.rfind("Success\xFF", 0) == 0 || body.rfind("Fail\xFF", 0) == 0) {
                    ++answered;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(answered.load(), 200);
    ExpectAlive();
}

TEST_F(HostileRequestTest, EveryRequestIsLoggedOnceWithoutItsPassword) {
    const NewUser ann = Register("Ann");
    Login(ann.number, ann.password);
    Login(ann.number, "wrong");
    // The log line is written just after the reply; wait until all three are there.
    std::vector<std::string> lines = LogLines();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (lines.size() < 3 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
        lines = LogLines();
    }
    ASSERT_EQ(lines.size(), 3u);
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find(ann.password), std::string::npos) << line;
        EXPECT_EQ(line.find("wrong"), std::string::npos) << line;
        EXPECT_NE(line.find(" 127.0.0.1 GET "), std::string::npos) << line;
    }
    // Lines of requests in a row may come out in either order (each is written by its thread).
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("LoginEx2.asp?LoginId=") != std::string::npos &&
                                       line.find("&Password=*&") != std::string::npos &&
                                       line.find(" 200 Fail: Invalid userid or password") !=
                                           std::string::npos;
                            }),
              1);
}

class ConnectionLimitTest : public HostileRequestTest {
  protected:
    void SetUp() override {
        ServiceOptions options = DefaultOptions();
        options.http.threads = 1;
        options.http.maxConnectionsPerAddress = 4;
        options.http.readTimeoutSeconds = 1;
        options.http.keepAliveSeconds = 30;
        StartService(options);
    }
};

TEST_F(ConnectionLimitTest, AtTheAddressBoundTheLongestIdleMakesRoom) {
    std::vector<std::unique_ptr<HeldConnection>> held;
    for (int i = 0; i < 4; ++i) {
        held.push_back(std::make_unique<HeldConnection>(port_));
        ASSERT_TRUE(held.back()->Send("GET /it.html HTTP/1.1\r\nHost: x\r\n\r\n"));
        ASSERT_NE(held.back()->ReadResponse(20000).find("200 OK"), std::string::npos);
    }
    // A fifth caller from the same address is served; the oldest idle connection goes.
    EXPECT_GE(TimedGet(port_, "/it.html", 20000), 0);
    EXPECT_TRUE(held[0]->ClosedByServer(20000));
    EXPECT_FALSE(held[3]->ClosedByServer(200));
    // Kept connections go on serving requests.
    ASSERT_TRUE(held[3]->Send("GET /it.html HTTP/1.1\r\nHost: x\r\n\r\n"));
    EXPECT_NE(held[3]->ReadResponse(20000).find("200 OK"), std::string::npos);
}

TEST_F(ConnectionLimitTest, ARequestThatDribblesInIsCutOff) {
    HeldConnection slow(port_);
    ASSERT_TRUE(slow.Send("GET /it.html HTTP/1.1\r\n"));
    // Bytes now and then do not extend the whole request's time.
    bool closed = false;
    for (int i = 0; i < 40 && !closed; ++i) {
        slow.Send("X");
        closed = slow.ClosedByServer(250);
    }
    EXPECT_TRUE(closed);
    ExpectAlive();
}

TEST_F(HostileRequestTest, PipelinedAndContinuedRequestsAreAnswered) {
    HeldConnection connection(port_);
    ASSERT_TRUE(connection.Send(
        "GET /it.html HTTP/1.1\r\nHost: x\r\n\r\nGET / HTTP/1.1\r\nHost: x\r\n\r\n"));
    const std::string first = connection.ReadResponse(20000);
    EXPECT_NE(first.find("<html>"), std::string::npos);
    std::string rest = first.substr(first.find("</html>\n") + 8);
    if (rest.find("Quorvane directory service") == std::string::npos) {
        rest += connection.ReadResponse(20000);
    }
    EXPECT_NE(rest.find("Quorvane directory service"), std::string::npos);

    HeldConnection upload(port_);
    ASSERT_TRUE(
        upload.Send("POST /Quorvane/GetPartnerParams.asp?PartnerId=1 HTTP/1.1\r\n"
                    "Host: x\r\nExpect: 100-continue\r\nContent-Length: 5\r\n\r\n"));
    EXPECT_EQ(upload.ReadUntil("\r\n\r\n", 20000), "HTTP/1.1 100 Continue\r\n\r\n");
    ASSERT_TRUE(upload.Send("hello"));
    const std::string reply = upload.ReadResponse(20000);
    EXPECT_EQ(reply.find("100 Continue"), std::string::npos) << reply;
    EXPECT_NE(reply.find("Success\xFF"), std::string::npos) << reply;
}

}  // namespace
}  // namespace qv::dirsvc::test
