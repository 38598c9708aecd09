#include "net/Protocol.h"

#include <algorithm>
#include <utility>

namespace protocol {
namespace {

constexpr std::size_t kParameterLimit = 3;
constexpr std::size_t kMaxContinuationBytes = 3;  // in one UTF-8 character

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Bytes a character starting with this lead byte takes; 0 for a byte that starts no multi-byte
// character.
std::size_t SequenceLength(char c) {
    auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xE0) == 0xC0)
        return 2;
    if ((byte & 0xF0) == 0xE0)
        return 3;
    if ((byte & 0xF8) == 0xF0)
        return 4;
    return 0;
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the piece's first three characters are the (lowercase) keyword, ignoring case.
bool StartsWithKeyword(std::string_view piece, std::string_view keyword) {
    if (piece.size() < keyword.size())
        return false;
    for (std::size_t i = 0; i < keyword.size(); ++i) {
        if (AsciiLower(piece[i]) != keyword[i])
            return false;
    }
    return true;
}

// Bytes of the character left unfinished at the end of text (a sender cuts a long line at a byte
// count, and a read ends wherever the network split the line); 0 when text ends whole.
std::size_t BrokenTail(std::string_view text) {
    std::size_t lead = text.size();
    while (lead > 0 && text.size() - lead < kMaxContinuationBytes && IsContinuation(text[lead - 1]))
        --lead;
    if (lead == 0)
        return 0;
    --lead;
    const std::size_t length = SequenceLength(text[lead]);
    return length > 0 && text.size() - lead < length ? text.size() - lead : 0;
}

// The longest start of text within limit bytes that does not end inside a character.
std::string_view WholeCharacters(std::string_view text, std::size_t limit) {
    if (text.size() <= limit)
        return text;
    // Back off to the start of the character the limit falls in (at most three bytes).
    std::size_t cut = limit;
    while (cut > 0 && cut + kMaxContinuationBytes > limit && IsContinuation(text[cut]))
        --cut;
    return text.substr(0, cut);
}

// Whether a chunk starts with one of the four words, and so is no part of a chat before it.
bool StartsWithMessage(std::string_view chunk) {
    for (std::string_view word : {"put", "dis", "msg", "con"}) {
        if (StartsWithKeyword(chunk, word))
            return true;
    }
    return false;
}

// Whether text is the first one or two letters of one of the four words.
bool StartsAWord(std::string_view text) {
    if (text.empty() || text.size() >= 3)
        return false;
    for (std::string_view word : {"put", "dis", "msg", "con"}) {
        if (StartsWithKeyword(text, word.substr(0, text.size())))
            return true;
    }
    return false;
}

// Whether a piece at a chunk's end, without a line feed, may still be cut short by the network:
// a move's numbers, a chat's blank, a word's last letters. "DIS" ends the link however it is cut.
bool MayBeUnfinished(std::string_view piece) {
    return StartsAWord(piece) || StartsWithKeyword(piece, "put") ||
           (piece.size() == 3 && StartsWithKeyword(piece, "msg"));
}

// "PUT <par1> <par2>": the board parses the numbers, so the parameters are passed on as text.
bool ReadMove(std::string_view piece, Received& move) {
    if (piece.size() <= 6)
        return false;
    std::size_t first = piece.find(' ');
    if (first == std::string_view::npos)
        return false;
    std::size_t second = piece.find(' ', first + 1);
    if (second == std::string_view::npos)
        return false;
    move.par1 = piece.substr(first + 1, second - first - 1).substr(0, kParameterLimit);
    move.par2 = piece.substr(second + 1).substr(0, kParameterLimit);
    return true;
}

}  // namespace

std::string Greeting() {
    return "CON\n";
}

std::string Move(int column, int row) {
    return "PUT " + std::to_string(column) + " " + std::to_string(row) + "\n";
}

std::string Chat(std::string_view text) {
    return "MSG " + std::string(WholeCharacters(text, kChatTextLimit));
}

std::string End() {
    return "DIS\n";
}

void Reader::Read(std::string_view chunk, std::vector<Received>& received) {
    chunk = chunk.substr(0, chunk.find('\0'));
    if (chunk.empty())
        return;
    if (fUnfinished.empty()) {
        ReadChunk(chunk, true, received);
        return;
    }
    std::string line = std::exchange(fUnfinished, {});
    if (StartsWithMessage(chunk)) {
        // A new message begins: the waiting line was whole.
        if (fUnfinishedInChat)
            TakeChatText(line, Received::Kind::ChatMore, received);
        else
            ReadChunk(line, false, received);
        ReadChunk(chunk, true, received);
        return;
    }
    line.append(chunk);
    if (fUnfinishedInChat && !StartsWithMessage(line)) {
        // The waiting letters were the end of the chat, and so is what follows them.
        line.resize(line.size() - chunk.size());
        TakeChatText(line, Received::Kind::ChatMore, received);
        ReadChunk(chunk, true, received);
        return;
    }
    ReadChunk(line, true, received);
}

void Reader::ReadChunk(std::string_view chunk, bool keepUnfinished,
                       std::vector<Received>& received) {
    if (fInChat && !StartsWithMessage(chunk)) {
        // A chat's tail of one or two letters may be the start of a word cut by the network.
        if (keepUnfinished && StartsAWord(chunk)) {
            fUnfinished = chunk;
            fUnfinishedInChat = true;
            return;
        }
        TakeChatText(chunk, Received::Kind::ChatMore, received);
        return;
    }
    fInChat = false;
    std::size_t start = 0;
    while (start < chunk.size()) {
        std::size_t lineFeed = chunk.find('\n', start);
        std::size_t end = lineFeed == std::string_view::npos ? chunk.size() : lineFeed + 1;
        std::string_view piece = chunk.substr(start, end - start);
        if (keepUnfinished && lineFeed == std::string_view::npos && MayBeUnfinished(piece)) {
            // A line longer than any message is dropped rather than kept without bound.
            if (piece.size() <= kUnfinishedLimit) {
                fUnfinished = piece;
                fUnfinishedInChat = false;
            }
            break;
        }
        if (StartsWithKeyword(piece, "put")) {
            received.push_back({Received::Kind::Move, {}, {}, {}});
            if (!ReadMove(piece, received.back()))
                received.pop_back();
        } else if (StartsWithKeyword(piece, "dis")) {
            received.push_back({Received::Kind::End, {}, {}, {}});
            break;
        } else if (StartsWithKeyword(piece, "msg")) {
            // A chat line may hold line feeds of its own: it takes everything that follows.
            fInChat = true;
            fChatBytes = 0;
            fHeld.clear();
            TakeChatText(chunk.substr(std::min(start + 4, chunk.size())), Received::Kind::Chat,
                         received);
            break;
        }
        start = end;
    }
}

void Reader::TakeChatText(std::string_view text, Received::Kind kind,
                          std::vector<Received>& received) {
    std::string taken = std::exchange(fHeld, {}) + std::string(text);
    const std::size_t room = kChatTextLimit - fChatBytes;
    if (taken.size() > room) {
        // The chat is full: the rest is dropped, and so is a character the cut would break.
        taken.resize(WholeCharacters(taken, room).size());
        taken.resize(taken.size() - BrokenTail(taken));
    } else {
        const std::size_t broken = BrokenTail(taken);
        fHeld = taken.substr(taken.size() - broken);
        taken.resize(taken.size() - broken);
    }
    fChatBytes += taken.size();
    if (kind == Received::Kind::Chat || !taken.empty())
        received.push_back({kind, {}, {}, std::move(taken)});
}

}  // namespace protocol
