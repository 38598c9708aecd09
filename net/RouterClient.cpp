#include "net/RouterClient.h"

#include <arpa/inet.h>
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <natpmp.h>
#include <poll.h>

#include <algorithm>
#include <string>

namespace {

using portmap::Clock;
using portmap::Seconds;

// How long the discovery waits for gateways to answer, and any one NAT-PMP request for its
// answer (libnatpmp's own retries would go on for a minute).
constexpr int kDiscoveryMilliseconds = 2000;
constexpr auto kNatPmpWait = std::chrono::seconds(2);
// UPnP's error for a gateway that only takes mappings without end.
constexpr int kOnlyPermanentLeases = 725;
constexpr char kDescription[] = "Quillet";

// "0.0.0.0" is a router's way of saying it has no outer address.
std::string ExternalAddress(const char* text) {
    const std::string address = text;
    return address == "0.0.0.0" ? "" : address;
}

}  // namespace

struct RouterClient::Upnp {
    UPNPUrls urls{};
    IGDdatas data{};
    char lanAddress[64] = "";

    ~Upnp() { FreeUPNPUrls(&urls); }
    const char* Control() const { return urls.controlURL; }
    const char* Service() const { return data.first.servicetype; }
};

struct RouterClient::NatPmp {
    natpmp_t handle{};

    ~NatPmp() { closenatpmp(&handle); }
    // Waits for the answer to the request just sent, retrying as libnatpmp paces it, until
    // kNatPmpWait has passed: NATPMP_TRYAGAIN then.
    int Answer(natpmpresp_t* response) {
        const auto deadline = Clock::now() + kNatPmpWait;
        for (;;) {
            const int result = readnatpmpresponseorretry(&handle, response);
            if (result != NATPMP_TRYAGAIN)
                return result;
            timeval retry{};
            getnatpmprequesttimeout(&handle, &retry);
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return NATPMP_TRYAGAIN;
            const long retryMs = retry.tv_sec * 1000 + retry.tv_usec / 1000;
            pollfd readable{handle.s, POLLIN, 0};
            poll(&readable, 1, static_cast<int>(std::clamp<long>(retryMs, 0, left.count())));
        }
    }
    // Whether a router answered at all, even with a refusal.
    static bool Answered(int result) {
        return result >= 0 || result == NATPMP_ERR_UNSUPPORTEDVERSION ||
               result == NATPMP_ERR_UNSUPPORTEDOPCODE || result == NATPMP_ERR_UNDEFINEDERROR ||
               result == NATPMP_ERR_NOTAUTHORIZED || result == NATPMP_ERR_NETWORKFAILURE ||
               result == NATPMP_ERR_OUTOFRESOURCES;
    }
    // The mapping of TCP port for lease (0 removes it); the lease granted.
    std::optional<Seconds> Map(uint16_t port, Seconds lease, bool* answered = nullptr) {
        natpmpresp_t response{};
        int result = sendnewportmappingrequest(&handle, NATPMP_PROTOCOL_TCP, port, port,
                                               static_cast<uint32_t>(lease.count()));
        if (result >= 0)
            result = Answer(&response);
        if (answered != nullptr)
            *answered = Answered(result);
        if (result < 0 || response.type != NATPMP_RESPTYPE_TCPPORTMAPPING)
            return std::nullopt;
        return Seconds(response.pnu.newportmapping.lifetime);
    }
};

RouterClient::RouterClient() = default;
RouterClient::~RouterClient() = default;

