// The game's wire messages, built and read. Plain C++: no sockets, no kit.
//
// A message is a line: "CON\n" (greeting), "PUT c r\n" (a move, column first), "DIS\n" (the
// peer leaves) or "MSG text" (a chat line, no line feed of its own). The reader gets whatever
// one recv returned; it splits that chunk after every line feed and reads each piece on its own,
// except that a chat takes the rest of the chunk and "DIS" ends the reading.
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
    enum class Kind { Move, Chat, End };
    Kind kind;
    std::string par1;  // Move: the column, as sent (at most 3 characters)
    std::string par2;  // Move: the row, as sent, line feed included (at most 3 characters)
    std::string text;  // Chat

    bool operator==(const Received&) const = default;
};

// Reads what one recv returned into the messages it holds, in order. Bytes from the first NUL
// on are not seen; pieces that are not a move, chat or end are skipped.
std::vector<Received> ReadChunk(std::string_view chunk);

}  // namespace protocol
