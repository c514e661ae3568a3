#include "directory/DirectoryClient.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>
#include <vector>

#include "directory/AccountRequests.h"
#include "directory/DirectoryStatus.h"
#include "directory/ReplyGrammar.h"
#include "support/ClientRig.h"
#include "support/TempFolder.h"
#include "support/TestHttpServer.h"

namespace qv {
namespace {

const std::string S(1, reply::kItemSeparator);

// A loopback port with nothing listening on it.
int ClosedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

struct Report {
    std::string error;
    int status = 0;
    RequestContext context = nullptr;
};

class DirectoryClientTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(rig.Start(server.Host())); }
    void TearDown() override { gate.Open(); }

    StatusCallback Record() {
        return [this](const std::string& error, int status, RequestContext context) {
            reports.push_back({error, status, context});
        };
    }

    // A request of any kind whose handler records the raw reply.
    std::unique_ptr<DirectoryRequest> Raw(RequestKind kind, std::string url,
                                          RequestContext context = nullptr) {
        return std::make_unique<DirectoryRequest>(
            kind, std::move(url),
            [this](const DirectoryRequest& r, bool deliver) {
                if (deliver) {
                    replies.push_back(r.reply);
                }
            },
            context);
    }

    bool Idle() {
        DirectoryClient::QueueSizes s = client.Sizes();
        return s.held + s.ready + s.inFlight + s.completed == 0;
    }

    // Outlives the server, whose handlers may still be waiting on it.
    test::Gate gate;
    test::TestHttpServer server;
    test::ClientRig rig;
    DirectoryClient& client = rig.client;
    std::vector<Report> reports;
    std::vector<std::string> replies;
    int a = 0;
    int b = 0;
};

TEST(DirectoryClientNotOpenTest, OperationsFailAtOnceAndQueueNothing) {
    test::ClientRig rig;
    std::vector<Report> reports;
    EXPECT_FALSE(ForgotPass(
        rig.client, "5",
        [&](const std::string& e, int s, RequestContext c) {
            reports.push_back({e, s, c});
        },
        &reports));
    ASSERT_EQ(reports.size(), 1u);  // before the operation returned
    EXPECT_EQ(reports[0].error, kNotConnectedMessage);
    EXPECT_EQ(reports[0].status, kStatusFailure);
    EXPECT_EQ(reports[0].context, &reports);
    DirectoryClient::QueueSizes s = rig.client.Sizes();
    EXPECT_EQ(s.held + s.ready + s.inFlight + s.completed, 0u);
    EXPECT_FALSE(rig.client.IsOpen());
    EXPECT_FALSE(ForgotPass(rig.client, "5", nullptr, nullptr));  // no callback: nothing reported
}

TEST_F(DirectoryClientTest, StartRegistersThePumpAndStopRemovesIt) {
    EXPECT_EQ(rig.scheduler.Count(), 1u);
    EXPECT_TRUE(client.IsOpen());
    EXPECT_EQ(client.Host(), server.Host());
    EXPECT_TRUE(client.Stop());
    EXPECT_EQ(rig.scheduler.Count(), 0u);
    EXPECT_FALSE(client.IsOpen());
    EXPECT_EQ(client.Host(), "");
}

TEST_F(DirectoryClientTest, AGetIsFreshAndFollowedByTheProbePage) {
    ASSERT_TRUE(ForgotPass(client, "1234", Record(), &a));
    ASSERT_TRUE(rig.DriveUntil([&] { return !reports.empty(); }));
    EXPECT_EQ(reports[0].status, kStatusSuccess);
    EXPECT_EQ(reports[0].error, "");
    EXPECT_EQ(reports[0].context, &a);
    ASSERT_TRUE(server.WaitForCount("/it.html", 1));

    std::vector<test::TestHttpServer::Request> all = server.AllRequests();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].target, "/");  // the probe of the server root when the client starts
    EXPECT_EQ(all[1].method, "GET");
    EXPECT_EQ(all[1].target, "/Quorvane/ForgotPass.asp?LoginId=1234");
    EXPECT_EQ(all[1].userAgent, "QuorvaneWeb");
    EXPECT_EQ(all[1].cacheControl, "no-cache");
    EXPECT_EQ(all[1].pragma, "no-cache");
    EXPECT_EQ(all[2].target, "/it.html");
    EXPECT_TRUE(Idle());
}