void RouterClient::Find() {
    upnp.reset();
    natpmp.reset();
    // The router that can forward a port is the default gateway: without one (no network) there
    // is nothing to look for, and UPnP's discovery would wait its 2 s and print its failures.
    // A failed start may leave its socket open: the handle closes it either way.
    auto gateway = std::make_unique<NatPmp>();
    if (initnatpmp(&gateway->handle, 0, 0) != 0)
        return;
    natpmp = std::move(gateway);
    // One search, for gateways (those of version 2 answer it too): upnpDiscover's searches for
    // four kinds of device one after another would wait 8 s where none answers.
    int error = 0;
    UPNPDev* devices = upnpDiscoverDevice("urn:schemas-upnp-org:device:InternetGatewayDevice:1",
                                          kDiscoveryMilliseconds, nullptr, nullptr,
                                          UPNP_LOCAL_PORT_ANY, 0, 2, &error);
    if (devices == nullptr)
        return;
    auto found = std::make_unique<Upnp>();
    // 1: a gateway that says it is connected; 2: one that says it is not, which may still answer
    // (and then refuse): asked all the same, so that its answer is what is shown.
    const int kind = UPNP_GetValidIGD(devices, &found->urls, &found->data, found->lanAddress,
                                      sizeof found->lanAddress);
    freeUPNPDevlist(devices);
    if (kind == 1 || kind == 2)
        upnp = std::move(found);
}

RouterClient::Answer RouterClient::Map(uint16_t port, Seconds lease) {
    Answer answer;
    const std::string number = std::to_string(port);
    if (upnp != nullptr) {
        answer.state.outcome = portmap::Outcome::Refused;
        char external[40] = "";
        if (UPNP_GetExternalIPAddress(upnp->Control(), upnp->Service(), external) == 0)
            answer.state.externalAddress = ExternalAddress(external);
        int result = UPNP_AddPortMapping(upnp->Control(), upnp->Service(), number.c_str(),
                                         number.c_str(), upnp->lanAddress, kDescription, "TCP",
                                         nullptr, std::to_string(lease.count()).c_str());
        upnpLeaseless = result == kOnlyPermanentLeases;
        if (upnpLeaseless)
            result = UPNP_AddPortMapping(upnp->Control(), upnp->Service(), number.c_str(),
                                         number.c_str(), upnp->lanAddress, kDescription, "TCP",
                                         nullptr, "0");
        if (result == 0) {
            granted = Protocol::Upnp;
            answer.state.outcome = portmap::Outcome::Open;
            answer.lease = upnpLeaseless ? Seconds(0) : lease;
            return answer;
        }
    }
    if (natpmp != nullptr) {
        natpmpresp_t response{};
        int result = sendpublicaddressrequest(&natpmp->handle);
        if (result >= 0)
            result = natpmp->Answer(&response);
        if (result >= 0 && response.type == NATPMP_RESPTYPE_PUBLICADDRESS &&
            answer.state.externalAddress.empty()) {
            char text[INET_ADDRSTRLEN] = "";
            inet_ntop(AF_INET, &response.pnu.publicaddress.addr, text, sizeof text);
            answer.state.externalAddress = ExternalAddress(text);
        }
        // A gateway that did not answer this will not answer the mapping either.
        bool answered = NatPmp::Answered(result);
        const std::optional<Seconds> grantedLease =
            answered ? natpmp->Map(port, lease, &answered) : std::nullopt;
        if (answered && answer.state.outcome == portmap::Outcome::NoRouter)
            answer.state.outcome = portmap::Outcome::Refused;
        if (grantedLease) {
            granted = Protocol::NatPmp;
            answer.state.outcome = portmap::Outcome::Open;
            answer.lease = *grantedLease;
        }
    }
    return answer;
}

std::optional<Seconds> RouterClient::Renew(uint16_t port, Seconds lease) {
    if (granted == Protocol::NatPmp)
        return natpmp->Map(port, lease);
    if (granted != Protocol::Upnp)
        return std::nullopt;
    const std::string number = std::to_string(port);
    const std::string asked = upnpLeaseless ? "0" : std::to_string(lease.count());
    if (UPNP_AddPortMapping(upnp->Control(), upnp->Service(), number.c_str(), number.c_str(),
                            upnp->lanAddress, kDescription, "TCP", nullptr, asked.c_str()) != 0)
        return std::nullopt;
    return upnpLeaseless ? Seconds(0) : lease;
}

void RouterClient::Remove(uint16_t port) {
    if (granted == Protocol::Upnp)
        UPNP_DeletePortMapping(upnp->Control(), upnp->Service(), std::to_string(port).c_str(),
                               "TCP", nullptr);
    else if (granted == Protocol::NatPmp)
        natpmp->Map(port, Seconds(0));
    granted = Protocol::None;
}
