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

using namespace std::string_literals;
using protocol::Received;
using Messages = std::vector<Received>;
constexpr size_t kLimit = protocol::kChatTextLimit;

// What one link's reader makes of chunks that arrive one after another.
Messages Read(const std::vector<std::string>& chunks) {
    protocol::Reader reader;
    Messages received;
    for (const std::string& chunk : chunks)
        reader.Read(chunk, received);
    return received;
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

TEST(ProtocolTest, ReadsWhatAPeerSendsHoweverTheNetworkCutsIt) {
    const std::string keywords = "line one\nPUT 1 2\nthe word DIS\nDIS\nmsg x 100% %s";
    const std::string ascii(kLimit - 1, 'b'), head(600, 'h'), tail(400, 't');
    const struct {
        std::vector<std::string> chunks;
        Messages expected;
    } cases[] = {
        // Moves, and malformed ones skipped.
        {{"PUT 3 12\n"}, {MoveOf("3", "12\n")}},
        {{"PUT  5 7\n"}, {MoveOf("", "5 7")}},
        {{"PUT 1234 5\n"}, {MoveOf("123", "5\n")}},
        {{"PUT 1 23456\n"}, {MoveOf("1", "234")}},
        {{"PUT 3\n"}, {}},
        {{"PUT 345\n"}, {}},
        {{"PU 3 4\n"}, {}},
        // A chat takes the rest of its chunk, whatever it holds.
        {{"MSG " + keywords}, {ChatOf(keywords)}},
        {{"msg hi\n"}, {ChatOf("hi\n")}},
        {{"MSG:hi"}, {ChatOf("hi")}},
        // A character broken at the end goes; whole ones stay.
        {{"MSG x\xF0\x9F\x98"}, {ChatOf("x")}},
        {{"MSG x\xF0\x9F\x98\x80"}, {ChatOf("x\xF0\x9F\x98\x80")}},
        {{"MSG " + ascii + "\xC3"}, {ChatOf(ascii)}},
        // The end stops reading; the greeting, blank lines and junk are skipped.
        {{"dis"}, {kEnd}},
        {{"", "CON\n\n\n", "\x01\xFF\x7F garbage\nXYZ 1 2\n"}, {}},
        // Nothing after a NUL is seen.
        {{"PUT 1 2\n\0PUT 3 4\n"s}, {MoveOf("1", "2\n")}},
        {{"MSG a\0b"s}, {ChatOf("a")}},
        // Every message of a chunk, in order; a chat after a move in the same chunk.
        {{"PUT 1 2\nbogus\nPUT 3\nPUT 5 6\n"}, {MoveOf("1", "2\n"), MoveOf("5", "6\n")}},
        {{"PUT 1 2\nDIS\nPUT 3 4\n"}, {MoveOf("1", "2\n"), kEnd}},
        {{"PUT 1 2\nMSG hi\nPUT 3 4\n"}, {MoveOf("1", "2\n"), ChatOf("hi\nPUT 3 4\n")}},
        // A line cut anywhere waits for its rest, or for the next message to show it whole.
        {{"P", "U", "T 1", "2 4", "\n"}, {MoveOf("12", "4\n")}},
        {{"PUT 1 2\nPU", "", "T 3 4\n"}, {MoveOf("1", "2\n"), MoveOf("3", "4\n")}},
        {{"DI", "S\n"}, {kEnd}},
        {{"CO", "N\nPUT 8 3\n"}, {MoveOf("8", "3\n")}},
        {{"PUT 1 2\nput 3 4", "MSG x"}, {MoveOf("1", "2\n"), MoveOf("3", "4"), ChatOf("x")}},
        {{"MSG", "PUT 1 1\n"}, {ChatOf(""), MoveOf("1", "1\n")}},
        {{"PUT 1 " + std::string(protocol::Reader::kUnfinishedLimit, '1'), "2\n", "PUT 2 2\n"},
         {MoveOf("2", "2\n")}},
        // After a chat, one or two letters may be its end or the start of a word.
        {{"MSG hi", "PU", "T 3 4\n"}, {ChatOf("hi"), MoveOf("3", "4\n")}},
        {{"MSG hi", "M", "SG yo"}, {ChatOf("hi"), ChatOf("yo")}},
        {{"MSG hi", "Co", "DIS\n"}, {ChatOf("hi"), MoreOf("Co"), kEnd}},
        {{"MSG hi", "d", "!"}, {ChatOf("hi"), MoreOf("d"), MoreOf("!")}},
        // The tail of a chat, however it looks, is continued, never read as commands; a chunk
        // that starts with one of the four words ends it.
        {{"MSG a", "\nDIS\n", "b", "PUT 1 2\n"},
         {ChatOf("a"), MoreOf("\nDIS\n"), MoreOf("b"), MoveOf("1", "2\n")}},
        {{"PUT 1 2\nMSG hi", " and\nPUT 6 9\n", "DIS\n"},
         {MoveOf("1", "2\n"), ChatOf("hi"), MoreOf(" and\nPUT 6 9\n"), kEnd}},
        {{"MSG a", "con\n", "tail"}, {ChatOf("a")}},
        {{"MSG a", "msg b", "z"}, {ChatOf("a"), ChatOf("b"), MoreOf("z")}},
        {{"PUT 1 2\n", "garbage", "MSG x"}, {MoveOf("1", "2\n"), ChatOf("x")}},
        // A chat holds kLimit bytes however many reads bring them; a character cut between
        // reads arrives whole, one the limit would cut goes.
        {{"MSG " + head, tail, "more"}, {ChatOf(head), MoreOf(std::string(295, 't'))}},
        {{"MSG x\xF0\x9F", "\x98", "\x80"}, {ChatOf("x"), MoreOf("\xF0\x9F\x98\x80")}},
        {{"MSG " + std::string(kLimit - 1, 'a'), "\xC3\xA9z"},
         {ChatOf(std::string(kLimit - 1, 'a'))}},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(testing::PrintToString(each.chunks));
        EXPECT_EQ(Read(each.chunks), each.expected);
    }
}

TEST(ProtocolTest, BuildsMessagesTheReaderReadsBack) {
    EXPECT_EQ(protocol::Move(3, 12), "PUT 3 12\n");
    EXPECT_EQ(protocol::Chat("50% off, %s %d\nsecond line"), "MSG 50% off, %s %d\nsecond line");
    // Cut at the limit, and before a character the limit falls inside.
    const std::string full(kLimit, 'x'), ascii(kLimit - 1, 'x'), two(kLimit - 2, 'x');
    for (const auto& [text, sent] : std::vector<std::pair<std::string, std::string>>{
             {full + "y", full},
             {full + "\xC3\xA9", full},
             {ascii + "\xC3\xA9", ascii},
             {two + "\xE2\x82\xAC", two},
             {std::string(kLimit - 3, 'x') + "\xF0\x9F\x98\x80!", std::string(kLimit - 3, 'x')}})
        EXPECT_EQ(protocol::Chat(text), "MSG " + sent);
    // Within one receive.
    const std::string longChat = protocol::Chat(std::string(2000, 'z'));
    EXPECT_LE(longChat.size(), protocol::kReceiveSize);
    EXPECT_EQ(Read({longChat}), Messages{ChatOf(std::string(kLimit, 'z'))});
    EXPECT_EQ(Read({protocol::Greeting() + protocol::Move(14, 2)}), Messages{MoveOf("14", "2\n")});
}

}  // namespace