TEST_F(DirectoryClientTest, TheFolderGoesBetweenHostAndPage) {
    ASSERT_TRUE(rig.Start(server.Host(), "/dir"));
    ASSERT_TRUE(ForgotPass(client, "7", Record(), nullptr));
    ASSERT_TRUE(rig.DriveUntil([&] { return !reports.empty(); }));
    std::vector<test::TestHttpServer::Request> all = server.AllRequests();
    // The first start's probe may have been cut short by the second start.
    ASSERT_GE(all.size(), 3u);
    const std::size_t n = all.size();
    EXPECT_EQ(all[n - 3].target, "/dir");  // the probe
    EXPECT_EQ(all[n - 2].target, "/dir/Quorvane/ForgotPass.asp?LoginId=7");
    EXPECT_EQ(all[n - 1].target, "/it.html");  // without the folder
}

TEST_F(DirectoryClientTest, CallbacksRunOnlyFromThePump) {
    ASSERT_TRUE(ForgotPass(client, "1", Record(), nullptr));
    // Drive the worker but not the scheduler.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (client.Sizes().completed == 0 && std::chrono::steady_clock::now() < deadline) {
        rig.clock.Advance(DirectoryClient::kPaceMs);
        client.WakeWorker();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(client.Sizes().completed, 1u);
    EXPECT_TRUE(reports.empty());
    client.PumpCompletions();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(Idle());
}

TEST_F(DirectoryClientTest, AFailedAttemptIsRetriedOnceBeforeLaterRequests) {
    server.Answer("GetUserProfile", [](const auto&, int attempt) {
        return attempt == 1 ? std::string() : "Fail" + S + "User not found";
    });
    std::vector<std::string> errors;
    ASSERT_TRUE(GetUserProfile(
        client, "42",
        [&](const UserProfile* p, const std::string& e, int s, RequestContext) {
            EXPECT_EQ(p, nullptr);
            EXPECT_EQ(s, kStatusFailure);
            errors.push_back(e);
        },
        nullptr));
    ASSERT_TRUE(ForgotPass(client, "43", Record(), nullptr));
    ASSERT_TRUE(rig.DriveUntil([&] { return !reports.empty() && !errors.empty(); }));
    EXPECT_EQ(errors, std::vector<std::string>{"User not found"});
    std::vector<test::TestHttpServer::Request> pages = server.PageRequests();
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].page, "GetUserProfile");
    EXPECT_EQ(pages[1].page, "GetUserProfile");
    EXPECT_EQ(pages[2].page, "ForgotPass");
}

TEST_F(DirectoryClientTest, TwoFailedAttemptsReportTheDatabaseText) {
    server.Answer("ForgotPass", std::string());  // an empty body is a failed attempt
    ASSERT_TRUE(ForgotPass(client, "1", Record(), nullptr));
    ASSERT_TRUE(rig.DriveUntil([&] { return !reports.empty(); }));
    EXPECT_EQ(reports[0].status, kStatusFailure);
    EXPECT_EQ(reports[0].error, reply::kDatabaseConnectionMessage);
    EXPECT_EQ(server.Count("ForgotPass"), 2u);
}

TEST(DirectoryClientUnreachableTest, AServerThatCannotBeReachedFailsAfterTheRetry) {
    test::ClientRig rig;
    ASSERT_TRUE(rig.Start("127.0.0.1:" + std::to_string(ClosedPort())));
    std::vector<std::string> replies;
    rig.client.Queue(std::make_unique<DirectoryRequest>(
        RequestKind::ForgotPass, "\\Quorvane\\ForgotPass.asp?LoginId=1",
        [&](const DirectoryRequest& r, bool) { replies.push_back(r.reply); }, nullptr));
    ASSERT_TRUE(rig.DriveUntil([&] { return !replies.empty(); }));
    EXPECT_EQ(replies[0], kRetriesExhaustedReply);
}

