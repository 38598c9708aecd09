#include "net/Protocol.h"

#include <algorithm>

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

// The sender cuts a long line at a byte count, so the text may end partway into a character;
// that broken character would only show as garbage.
void DropBrokenTail(std::string& text) {
    std::size_t lead = text.size();
    while (lead > 0 && text.size() - lead < kMaxContinuationBytes && IsContinuation(text[lead - 1]))
        --lead;
    if (lead == 0)
        return;
    --lead;
    std::size_t length = SequenceLength(text[lead]);
    if (length > 0 && text.size() - lead < length)
        text.resize(lead);
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
    move.kind = Received::Kind::Move;
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
    if (text.size() > kChatTextLimit) {
        // Back off to the start of the character the limit falls in (at most three bytes).
        std::size_t cut = kChatTextLimit;
        while (cut > kChatTextLimit - kMaxContinuationBytes && IsContinuation(text[cut]))
            --cut;
        text = text.substr(0, cut);
    }
    return "MSG " + std::string(text);
}

std::string End() {
    return "DIS\n";
}

std::vector<Received> ReadChunk(std::string_view chunk) {
    chunk = chunk.substr(0, chunk.find('\0'));
    std::vector<Received> received;
    std::size_t start = 0;
    while (start < chunk.size()) {
        std::size_t lineFeed = chunk.find('\n', start);
        std::size_t end = lineFeed == std::string_view::npos ? chunk.size() : lineFeed + 1;
        std::string_view piece = chunk.substr(start, end - start);
        if (StartsWithKeyword(piece, "put")) {
            Received parsed;
            if (ReadMove(piece, parsed))
                received.push_back(std::move(parsed));
        } else if (StartsWithKeyword(piece, "dis")) {
            received.push_back({Received::Kind::End, {}, {}, {}});
            break;
        } else if (StartsWithKeyword(piece, "msg")) {
            // A chat line may hold line feeds of its own: it takes everything that follows.
            std::string text(chunk.substr(std::min(start + 4, chunk.size())));
            DropBrokenTail(text);
            received.push_back({Received::Kind::Chat, {}, {}, std::move(text)});
            break;
        }
        start = end;
    }
    return received;
}

}  // namespace protocol
