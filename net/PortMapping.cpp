#include "net/PortMapping.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace portmap {

std::string RouterText(const RouterState& state, int port) {
    if (state.outcome == Outcome::NoRouter)
        return "";
    std::string text;
    if (!state.externalAddress.empty())
        text = "The router's address on the Internet: " + state.externalAddress + "\n";
    const std::string number = std::to_string(port);
    text += state.outcome == Outcome::Open
                ? "Port " + number + " is open on the router."
                : "The router did not open port " + number + "; open it by hand.";
    return text + "\n\n";
}

Seconds LeaseFrom(const char* text) {
    if (text == nullptr)
        return kDefaultLease;
    long seconds = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, seconds);
    if (error != std::errc() || stop != end || seconds < 2 || seconds > kDefaultLease.count())
        return kDefaultLease;
    return Seconds(seconds);
}

void MappingSchedule::SetListening(bool now) {
    if (!now)
        asked = false;
    listening = now;
}

MappingSchedule::Step MappingSchedule::Next(Clock::time_point now) const {
    if (!listening)
        return mapped ? Step::Remove : Step::Wait;
    if (!asked)
        return Step::Map;
    return mapped && now >= renewAt ? Step::Renew : Step::Wait;
}

Clock::time_point MappingSchedule::Due() const {
    return listening && mapped ? renewAt : Clock::time_point::max();
}

void MappingSchedule::Granted(Clock::time_point now, Seconds lease) {
    asked = true;
    mapped = true;
    // Halfway, so that a renewal that is lost or late still lands inside the lease; a lease
    // without end (0) is not renewed.
    renewAt = lease.count() == 0 ? Clock::time_point::max() : now + std::max(lease / 2, Seconds(1));
}

void MappingSchedule::Failed() {
    asked = true;
    mapped = false;
}

void MappingSchedule::Removed() {
    mapped = false;
}

}  // namespace portmap