TEST_F(DirectoryClientTest, AnAddressTooLongForTheCanonicalFormNeverLeaves) {
    client.Queue(Raw(RequestKind::ForgotPass,
                     "\\Quorvane\\ForgotPass.asp?LoginId=" + std::string(2100, '1')));
    ASSERT_TRUE(rig.DriveUntil([&] { return !replies.empty(); }));
    EXPECT_EQ(replies[0], kRetriesExhaustedReply);
    EXPECT_EQ(server.PageRequests().size(), 0u);
}

TEST_F(DirectoryClientTest, RawSpacesAreSentEncodedAndNothingElseChanges) {
    client.Queue(
        Raw(RequestKind::AddGroup, "\\Quorvane\\AddGroup.asp?ConnectionId=c&Group=My Pals"));
    client.SetConnectionId("c");
    client.ReleaseHeld();
    ASSERT_TRUE(rig.DriveUntil([&] { return !replies.empty(); }));
    ASSERT_EQ(server.PageRequests().size(), 1u);
    EXPECT_EQ(server.PageRequests()[0].target,
              "/Quorvane/AddGroup.asp?ConnectionId=cc&Group=My%20Pals");
}

TEST_F(DirectoryClientTest, AZeroByteCutsOffTheRestOfItsBlock) {
    std::string first = "Success" + S + "A=1";
    first += '\0';
    first += "ignored";
    first.resize(1023, 'x');
    server.Answer("ForgotPass", first + "B=2" + S);
    client.Queue(Raw(RequestKind::ForgotPass, "\\Quorvane\\ForgotPass.asp?LoginId=1"));
    ASSERT_TRUE(rig.DriveUntil([&] { return !replies.empty(); }));
    EXPECT_EQ(replies[0], "Success" + S + "A=1B=2" + S);
}

TEST_F(DirectoryClientTest, HeldRequestsGoWithTheIdOfTheLogin) {
    server.Answer("LoginEx2", "Success" + S + "ConnectId=77" + S + "ContactListVer=3" + S +
                                  "BlockListVer=0" + S + "PartnerListVer=1" + S +
                                  "PartnerParamsVer=2" + S + "NickName=Bob" + S);
    UserProfile profile;
    profile.NickName = "Bob";
    ASSERT_TRUE(ModifyProfileEx(client, profile, "pw", Record(), &a));
    ASSERT_TRUE(GetProfileEx(
        client, "5",
        [&](const UserProfile* p, const std::string&, int s, RequestContext) {
            EXPECT_EQ(s, kStatusFailure);  // the default reply lacks the fields
            EXPECT_EQ(p, nullptr);
            reports.push_back({"profile", s, nullptr});
        },
        &b));
    EXPECT_EQ(client.Sizes().held, 2u);
    std::vector<std::string> order;
    ASSERT_TRUE(LoginEx2(
        client, "5", "secret",
        [&](const std::string&, const std::string& nick, long, long, long, long, int status,
            RequestContext) {
            EXPECT_EQ(status, kStatusSuccess);
            EXPECT_EQ(nick, "Bob");
            // Held requests are released after the callback.
            EXPECT_EQ(client.Sizes().held, 2u);
            order.push_back("login");
        },
        nullptr));
    ASSERT_TRUE(rig.DriveUntil([&] { return reports.size() == 2; }));
    EXPECT_EQ(order, std::vector<std::string>{"login"});
    EXPECT_EQ(client.ConnectionId(), "77");
    std::vector<test::TestHttpServer::Request> pages = server.PageRequests();
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].page, "LoginEx2");
    EXPECT_TRUE(pages[1].target.starts_with("/Quorvane/ModifyProfileEx.asp?ConnectionId=77&"));
    EXPECT_EQ(pages[2].target, "/Quorvane/GetProfileEx.asp?ConnectionID=77&LoginId=5");
}

