// What the connect dialog's address field names, and the list of this machine's addresses that
// other players can type. Plain functions of their arguments, used on any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/network/Socket.h"

namespace addresses {

// The host to look up for what the user typed, and whether it must be an IPv6 address.
struct HostQuery {
    std::string host;
    bool numericOnly;

    bool operator==(const HostQuery&) const = default;
};

// A host name, a dotted IPv4 address, or an IPv6 address with or without brackets and with an
// optional zone ("fe80::1%eth0"), blanks around it allowed; nothing when the text is none of
// these (anything after the address included).
std::optional<HostQuery> ReadAddressField(std::string_view typed);

// One address per line that another player can type to reach this machine: global IPv6, unique
// local IPv6, public IPv4, private IPv4, then link-local ones with their zone; loopback left out.
// Ends with the port to connect to. One sentence when there is none.
std::string AddressesText(const std::vector<kit::InterfaceAddress>& interfaces, int port);

}  // namespace addresses
