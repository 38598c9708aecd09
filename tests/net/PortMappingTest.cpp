#include "net/PortMapping.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace portmap;
using Step = MappingSchedule::Step;

TEST(PortMappingTest, MyAddressesSaysWhatTheRouterAnswered) {
    EXPECT_EQ(RouterText({Outcome::NoRouter, "198.51.100.7"}, 1777), "");
    EXPECT_EQ(RouterText({Outcome::Open, "198.51.100.7"}, 1777),
              "The router's address on the Internet: 198.51.100.7\n"
              "Port 1777 is open on the router.\n\n");
    EXPECT_EQ(RouterText({Outcome::Refused, "198.51.100.7"}, 1777),
              "The router's address on the Internet: 198.51.100.7\n"
              "The router did not open port 1777; open it by hand.\n\n");
    EXPECT_EQ(RouterText({Outcome::Refused, ""}, 1777),
              "The router did not open port 1777; open it by hand.\n\n");
}

TEST(PortMappingTest, TheLeaseComesFromTheEnvironmentWithinBounds) {
    const std::vector<std::pair<const char*, long>> cases = {
        {nullptr, 3600}, {"3", 3},     {"2", 2},       {"3600", 3600}, {"1", 3600},
        {"0", 3600},     {"-5", 3600}, {"3601", 3600}, {"4s", 3600},   {"", 3600},
    };
    for (const auto& [text, seconds] : cases)
        EXPECT_EQ(LeaseFrom(text).count(), seconds) << (text ? text : "(none)");
}

// The router is asked once each time listening starts, the mapping renewed halfway through its
// lease and removed when listening stops; a refusal is not asked again until listening restarts.
TEST(PortMappingTest, TheScheduleAsksRenewsAndRemoves) {
    const Clock::time_point t0{};
    MappingSchedule schedule;
    EXPECT_EQ(schedule.Next(t0), Step::Wait);
    EXPECT_EQ(schedule.Due(), Clock::time_point::max());

    schedule.SetListening(true);
    EXPECT_EQ(schedule.Next(t0), Step::Map);
    schedule.Granted(t0, Seconds(3600));
    EXPECT_EQ(schedule.Next(t0 + Seconds(1799)), Step::Wait);
    EXPECT_EQ(schedule.Due(), t0 + Seconds(1800));
    EXPECT_EQ(schedule.Next(t0 + Seconds(1800)), Step::Renew);
    schedule.Granted(t0 + Seconds(1800), Seconds(600));  // the router shortened the lease
    EXPECT_EQ(schedule.Due(), t0 + Seconds(2100));

    schedule.SetListening(false);  // a game came up
    EXPECT_EQ(schedule.Next(t0 + Seconds(1900)), Step::Remove);
    schedule.Removed();
    EXPECT_EQ(schedule.Next(t0 + Seconds(5000)), Step::Wait);

    schedule.SetListening(true);  // the game ended
    EXPECT_EQ(schedule.Next(t0 + Seconds(5000)), Step::Map);
    schedule.Failed();
    EXPECT_EQ(schedule.Next(t0 + Seconds(9000)), Step::Wait);
    EXPECT_EQ(schedule.Due(), Clock::time_point::max());
    schedule.SetListening(false);
    EXPECT_EQ(schedule.Next(t0 + Seconds(9000)), Step::Wait);  // nothing to remove
    schedule.SetListening(true);
    EXPECT_EQ(schedule.Next(t0 + Seconds(9000)), Step::Map);

    // A short lease is renewed within it; a lease without end is never renewed.
    schedule.Granted(t0, Seconds(3));
    EXPECT_EQ(schedule.Due(), t0 + Seconds(1));
    schedule.Granted(t0, Seconds(0));
    EXPECT_EQ(schedule.Due(), Clock::time_point::max());
    EXPECT_EQ(schedule.Next(t0 + Seconds(100000)), Step::Wait);
}

}  // namespace