TEST_F(DirectoryClientTest, AFailedLoginFailsTheHeldAndRefusesWhatFollows) {
    server.Answer("LoginEx2", "Fail" + S + "Invalid userid or password");
    ASSERT_TRUE(ModifyProfileEx(client, UserProfile{}, "", Record(), &a));
    int loginStatus = 0;
    ASSERT_TRUE(LoginEx2(
        client, "5", "bad",
        [&](const std::string& text, const std::string&, long, long, long, long, int status,
            RequestContext) {
            EXPECT_EQ(text, "Invalid userid or password");
            loginStatus = status;
        },
        nullptr));
    ASSERT_TRUE(rig.DriveUntil([&] { return !reports.empty(); }));
    EXPECT_EQ(loginStatus, kStatusInvalidLogin);
    EXPECT_EQ(reports[0].error, reply::kDatabaseConnectionMessage);
    EXPECT_EQ(reports[0].status, kStatusFailure);
    EXPECT_TRUE(client.LoginRefused());
    EXPECT_EQ(server.Count("ModifyProfileEx"), 0u);

    // A refused kind now fails at once; a held kind that is not refused waits for the next login.
    reports.clear();
    EXPECT_FALSE(ModifyProfileEx(client, UserProfile{}, "", Record(), &a));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].error, kNotConnectedMessage);
    EXPECT_TRUE(GetProfileEx(client, "5", nullptr, &b));
    EXPECT_EQ(client.Sizes().held, 1u);
    EXPECT_TRUE(ForgotPass(client, "5", nullptr, nullptr));  // neither held nor refused
    EXPECT_EQ(client.Sizes().ready, 1u);
}

TEST_F(DirectoryClientTest, MessageListsWaitForOutstandingDeletions) {
    // Queued while no id is known, released together: the list request comes first.
    client.Queue(Raw(RequestKind::GetMessagesEx, "\\Quorvane\\GetMessagesEx.asp?ConnectionId="));
    client.Queue(Raw(RequestKind::DeleteMessage,
                     "\\Quorvane\\DeleteMessage.asp?ConnectionId=&MessageId=m1"));
    client.Queue(Raw(RequestKind::DeleteMessage,
                     "\\Quorvane\\DeleteMessage.asp?ConnectionId=&MessageId=m2"));
    EXPECT_EQ(client.PendingDeletions(), 2);
    client.SetConnectionId("k");
    client.ReleaseHeld();
    ASSERT_TRUE(rig.DriveUntil([&] { return replies.size() == 3; }));
    std::vector<test::TestHttpServer::Request> pages = server.PageRequests();
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].target, "/Quorvane/DeleteMessage.asp?ConnectionId=k&MessageId=m1");
    EXPECT_EQ(pages[1].target, "/Quorvane/DeleteMessage.asp?ConnectionId=k&MessageId=m2");
    EXPECT_EQ(pages[2].target, "/Quorvane/GetMessagesEx.asp?ConnectionId=k");
    EXPECT_EQ(client.PendingDeletions(), 0);
}

TEST_F(DirectoryClientTest, CancelDropsWaitingAndFinishedRequests) {
    client.Queue(Raw(RequestKind::DeleteMessage, "\\Quorvane\\DeleteMessage.asp?ConnectionId=",
                     &a));  // held
    ASSERT_TRUE(ForgotPass(client, "1", Record(), &a));
    ASSERT_TRUE(ForgotPass(client, "2", Record(), &b));
    EXPECT_EQ(client.PendingDeletions(), 1);
    client.Cancel(&a);
    EXPECT_EQ(client.PendingDeletions(), 0);
    EXPECT_EQ(client.Sizes().held, 0u);
    ASSERT_TRUE(rig.DriveUntil([&] { return !reports.empty(); }));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].context, &b);

    // Finished but not yet reported.
    reports.clear();
    ASSERT_TRUE(ForgotPass(client, "3", Record(), &a));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (client.Sizes().completed == 0 && std::chrono::steady_clock::now() < deadline) {
        rig.clock.Advance(DirectoryClient::kPaceMs);
        client.WakeWorker();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(client.Sizes().completed, 1u);
    client.Cancel(&a);
    client.PumpCompletions();
    EXPECT_TRUE(reports.empty());
    EXPECT_TRUE(Idle());
}

