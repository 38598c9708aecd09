// libFuzzer target for protocol::Reader: whatever bytes a peer sends, however the network cuts
// them into reads, reading them must not fail and must keep the promises the link relies on.
// The input is a sequence of chunks, each two bytes of length (little-endian, at most what one
// recv returns) and that many bytes. Built and run by fuzz.sh.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "net/Protocol.h"

namespace {

void Check(bool holds) {
    if (!holds)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using Kind = protocol::Received::Kind;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    protocol::Reader reader;
    std::vector<protocol::Received> received;
    bool chatOpen = false;  // the last message was a chat, which later reads may continue
    size_t chatBytes = 0, totalIn = 0, totalOut = 0;
    while (input.size() >= 2) {
        const size_t length = std::min(
            size_t(uint8_t(input[0]) | uint8_t(input[1]) << 8) % (protocol::kReceiveSize + 1),
            input.size() - 2);
        const std::string_view chunk = input.substr(2, length);
        input.remove_prefix(2 + length);
        received.clear();
        reader.Read(chunk, received);
        totalIn += chunk.size();
        for (size_t i = 0; i < received.size(); ++i) {
            const auto& r = received[i];
            totalOut += r.par1.size() + r.par2.size() + r.text.size();
            // Only a move has parameters, short ones; no message holds a NUL.
            Check((r.kind == Kind::Move ? r.par1.size() <= 3 && r.par2.size() <= 3 && r.text.empty()
                                        : r.par1.empty() && r.par2.empty()) &&
                  r.par1.find_first_of(std::string_view(" \n\0", 3)) == std::string::npos &&
                  (r.par2 + r.text).find('\0') == std::string::npos);
            // The link ends: nothing may follow.
            Check(r.kind != Kind::End || i + 1 == received.size());
            // A chat takes the rest of its chunk, and comes from it; only a "MSG" found whole
            // when the next message began is followed by more.
            Check(r.kind != Kind::Chat || ((i + 1 == received.size() || r.text.empty()) &&
                                           chunk.find(r.text) != std::string_view::npos));
            // Only a chat goes on, before anything else of its chunk, within what a chat may hold.
            Check(r.kind != Kind::ChatMore || (chatOpen && !r.text.empty() &&
                                               (i == 0 || received[i - 1].kind == Kind::ChatMore)));
            chatOpen = r.kind == Kind::Chat || r.kind == Kind::ChatMore;
            chatBytes = (r.kind == Kind::ChatMore ? chatBytes : 0) + r.text.size();
            Check(chatBytes <= protocol::kChatTextLimit);
            if (r.kind == Kind::End)
                return 0;
        }
    }
    Check(totalOut <= totalIn);
    return 0;
}
