#include "net/Addresses.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

namespace addresses {
namespace {

bool IsHostNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

bool IsIPv6Character(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
           c == '.';
}

// An IPv6 address as typed: hexadecimal groups, then optionally "%" and a zone (an interface's
// name or number). The resolver checks the rest.
bool LooksLikeIPv6(std::string_view text) {
    const size_t percent = text.find('%');
    const std::string_view address = text.substr(0, percent);
    if (address.find(':') == std::string_view::npos ||
        !std::all_of(address.begin(), address.end(), IsIPv6Character))
        return false;
    if (percent == std::string_view::npos)
        return true;
    const std::string_view zone = text.substr(percent + 1);
    return !zone.empty() && std::all_of(zone.begin(), zone.end(), IsHostNameCharacter);
}

// The order in which the list shows an address; negative for one to leave out.
int Rank(const kit::SocketAddress& address) {
    if (address.Family() == AF_INET6) {
        const in6_addr& ip = reinterpret_cast<const sockaddr_in6*>(&address.storage)->sin6_addr;
        if (IN6_IS_ADDR_LOOPBACK(&ip) || IN6_IS_ADDR_UNSPECIFIED(&ip) ||
            IN6_IS_ADDR_V4MAPPED(&ip) || IN6_IS_ADDR_MULTICAST(&ip))
            return -1;
        if (IN6_IS_ADDR_LINKLOCAL(&ip))
            return 4;
        return (ip.s6_addr[0] & 0xFE) == 0xFC ? 1 : 0;  // unique local after global
    }
    const uint32_t ip =
        ntohl(reinterpret_cast<const sockaddr_in*>(&address.storage)->sin_addr.s_addr);
    const auto in = [ip](uint32_t network, int bits) {
        return (ip >> (32 - bits)) == (network >> (32 - bits));
    };
    if (in(0x7F000000, 8) || ip == 0)
        return -1;
    if (in(0xA9FE0000, 16))
        return 4;
    const bool privateRange =
        in(0x0A000000, 8) || in(0xAC100000, 12) || in(0xC0A80000, 16) || in(0x64400000, 10);
    return privateRange ? 3 : 2;
}

std::string Text(const kit::InterfaceAddress& entry) {
    char text[INET6_ADDRSTRLEN] = "";
    if (entry.address.Family() == AF_INET6) {
        const auto& ip = reinterpret_cast<const sockaddr_in6*>(&entry.address.storage)->sin6_addr;
        inet_ntop(AF_INET6, &ip, text, sizeof text);
        // A link-local address is reached only through its interface.
        return IN6_IS_ADDR_LINKLOCAL(&ip) ? std::string(text) + "%" + entry.interface : text;
    }
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&entry.address.storage)->sin_addr,
              text, sizeof text);
    return text;
}

}  // namespace

std::optional<HostQuery> ReadAddressField(std::string_view typed) {
    const size_t first = typed.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return std::nullopt;
    typed = typed.substr(first, typed.find_last_not_of(" \t") - first + 1);
    if (typed.front() == '[') {
        if (typed.size() < 3 || typed.back() != ']' ||
            !LooksLikeIPv6(typed.substr(1, typed.size() - 2)))
            return std::nullopt;
        return HostQuery{std::string(typed.substr(1, typed.size() - 2)), true};
    }
    if (typed.find(':') != std::string_view::npos)
        return LooksLikeIPv6(typed) ? std::optional(HostQuery{std::string(typed), true})
                                    : std::nullopt;
    if (!std::all_of(typed.begin(), typed.end(), IsHostNameCharacter))
        return std::nullopt;
    return HostQuery{std::string(typed), false};
}

std::string AddressesText(const std::vector<kit::InterfaceAddress>& interfaces, int port) {
    std::vector<std::pair<int, std::string>> shown;
    for (const kit::InterfaceAddress& entry : interfaces) {
        const int rank = Rank(entry.address);
        std::pair<int, std::string> line{rank, Text(entry)};
        if (rank >= 0 && std::find(shown.begin(), shown.end(), line) == shown.end())
            shown.push_back(std::move(line));
    }
    if (shown.empty())
        return "This machine has no network address another player could reach.";
    std::stable_sort(shown.begin(), shown.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string text = "Other players can reach this machine at:\n";
    for (const auto& [rank, address] : shown)
        text += address + "\n";
    return text + "\nPlayers connect to port " + std::to_string(port) + ".";
}

}  // namespace addresses