TEST_F(DirectoryClientTest, NoCallbackReachesAContextCancelledInFlight) {
    server.Answer("ForgotPass", [&](const auto&, int) {
        gate.Wait();
        return "Success" + S;
    });
    ASSERT_TRUE(ForgotPass(client, "1", Record(), &a));
    ASSERT_TRUE(rig.DriveUntil([&] { return server.Count("ForgotPass") == 1; }));
    ASSERT_TRUE(gate.WaitForWaiter());
    EXPECT_EQ(client.Sizes().inFlight, 1u);
    client.Cancel(&a);
    ASSERT_TRUE(GetUserProfile(
        client, "2",
        [&](const UserProfile*, const std::string&, int s, RequestContext c) {
            reports.push_back({"after", s, c});
        },
        &b));
    gate.Open();
    ASSERT_TRUE(rig.DriveUntil([&] { return !reports.empty(); }));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].context, &b);
    EXPECT_TRUE(Idle());
}

TEST_F(DirectoryClientTest, StopEndsTheWorkerWhileATransferHangs) {
    server.Answer("ForgotPass", [&](const auto&, int) {
        gate.Wait();
        return "Success" + S;
    });
    ASSERT_TRUE(ForgotPass(client, "1", Record(), &a));
    client.SetConnectionId("x");
    client.SetLoginRefused(true);
    ASSERT_TRUE(rig.DriveUntil([&] { return server.Count("ForgotPass") == 1; }));
    ASSERT_TRUE(gate.WaitForWaiter());
    EXPECT_TRUE(client.Stop());  // the worker ended by itself, not abandoned
    gate.Open();
    EXPECT_FALSE(client.IsOpen());
    EXPECT_TRUE(Idle());
    EXPECT_EQ(client.ConnectionId(), "");
    EXPECT_FALSE(client.LoginRefused());
    rig.scheduler.Tick();
    client.PumpCompletions();
    EXPECT_TRUE(reports.empty());
}

TEST_F(DirectoryClientTest, TheWorkerPausesBetweenRequests) {
    ASSERT_TRUE(ForgotPass(client, "1", Record(), nullptr));
    ASSERT_TRUE(ForgotPass(client, "2", Record(), nullptr));
    ASSERT_TRUE(rig.DriveUntil([&] { return server.Count("ForgotPass") == 1; }));
    // Without the clock moving, the second request waits however long it takes.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(server.Count("ForgotPass"), 1u);
    ASSERT_TRUE(rig.DriveUntil([&] { return reports.size() == 2; }));
    EXPECT_EQ(server.Count("ForgotPass"), 2u);
}

TEST_F(DirectoryClientTest, AnUploadPostsTheFileBytesWithoutAContentType) {
    test::TempFolder folder;
    std::string wave("RIFF\0\xFF\x01rest", 11);
    auto request = std::make_unique<FileRequest>(
        RequestKind::SendVoiceMail, "\\Quorvane\\SendVoiceMail.asp?ConnectionId=c&MessageTo=9",
        [this](const DirectoryRequest& r, bool) { replies.push_back(r.reply); }, nullptr);
    EXPECT_FALSE(request->LoadUploadBody(folder.File("missing.wav")));
    EXPECT_FALSE(request->LoadUploadBody(folder.Write("empty.wav", "")));
    ASSERT_TRUE(request->LoadUploadBody(folder.Write("v.wav", wave)));
    server.Answer("SendVoiceMail", "Success" + S + "9");
    client.SetConnectionId("c");
    client.Queue(std::move(request));
    ASSERT_TRUE(rig.DriveUntil([&] { return !replies.empty(); }));
    EXPECT_EQ(replies[0], "Success" + S + "9");
    std::vector<test::TestHttpServer::Request> pages = server.PageRequests();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].method, "POST");
    EXPECT_EQ(pages[0].body, wave);
    EXPECT_FALSE(pages[0].hasContentType);
    ASSERT_TRUE(server.WaitForCount("/it.html", 1));
}

TEST_F(DirectoryClientTest, AnEmptyUploadReplyIsNotRetried) {
    test::TempFolder folder;
    server.Answer("SendVoiceMail", std::string());
    auto request = std::make_unique<FileRequest>(
        RequestKind::SendVoiceMail, "\\Quorvane\\SendVoiceMail.asp?ConnectionId=c",
        [this](const DirectoryRequest& r, bool) { replies.push_back(r.reply); }, nullptr);
    ASSERT_TRUE(request->LoadUploadBody(folder.Write("v.wav", "x")));
    client.SetConnectionId("c");
    client.Queue(std::move(request));
    ASSERT_TRUE(rig.DriveUntil([&] { return !replies.empty(); }));
    EXPECT_EQ(replies[0], "");
    EXPECT_EQ(server.Count("SendVoiceMail"), 1u);
}

