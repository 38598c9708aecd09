// What the program knows of port 1777 on the home router, and when it asks the router next: plain
// values and functions, without the router libraries, the kit or Qt. The router's thread
// (PortMapper) keeps a MappingSchedule; "My addresses..." shows RouterText of the last answer.
// Nothing here is shared: each object belongs to the thread that holds it.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace portmap {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::seconds;

// The lease asked of the router when nothing else is set.
constexpr Seconds kDefaultLease{3600};

// What the router answered last.
enum class Outcome {
    NoRouter,  // none answered, or none was asked yet
    Refused,   // a router answered and did not forward the port
    Open       // the router forwards the port to this machine
};

struct RouterState {
    Outcome outcome = Outcome::NoRouter;
    // The router's address on its outer side as it gave it; empty when it gave none.
    std::string externalAddress;

    bool operator==(const RouterState&) const = default;
};

// The lines "My addresses..." shows before this machine's own: the router's outer address when
// known and whether the port is open, then an empty line; nothing without a router.
std::string RouterText(const RouterState& state, int port);

// The lease to ask for, from the text of QUILLET_MAPPING_LEASE (seconds; tests shorten it): the
// default when the text is absent or not a number of seconds from 2 up to the default.
Seconds LeaseFrom(const char* text);

// When the router's thread asks the router what: the port is asked for once each time listening
// starts, the mapping renewed halfway through each lease the router granted, and removed once
// listening stops. A refusal or a router that does not answer is not asked again until listening
// starts again.
class MappingSchedule {
public:
    enum class Step { Map, Renew, Remove, Wait };

    // Whether the program listens now. Listening that stops forgets that the router was asked.
    void SetListening(bool listening);
    // What to do at now; Wait until Due.
    Step Next(Clock::time_point now) const;
    // When the next step falls due while nothing changes; max() when none will.
    Clock::time_point Due() const;

    // The router granted (or renewed) the mapping at now for lease.
    void Granted(Clock::time_point now, Seconds lease);
    // The router refused, or none answered: no mapping.
    void Failed();
    // The mapping was removed (or could not be, and is left to its lease).
    void Removed();
    bool Mapped() const { return mapped; }

private:
    bool listening = false;
    bool asked = false;
    bool mapped = false;
    Clock::time_point renewAt{};
};

}  // namespace portmap
