// RouterClient: the requests to the home router that forward a TCP port to this machine, over
// UPnP IGD (miniupnpc) and NAT-PMP (libnatpmp). Every call blocks: Find for the 2 s of the
// router's discovery, each other request for at most about 2 s (UPnP's own socket timeouts
// bound its HTTP requests). An object belongs to the one thread that calls it (PortMapper's).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "net/PortMapping.h"

class RouterClient {
public:
    RouterClient();
    ~RouterClient();
    RouterClient(const RouterClient&) = delete;
    RouterClient& operator=(const RouterClient&) = delete;

    // Looks for the default gateway, which NAT-PMP asks, and when there is one, for a UPnP
    // gateway by UPnP's discovery (SSDP).
    void Find();
    // Asks the router found to forward port to this machine for lease: over UPnP first, then
    // over NAT-PMP when UPnP found no gateway or was refused. The lease the router granted when it
    // did (NAT-PMP may shorten it; 0 is a lease without end).
    struct Answer {
        portmap::RouterState state;
        portmap::Seconds lease{0};
    };
    Answer Map(uint16_t port, portmap::Seconds lease);
    // Asks again, over the protocol that granted the mapping; the new lease, nothing when refused.
    std::optional<portmap::Seconds> Renew(uint16_t port, portmap::Seconds lease);
    // Asks that router to remove the mapping.
    void Remove(uint16_t port);

private:
    struct Upnp;
    struct NatPmp;
    enum class Protocol { None, Upnp, NatPmp };
    std::unique_ptr<Upnp> upnp;      // null while no gateway answered the discovery
    std::unique_ptr<NatPmp> natpmp;  // null without a default gateway
    Protocol granted = Protocol::None;
    bool upnpLeaseless = false;  // the gateway takes only leases without end
};
