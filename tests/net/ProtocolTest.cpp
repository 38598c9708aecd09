#include "net/Protocol.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace protocol {

// Readable failure output for the received messages.
void PrintTo(const Received& r, std::ostream* os) {
    static const char* const kKinds[] = {"Move", "Chat", "ChatMore", "End"};
    *os << kKinds[static_cast<int>(r.kind)] << "(" << testing::PrintToString(r.par1) << ", "
        << testing::PrintToString(r.par2) << ", " << testing::PrintToString(r.text) << ")";
}

}  // namespace protocol

namespace {

using protocol::Received;
using Messages = std::vector<Received>;

// What one link's reader makes of chunks that arrive one after another.
Messages Read(std::initializer_list<std::string_view> chunks) {
    protocol::Reader reader;
    Messages received;
    for (std::string_view chunk : chunks)
        reader.Read(chunk, received);
    return received;
}
Messages ReadChunk(std::string_view chunk) {
    return Read({chunk});
}

Received MoveOf(std::string par1, std::string par2) {
    return {Received::Kind::Move, std::move(par1), std::move(par2), {}};
}
Received ChatOf(std::string text) {
    return {Received::Kind::Chat, {}, {}, std::move(text)};
}
Received MoreOf(std::string text) {
    return {Received::Kind::ChatMore, {}, {}, std::move(text)};
}
const Received kEnd{Received::Kind::End, {}, {}, {}};

TEST(ProtocolTest, ReadsMovesAndSkipsMalformedOnes) {
    EXPECT_EQ(ReadChunk("PUT 3 12\n"), Messages{MoveOf("3", "12\n")});
    EXPECT_EQ(ReadChunk("put 3 4\n"), Messages{MoveOf("3", "4\n")});
    EXPECT_EQ(ReadChunk("pUt 14 0\n"), Messages{MoveOf("14", "0\n")});
    EXPECT_EQ(ReadChunk("PUT  5 7\n"), Messages{MoveOf("", "5 7")});
    EXPECT_EQ(ReadChunk("PUT 1234 5\n"), Messages{MoveOf("123", "5\n")});
    EXPECT_EQ(ReadChunk("PUT 1 23456\n"), Messages{MoveOf("1", "234")});
    EXPECT_EQ(ReadChunk("PUT 3\n"), Messages{});    // too short to hold two parameters
    EXPECT_EQ(ReadChunk("PUT 345\n"), Messages{});  // no space after the first parameter
    EXPECT_EQ(ReadChunk("PUT3,4\n"), Messages{});   // no space at all
    EXPECT_EQ(ReadChunk("PU 3 4\n"), Messages{});
}

TEST(ProtocolTest, ChatTakesTheRestOfTheChunk) {
    const std::string thirty(30, 'a');
    EXPECT_EQ(ReadChunk("MSG " + thirty), Messages{ChatOf(thirty)});
    std::string longest;
    for (size_t i = 0; i < protocol::kChatTextLimit; ++i)
        longest += static_cast<char>('a' + i % 26);
    EXPECT_EQ(ReadChunk("MSG " + longest), Messages{ChatOf(longest)});

    const std::string withKeywords = "line one\nPUT 1 2\nthe word DIS\nDIS\nmsg x";
    ASSERT_EQ(withKeywords.find("DIS"), 26u);
    EXPECT_EQ(ReadChunk("MSG " + withKeywords), Messages{ChatOf(withKeywords)});

    EXPECT_EQ(ReadChunk("MSG hi"), Messages{ChatOf("hi")});
    EXPECT_EQ(ReadChunk("msg hi\n"), Messages{ChatOf("hi\n")});
    EXPECT_EQ(ReadChunk("MSG:hi"), Messages{ChatOf("hi")});  // the separator is skipped as is
    EXPECT_EQ(ReadChunk("MSG "), Messages{ChatOf("")});
    EXPECT_EQ(ReadChunk("MSG\n"), Messages{ChatOf("")});
    EXPECT_EQ(ReadChunk("MSG 100% sure"), Messages{ChatOf("100% sure")});
}

TEST(ProtocolTest, ChatDropsACharacterBrokenAtTheEnd) {
    EXPECT_EQ(ReadChunk("MSG caf\xC3"), Messages{ChatOf("caf")});
    EXPECT_EQ(ReadChunk("MSG x\xE2\x82"), Messages{ChatOf("x")});
    EXPECT_EQ(ReadChunk("MSG x\xF0\x9F\x98"), Messages{ChatOf("x")});
    EXPECT_EQ(ReadChunk("MSG \xE2\x82"), Messages{ChatOf("")});
    // Whole characters stay, at the end or anywhere else.
    EXPECT_EQ(ReadChunk("MSG caf\xC3\xA9"), Messages{ChatOf("caf\xC3\xA9")});
    EXPECT_EQ(ReadChunk("MSG \xE2\x82\xAC 5"), Messages{ChatOf("\xE2\x82\xAC 5")});
    EXPECT_EQ(ReadChunk("MSG x\xF0\x9F\x98\x80"), Messages{ChatOf("x\xF0\x9F\x98\x80")});
    // A line a sender cut blindly at the limit, inside a character.
    const std::string ascii(protocol::kChatTextLimit - 1, 'b');
    EXPECT_EQ(ReadChunk("MSG " + ascii + "\xC3"), Messages{ChatOf(ascii)});
}

TEST(ProtocolTest, EndStopsReadingAndOtherPiecesAreSkipped) {
    EXPECT_EQ(ReadChunk("DIS\n"), Messages{kEnd});
    EXPECT_EQ(ReadChunk("dis"), Messages{kEnd});
    EXPECT_EQ(ReadChunk("DIS\nPUT 1 1\n"), Messages{kEnd});
    EXPECT_EQ(ReadChunk("DIS\nMSG hello"), Messages{kEnd});

    EXPECT_EQ(ReadChunk(""), Messages{});
    EXPECT_EQ(ReadChunk("CON\n"), Messages{});
    EXPECT_EQ(ReadChunk("\n\n\n"), Messages{});
    EXPECT_EQ(ReadChunk("\x01\xFF\x7F garbage\nXYZ 1 2\n"), Messages{});

    // Nothing after a NUL is seen.
    using namespace std::string_literals;
    EXPECT_EQ(ReadChunk("PUT 1 2\n\0PUT 3 4\n"s), Messages{MoveOf("1", "2\n")});
    EXPECT_EQ(ReadChunk("MSG a\0b"s), Messages{ChatOf("a")});
    EXPECT_EQ(ReadChunk("\0DIS\n"s), Messages{});
}

TEST(ProtocolTest, ReadsEveryMessageOfAChunkInOrder) {
    EXPECT_EQ(ReadChunk("CON\nPUT 8 3\n"), Messages{MoveOf("8", "3\n")});
    EXPECT_EQ(ReadChunk("PUT 1 2\nPUT 3 4\n"), (Messages{MoveOf("1", "2\n"), MoveOf("3", "4\n")}));
    EXPECT_EQ(ReadChunk("PUT 1 2\nbogus\nPUT 3\nPUT 5 6\n"),
              (Messages{MoveOf("1", "2\n"), MoveOf("5", "6\n")}));
    EXPECT_EQ(ReadChunk("PUT 1 2\nDIS\nPUT 3 4\n"), (Messages{MoveOf("1", "2\n"), kEnd}));
    EXPECT_EQ(ReadChunk("PUT 1 2\nMSG hi\nPUT 3 4\n"),
              (Messages{MoveOf("1", "2\n"), ChatOf("hi\nPUT 3 4\n")}));
}

// The network may cut a line anywhere: its start waits for the rest, or for the next message,
// which shows that it was whole.
TEST(ProtocolTest, ALineCutBetweenReadsIsReadWhole) {
    const struct {
        std::initializer_list<std::string_view> chunks;
        Messages expected;
    } cases[] = {
        {{"PU", "T 3 4\n"}, {MoveOf("3", "4\n")}},
        {{"PUT 12 ", "4\n"}, {MoveOf("12", "4\n")}},
        {{"P", "U", "T 1", "2 4", "\n"}, {MoveOf("12", "4\n")}},
        {{"PUT 1 2\nPU", "T 3 4\n"}, {MoveOf("1", "2\n"), MoveOf("3", "4\n")}},
        {{"M", "SG hi"}, {ChatOf("hi")}},
        {{"MSG", " hi"}, {ChatOf("hi")}},
        {{"DI", "S\n"}, {kEnd}},
        {{"CO", "N\nPUT 8 3\n"}, {MoveOf("8", "3\n")}},
        // A line without a line feed is whole once the next message begins.
        {{"put 3 4", "PUT 1 1\n"}, {MoveOf("3", "4"), MoveOf("1", "1\n")}},
        {{"PUT 1 2\nput 3 4", "MSG x"}, {MoveOf("1", "2\n"), MoveOf("3", "4"), ChatOf("x")}},
        {{"MSG", "PUT 1 1\n"}, {ChatOf(""), MoveOf("1", "1\n")}},
        {{"PUT 3 4"}, {}},
        // After a chat, one or two letters may be its end or the start of a word.
        {{"MSG hi", "PU", "T 3 4\n"}, {ChatOf("hi"), MoveOf("3", "4\n")}},
        {{"MSG hi", "M", "SG yo"}, {ChatOf("hi"), ChatOf("yo")}},
        {{"MSG hi", "Co", "DIS\n"}, {ChatOf("hi"), MoreOf("Co"), kEnd}},
        {{"MSG hi", "d", "!"}, {ChatOf("hi"), MoreOf("d"), MoreOf("!")}},
        {{"MSG hi", "Co", " more"}, {ChatOf("hi"), MoreOf("Co"), MoreOf(" more")}},
        // A NUL ends what is seen of a chunk, and an empty read finishes nothing.
        {{"PU", "", "T 5 5\n"}, {MoveOf("5", "5\n")}},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(testing::PrintToString(std::vector<std::string_view>(each.chunks)));
        EXPECT_EQ(Read(each.chunks), each.expected);
    }
    // An unfinished line longer than any message is dropped, not kept without end.
    const std::string endless = "PUT 1 " + std::string(protocol::Reader::kUnfinishedLimit, '1');
    EXPECT_EQ(Read({endless, "2\n", "PUT 2 2\n"}), Messages{MoveOf("2", "2\n")});
}

TEST(ProtocolTest, AChatSplitAcrossReadsIsContinuedNeverReadAsCommands) {
    // The tail of a long chat, however it looks, belongs to the chat.
    EXPECT_EQ(Read({"MSG first part", " and\nPUT 6 9\n", "DIS\n"}),
              (Messages{ChatOf("first part"), MoreOf(" and\nPUT 6 9\n"), kEnd}));
    EXPECT_EQ(Read({"MSG a", "\nDIS\n", "b", "PUT 1 2\n"}),
              (Messages{ChatOf("a"), MoreOf("\nDIS\n"), MoreOf("b"), MoveOf("1", "2\n")}));
    // A chunk that starts with one of the four words ends the chat, the greeting included; after
    // a move a stray chunk is skipped as before.
    EXPECT_EQ(Read({"MSG a", "con\n", "tail"}), Messages{ChatOf("a")});
    EXPECT_EQ(Read({"MSG a", "msg b", "z"}), (Messages{ChatOf("a"), ChatOf("b"), MoreOf("z")}));
    EXPECT_EQ(Read({"PUT 1 2\n", "garbage"}), Messages{MoveOf("1", "2\n")});
    EXPECT_EQ(Read({"garbage", "MSG x"}), Messages{ChatOf("x")});
    // A chat starting after a move in the same chunk continues too.
    EXPECT_EQ(Read({"PUT 1 2\nMSG hi", " there"}),
              (Messages{MoveOf("1", "2\n"), ChatOf("hi"), MoreOf(" there")}));

    // A chat holds 895 bytes at most, however many reads bring them; the rest is dropped.
    const std::string head(600, 'h'), tail(400, 't');
    EXPECT_EQ(Read({"MSG " + head, tail, "more"}),
              (Messages{ChatOf(head), MoreOf(std::string(295, 't'))}));
    // A character cut between two reads arrives whole with the second.
    EXPECT_EQ(Read({"MSG caf\xC3", "\xA9!"}), (Messages{ChatOf("caf"), MoreOf("\xC3\xA9!")}));
    EXPECT_EQ(Read({"MSG x\xF0\x9F", "\x98", "\x80"}),
              (Messages{ChatOf("x"), MoreOf("\xF0\x9F\x98\x80")}));
    // A character the 895th byte would cut goes.
    EXPECT_EQ(Read({"MSG " + std::string(894, 'a'),
                    "\xC3\xA9"
                    "b"}),
              Messages{ChatOf(std::string(894, 'a'))});
}

TEST(ProtocolTest, BuildsMessages) {
    EXPECT_EQ(protocol::Move(8, 3), "PUT 8 3\n");
    EXPECT_EQ(protocol::Move(3, 12), "PUT 3 12\n");
    EXPECT_EQ(protocol::Chat("50% off, %s %d %%\nsecond line"),
              "MSG 50% off, %s %d %%\nsecond line");
    EXPECT_EQ(protocol::Chat(""), "MSG ");

    const size_t limit = protocol::kChatTextLimit;
    const std::string full(limit, 'x');
    EXPECT_EQ(protocol::Chat(full), "MSG " + full);
    EXPECT_EQ(protocol::Chat(full + "y"), "MSG " + full);
    EXPECT_EQ(protocol::Chat(full + "\xC3\xA9"), "MSG " + full);
    // The limit falls inside a character: the whole character goes.
    const std::string ascii(limit - 1, 'x');
    EXPECT_EQ(protocol::Chat(ascii + "\xC3\xA9"), "MSG " + ascii);
    EXPECT_EQ(protocol::Chat(ascii + "\xE2\x82\xAC"), "MSG " + ascii);
    EXPECT_EQ(protocol::Chat(std::string(limit - 2, 'x') + "\xE2\x82\xAC"),
              "MSG " + std::string(limit - 2, 'x'));
    EXPECT_EQ(protocol::Chat(std::string(limit - 3, 'x') + "\xF0\x9F\x98\x80!"),
              "MSG " + std::string(limit - 3, 'x'));

    // What one side builds, the other reads back, within one receive.
    const std::string longChat = protocol::Chat(std::string(2000, 'z'));
    EXPECT_LE(longChat.size(), protocol::kReceiveSize);
    EXPECT_EQ(ReadChunk(longChat), Messages{ChatOf(std::string(limit, 'z'))});
    EXPECT_EQ(ReadChunk(protocol::Greeting() + protocol::Move(14, 2)),
              Messages{MoveOf("14", "2\n")});
}

}  // namespace
