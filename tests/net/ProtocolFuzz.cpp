// libFuzzer target for protocol::ReadChunk: whatever bytes a peer sends, reading them must not
// fail and must keep the promises the link relies on. Built and run by fuzz.sh.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "net/Protocol.h"

namespace {

void Check(bool holds) {
    if (!holds)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto received = protocol::ReadChunk(input);
    const std::string_view seen = input.substr(0, input.find('\0'));

    size_t total = 0;
    for (size_t i = 0; i < received.size(); ++i) {
        const auto& r = received[i];
        const bool last = i + 1 == received.size();
        total += r.par1.size() + r.par2.size() + r.text.size();
        switch (r.kind) {
            case protocol::Received::Kind::Move:
                Check(r.par1.size() <= 3 && r.par2.size() <= 3);
                Check(r.par1.find_first_of(std::string_view(" \n\0", 3)) == std::string::npos);
                Check(r.par2.find('\0') == std::string::npos);
                Check(r.text.empty());
                break;
            case protocol::Received::Kind::End:
                // The link ends: nothing may follow.
                Check(last);
                Check(r.par1.empty() && r.par2.empty() && r.text.empty());
                break;
            case protocol::Received::Kind::Chat: {
                // A chat takes the rest of the chunk: it is last, and its text is the end of
                // what was seen, less at most one broken character (three bytes).
                Check(last);
                Check(r.par1.empty() && r.par2.empty());
                bool tailOfSeen = false;
                for (size_t dropped = 0; dropped <= 3 && !tailOfSeen; ++dropped) {
                    tailOfSeen =
                        r.text.size() + dropped <= seen.size() &&
                        seen.substr(seen.size() - dropped - r.text.size(), r.text.size()) == r.text;
                }
                Check(tailOfSeen);
                break;
            }
        }
    }
    Check(total <= size);
    return 0;
}
