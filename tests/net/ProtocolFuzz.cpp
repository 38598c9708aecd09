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
    std::string_view input(reinterpret_cast<const char*>(data), size);
    protocol::Reader reader;
    std::vector<protocol::Received> received;
    bool chatOpen = false;  // the last message was a chat, which later reads may continue
    size_t chatBytes = 0, totalIn = 0, totalOut = 0;
    while (input.size() >= 2) {
        const size_t declared =
            (static_cast<uint8_t>(input[0]) | static_cast<uint8_t>(input[1]) << 8) %
            (protocol::kReceiveSize + 1);
        const size_t length = std::min(declared, input.size() - 2);
        const std::string_view chunk = input.substr(2, length);
        input.remove_prefix(2 + length);
        received.clear();
        reader.Read(chunk, received);
        totalIn += chunk.size();
        for (size_t i = 0; i < received.size(); ++i) {
            const auto& r = received[i];
            const bool last = i + 1 == received.size();
            totalOut += r.par1.size() + r.par2.size() + r.text.size();
            switch (r.kind) {
                case protocol::Received::Kind::Move:
                    Check(r.par1.size() <= 3 && r.par2.size() <= 3 && r.text.empty() &&
                          r.par1.find_first_of(std::string_view(" \n\0", 3)) == std::string::npos &&
                          r.par2.find('\0') == std::string::npos);
                    chatOpen = false;
                    break;
                case protocol::Received::Kind::End:
                    // The link ends: nothing may follow.
                    Check(last && r.par1.empty() && r.par2.empty() && r.text.empty());
                    return 0;
                case protocol::Received::Kind::Chat:
                    // A chat takes the rest of its chunk, and comes from it; only a "MSG" found
                    // whole when the next message began is followed by more.
                    Check((last || r.text.empty()) && r.par1.empty() && r.par2.empty() &&
                          chunk.find(r.text) != std::string_view::npos);
                    chatOpen = true;
                    chatBytes = r.text.size();
                    break;
                case protocol::Received::Kind::ChatMore:
                    // Only a chat goes on, before anything else of its chunk, within what a chat
                    // may hold.
                    Check(chatOpen && !r.text.empty() &&
                          (i == 0 || received[i - 1].kind == protocol::Received::Kind::ChatMore));
                    chatBytes += r.text.size();
                    break;
            }
            Check(chatBytes <= protocol::kChatTextLimit && r.text.find('\0') == std::string::npos);
        }
    }
    Check(totalOut <= totalIn);
    return 0;
}
