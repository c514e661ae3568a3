#include "NetEngineFixture.h"

namespace qv::test {
namespace {

using Millis = std::chrono::milliseconds;
using voice::MessageType;

// What registration waits for, given in the order a case supplies it.
enum class Piece { kWelcome, kName, kId, kConnection };

struct Order {
    const char* name;
    std::vector<Piece> beforeConnect;  // only the id and the connection id may come before
    std::vector<Piece> afterConnect;   // the last one releases Register
};

void PrintTo(const Order& order, std::ostream* out) {
    *out << order.name;
}

class NetRegisterOrderTest : public NetEngineFixture, public ::testing::WithParamInterface<Order> {
  protected:
    void Supply(Piece piece) {
        switch (piece) {
            case Piece::kWelcome:
                ASSERT_TRUE(server.SendWelcome());
                ASSERT_TRUE(sink.WaitFor("connectionEvent 0 "));
                break;
            case Piece::kName:
                Engine().SetUserName("nick");
                break;
            case Piece::kId:
                Engine().SetUserId("42");
                break;
            case Piece::kConnection:
                Credentials().SetVoiceTicket("conn-1");
                break;
        }
    }
};

TEST_P(NetRegisterOrderTest, RegisterGoesOutOnceEverythingIsThereWhicheverComesLast) {
    for (Piece piece : GetParam().beforeConnect) {
        Supply(piece);
    }
    ASSERT_TRUE(ConnectToServer());
    ASSERT_TRUE(server.Greet());
    const std::vector<Piece>& after = GetParam().afterConnect;
    for (std::size_t i = 0; i + 1 < after.size(); ++i) {
        Supply(after[i]);
        ASSERT_TRUE(server.Quiet()) << "Register before all pieces were there";
    }
    Supply(after.back());
    const auto reg = As<voice::RegisterTicket>(server.Next(), MessageType::kRegisterTicket);
    ASSERT_TRUE(reg);
    EXPECT_EQ(reg->userId, "42");
    EXPECT_EQ(reg->nickname, "nick");
    EXPECT_EQ(reg->ticket, "conn-1");
    // Once per session, however often the pieces are written again.
    Supply(Piece::kName);
    Supply(Piece::kConnection);
    EXPECT_TRUE(server.Quiet());
}

INSTANTIATE_TEST_SUITE_P(
    Orders, NetRegisterOrderTest,
    ::testing::Values(
        Order{"AsTheClientDoes", {Piece::kConnection}, {Piece::kWelcome, Piece::kId, Piece::kName}},
        Order{"ConnectionIdLast",
              {},
              {Piece::kWelcome, Piece::kId, Piece::kName, Piece::kConnection}},
        Order{"UserIdLast", {}, {Piece::kConnection, Piece::kWelcome, Piece::kName, Piece::kId}},
        Order{"NameLast", {Piece::kId, Piece::kConnection}, {Piece::kWelcome, Piece::kName}},
        Order{"WelcomeLast", {}, {Piece::kName, Piece::kId, Piece::kConnection, Piece::kWelcome}}),
    [](const auto& info) { return std::string(info.param.name); });

class NetRegisterTest : public NetEngineFixture {};

TEST_F(NetRegisterTest, ANameWrittenBeforeConnectDoesNotCount) {
    Engine().SetUserName("nick");
    Engine().SetUserId("42");
    Credentials().SetVoiceTicket("conn-1");
    ConnectWelcomed();
    EXPECT_TRUE(server.Quiet());
    Engine().SetUserName("nick");
    EXPECT_TRUE(As<voice::RegisterTicket>(server.Next(), MessageType::kRegisterTicket));
}

TEST_F(NetRegisterTest, NoRegisterWithoutAValidUserIdOrWithAForgottenTicket) {
    Credentials().SetVoiceTicket("conn-1");
    ConnectWelcomed();
    Engine().SetUserId("0042");
    Engine().SetUserName("nick");
    EXPECT_TRUE(server.Quiet());
    Credentials().SetVoiceTicket("");
    Engine().SetUserId("42");
    EXPECT_TRUE(server.Quiet());
    Credentials().SetVoiceTicket("conn-2");
    const auto reg = As<voice::RegisterTicket>(server.Next(), MessageType::kRegisterTicket);
    ASSERT_TRUE(reg);
    EXPECT_EQ(reg->ticket, "conn-2");
}

TEST_F(NetRegisterTest, RegisteredRaisesTheDirectorysNickname) {
    LogIn();
    EXPECT_EQ(sink.Events(),
              (std::vector<std::string>{"connectionEvent 0 Test Voice", "Registered Nick"}));
}

TEST_F(NetRegisterTest, RequestsBeforeRegisteredAreHeldAndSentInOrderAfterIt) {
    Credentials().SetVoiceTicket("conn-1");
    Engine().SetUserId("42");
    ASSERT_TRUE(ConnectToServer());
    ASSERT_TRUE(server.Greet());
    EXPECT_NE(Engine().SetStatus(2), 0);  // not even welcomed yet
    ASSERT_TRUE(server.SendWelcome());
    ASSERT_TRUE(sink.WaitFor("connectionEvent 0 "));
    EXPECT_NE(Engine().SetWatchList("7\n8\n", 0), 0);
    Engine().SetUserName("nick");
    ASSERT_TRUE(As<voice::RegisterTicket>(server.Next(), MessageType::kRegisterTicket));
    EXPECT_NE(Engine().SetBlockList("9\n", 1), 0);
    EXPECT_NE(Engine().SendUserMessage("7", 8, 3, "hi\tthere"), 0);
    EXPECT_TRUE(server.Quiet());

    ASSERT_TRUE(server.Send(voice::Encode(voice::Registered{"42", "Nick"})));
    const auto status = As<voice::SetStatus>(server.Next(), MessageType::kSetStatus);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->mode, 2);
    const auto watch = As<voice::ListUpdate>(server.Next(), MessageType::kSetWatchList);
    ASSERT_TRUE(watch);
    EXPECT_EQ(watch->op, 0);
    EXPECT_EQ(watch->list, "7\n8\n");
    const auto block = As<voice::ListUpdate>(server.Next(), MessageType::kSetBlockList);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->op, 1);
    EXPECT_EQ(block->list, "9\n");
    const auto message = As<voice::SendUserMessage>(server.Next(), MessageType::kSendUserMessage);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->alias, "7");
    EXPECT_EQ(message->number, 8);
    EXPECT_EQ(message->parameter, 3);
    EXPECT_EQ(message->text, "hi\tthere");
    EXPECT_TRUE(sink.WaitFor("Registered Nick"));

    // Registered now: straight out.
    EXPECT_NE(Engine().SetStatus(32), 0);
    const auto later = As<voice::SetStatus>(server.Next(), MessageType::kSetStatus);
    ASSERT_TRUE(later);
    EXPECT_EQ(later->mode, 32);
}