TEST_F(DirectoryClientTest, ADownloadSplitsTheHeaderFromTheFile) {
    test::TempFolder folder;
    std::string wave;
    for (int i = 0; i < 3000; ++i) {
        wave.push_back(static_cast<char>(i % 256));  // zero bytes and 0xFF inside
    }
    struct Case {
        std::string body;
        std::string reply;
        std::string file;
    };
    const std::vector<Case> cases = {
        {"Success" + S + std::string(1, '\0') + wave, "Success" + S, wave},
        {"Success" + std::string(1, '\0'), "Success", ""},
        {"Fail" + S + "Gone", "Fail" + S + "Gone", ""},  // the file is made, and stays empty
        // No zero byte in the first block: it is all header, the rest is the file.
        {std::string(1100, 'A'), std::string(1023, 'A'), std::string(77, 'A')},
    };
    client.SetConnectionId("c");
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        replies.clear();
        server.Answer("ReadVoiceMail", cases[i].body);
        const std::string path = folder.Write("m" + std::to_string(i) + ".wav", "old contents");
        auto request = std::make_unique<FileRequest>(
            RequestKind::ReadVoiceMail, "\\Quorvane\\ReadVoiceMail.asp?ConnectionId=c&MessageID=1",
            [this](const DirectoryRequest& r, bool) { replies.push_back(r.reply); }, nullptr);
        request->downloadPath = path;
        client.Queue(std::move(request));
        ASSERT_TRUE(rig.DriveUntil([&] { return !replies.empty(); }));
        EXPECT_EQ(replies[0], cases[i].reply);
        EXPECT_EQ(folder.Read("m" + std::to_string(i) + ".wav"), cases[i].file);
    }
    std::vector<test::TestHttpServer::Request> pages = server.PageRequests();
    ASSERT_FALSE(pages.empty());
    EXPECT_EQ(pages[0].method, "POST");
    EXPECT_EQ(pages[0].body, "");
}

TEST_F(DirectoryClientTest, ADownloadThatCannotBeWrittenFailsAfterTheRetry) {
    test::TempFolder folder;
    server.Answer("ReadVoiceMail", "Success" + std::string(1, '\0') + "data");
    auto request = std::make_unique<FileRequest>(
        RequestKind::ReadVoiceMail, "\\Quorvane\\ReadVoiceMail.asp?ConnectionId=c&MessageID=1",
        [this](const DirectoryRequest& r, bool) { replies.push_back(r.reply); }, nullptr);
    request->downloadPath = folder.File("no/such/folder/m.wav");
    client.SetConnectionId("c");
    client.Queue(std::move(request));
    ASSERT_TRUE(rig.DriveUntil([&] { return !replies.empty(); }));
    EXPECT_EQ(replies[0], kRetriesExhaustedReply);
    EXPECT_EQ(server.Count("ReadVoiceMail"), 2u);
}

// Restores an environment variable when it goes.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(DirectoryClientProxyTest, AProxyThatFailsTheProbeIsLeftForDirectAccess) {
    test::TestHttpServer server;
    const std::string proxy = "http://127.0.0.1:" + std::to_string(ClosedPort());
    ScopedEnv httpProxy("http_proxy", proxy.c_str());
    ScopedEnv noProxy("no_proxy", nullptr);
    ScopedEnv noProxyUpper("NO_PROXY", nullptr);
    test::ClientRig rig;
    ASSERT_TRUE(rig.Start(server.Host()));
    std::vector<int> statuses;
    ASSERT_TRUE(ForgotPass(
        rig.client, "1", [&](const std::string&, int s, RequestContext) { statuses.push_back(s); },
        nullptr));
    ASSERT_TRUE(rig.DriveUntil([&] { return !statuses.empty(); }));
    EXPECT_EQ(statuses[0], kStatusSuccess);
    EXPECT_EQ(server.Count("ForgotPass"), 1u);
}

}  // namespace
}  // namespace qv
