// The game's wire messages, built and read. Plain C++: no sockets, no kit.
//
// A message is a line: "CON\n" (greeting), "PUT c r\n" (a move, column first), "DIS\n" (the
// peer leaves) or "MSG text" (a chat line, no line feed of its own). The reader gets whatever
// one recv returned; it splits that chunk after every line feed and reads each piece on its own,
// except that a chat takes the rest of the chunk and "DIS" ends the reading. A chat longer than
// one read continues in the next chunks: a chunk that does not start with one of the four words
// continues the chat before it, up to the bytes a chat may hold. A line the network cut before its
// end (a move without its line feed, "MSG" without its blank, the first letters of a word) waits
// for the next chunk, which finishes it, or, when it starts with a word of its own, shows that
// the waiting line was whole.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace protocol {

constexpr std::size_t kReceiveSize = 1024;   // bytes asked of one recv
constexpr std::size_t kChatTextLimit = 895;  // bytes of chat text a chat line carries

std::string Greeting();                   // "CON\n"
std::string Move(int column, int row);    // "PUT <column> <row>\n"
std::string Chat(std::string_view text);  // "MSG " + text, cut to kChatTextLimit bytes on a
                                          // character boundary; no line feed added
std::string End();                        // "DIS\n"

struct Received {
    enum class Kind { Move, Chat, ChatMore, End };
    Kind kind;
    std::string par1;  // Move: the column, as sent (at most 3 characters)
    std::string par2;  // Move: the row, as sent, line feed included (at most 3 characters)
    std::string text;  // Chat: the text; ChatMore: what follows the chat's text so far

    bool operator==(const Received&) const = default;
};

// Reads one link's chunks in the order they arrive. A value; used by one thread.
class Reader {
public:
    // Appends the messages this chunk holds, in order, to received. Bytes from the first NUL on
    // are not seen; pieces that are not a move, chat or end are skipped. A move's fields fit in
    // a string's own storage, so reading moves into a reused vector allocates nothing.
    void Read(std::string_view chunk, std::vector<Received>& received);

    // The most bytes of an unfinished line kept for the next chunk: a chat line's.
    static constexpr std::size_t kUnfinishedLimit = 4 + kChatTextLimit;

private:
    // Reads a chunk; with keepUnfinished an unfinished line at its end waits in fUnfinished.
    void ReadChunk(std::string_view chunk, bool keepUnfinished, std::vector<Received>& received);
    // Appends the text of a chat, or more of it, within what a chat may hold; a character cut
    // at the chunk's end waits for the rest in fHeld.
    void TakeChatText(std::string_view text, Received::Kind kind, std::vector<Received>& received);

    bool fInChat = false;            // the last message read was a chat
    std::size_t fChatBytes = 0;      // its text so far, fHeld not included
    std::string fHeld;               // the start of a character cut at a chunk's end
    std::string fUnfinished;         // a line cut at a chunk's end, waiting for its rest
    bool fUnfinishedInChat = false;  // it may also be the end of the chat before it
};

}  // namespace protocol