TEST_F(NetRegisterTest, RequestsTheWireCannotCarryAreRefused) {
    EXPECT_EQ(Engine().SetStatus(0), 0);  // no session
    LogIn();
    const std::string nul("a\0b", 3);
    EXPECT_EQ(Engine().SetStatus(3), 0);
    EXPECT_EQ(Engine().SetStatus(64), 0);
    EXPECT_EQ(Engine().SetWatchList("7\n", 3), 0);
    EXPECT_EQ(Engine().SetWatchList("7\n", -1), 0);
    EXPECT_EQ(Engine().SetBlockList(std::string(voice::kMaxWholeList + 1, '1'), 0), 0);
    EXPECT_EQ(Engine().SetBlockList(nul, 0), 0);
    EXPECT_EQ(Engine().SendUserMessage("7", 8, 0, std::string(1024, 'x')), 0);
    EXPECT_EQ(Engine().SendUserMessage(std::string(65, '7'), 8, 0, "hi"), 0);
    EXPECT_EQ(Engine().SendUserMessage("7", 8, 0, nul), 0);
    EXPECT_TRUE(server.Quiet());
    // The limits themselves still go.
    EXPECT_NE(Engine().SetWatchList(std::string(60000, '1'), 0), 0);
    EXPECT_NE(Engine().SendUserMessage(std::string(64, '7'), 8, 0, std::string(1023, 'x')), 0);
    EXPECT_TRUE(As<voice::ListUpdate>(server.Next(), MessageType::kSetWatchList));
    EXPECT_TRUE(As<voice::SendUserMessage>(server.Next(), MessageType::kSendUserMessage));
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

// A list of n ids, each a line.
std::string IdList(int n, int first = 1000000) {
    std::string list;
    for (int i = 0; i < n; ++i) {
        list += std::to_string(first + i) + "\n";
    }
    return list;
}

// The frames the server gets for one list update, until the frame that is not a part.
std::vector<voice::Frame> ListFrames(FakeVoiceServer& server) {
    std::vector<voice::Frame> frames;
    while (auto frame = server.Next()) {
        frames.push_back(*frame);
        if (frame->type != MessageType::kWatchListPart &&
            frame->type != MessageType::kBlockListPart) {
            break;
        }
    }
    return frames;
}

class NetListTest : public NetEngineFixture {
  protected:
    void LogInWithVersion(std::uint16_t protocol) {
        server.protocol = protocol;
        LogIn();
    }
};

TEST_F(NetListTest, AListLongerThanAFrameGoesInPartsTheServerAppliesAsOne) {
    LogInWithVersion(2);
    const std::string list = IdList(15000);  // 120000 bytes
    ASSERT_GT(list.size(), voice::kMaxIdList);
    for (const bool watch : {true, false}) {
        SCOPED_TRACE(watch ? "watch" : "block");
        ASSERT_NE(watch ? Engine().SetWatchList(list, 0) : Engine().SetBlockList(list, 0), 0);
        const std::vector<voice::Frame> frames = ListFrames(server);
        ASSERT_GE(frames.size(), 2u);
        std::string joined;
        for (std::size_t i = 0; i + 1 < frames.size(); ++i) {
            voice::ListPart part;
            EXPECT_EQ(frames[i].type,
                      watch ? MessageType::kWatchListPart : MessageType::kBlockListPart);
            ASSERT_TRUE(voice::Decode(frames[i].fields, part));
            EXPECT_EQ(part.list.back(), '\n');  // whole lines
            joined += part.list;
        }
        voice::ListUpdate last;
        EXPECT_EQ(frames.back().type,
                  watch ? MessageType::kSetWatchList : MessageType::kSetBlockList);
        ASSERT_TRUE(voice::Decode(frames.back().fields, last));
        EXPECT_EQ(last.op, 0);
        EXPECT_EQ(joined + last.list, list);
    }
}

TEST_F(NetListTest, AWelcomeOfAVersionWeDoNotSpeakIsAProtocolError) {
    // Version 1 has no RegisterTicket, the only way this engine logs in.
    const std::uint16_t versions[] = {0, 1, voice::kProtocolVersion + 1};
    std::size_t seen = 0;
    for (const std::uint16_t protocol : versions) {
        SCOPED_TRACE(protocol);
        server.protocol = protocol;
        ASSERT_TRUE(ConnectToServer());
        ASSERT_TRUE(server.Welcome());
        ASSERT_TRUE(sink.WaitForCount(++seen));
        EXPECT_EQ(sink.Events().back(), "connectionEvent 5 Protocol error");
        EXPECT_FALSE(
            As<voice::RegisterTicket>(server.Next(Millis(500)), MessageType::kRegisterTicket));
        Engine().Disconnect();
    }
}

}  // namespace
}  // namespace qv::test
