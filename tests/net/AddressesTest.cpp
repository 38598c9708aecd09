#include "net/Addresses.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/Sockets.h"

namespace {

using addresses::HostQuery;
using addresses::ReadAddressField;

TEST(AddressesTest, TheFieldNamesOneHostAndNothingAfterIt) {
    const std::vector<std::pair<std::string, std::optional<HostQuery>>> cases = {
        {"10.0.0.7", HostQuery{"10.0.0.7", false}},
        {"  my-host_2 ", HostQuery{"my-host_2", false}},
        {"2001:db8::5", HostQuery{"2001:db8::5", true}},
        {"[2001:db8::5]", HostQuery{"2001:db8::5", true}},
        {"::ffff:10.0.0.7", HostQuery{"::ffff:10.0.0.7", true}},
        {"fe80::1%eth0", HostQuery{"fe80::1%eth0", true}},
        {"[fe80::1%2]", HostQuery{"fe80::1%2", true}},
        // Junk after an address, or around it.
        {"2001:db8::5 junk", std::nullopt},
        {"[2001:db8::5]:1777", std::nullopt},
        {"[2001:db8::5", std::nullopt},
        {"2001:db8::5]", std::nullopt},
        {"fe80::1%", std::nullopt},
        {"fe80::1%eth 0", std::nullopt},
        {"host name", std::nullopt},
        {"host;rm", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
    };
    for (const auto& [typed, expected] : cases)
        EXPECT_EQ(ReadAddressField(typed), expected) << '"' << typed << '"';
}

kit::InterfaceAddress Entry(const char* interface, const char* text) {
    const testing_support::Address address(text, 0);
    return {interface, {address.storage, address.length}};
}

TEST(AddressesTest, TheListShowsReachableAddressesBestFirst) {
    const std::vector<kit::InterfaceAddress> interfaces = {
        Entry("lo", "127.0.0.1"),       Entry("lo", "::1"),
        Entry("eth0", "192.168.1.20"),  Entry("eth0", "fe80::a00:27ff:fe4e:66a1"),
        Entry("eth0", "2001:db8::20"),  Entry("wlan0", "169.254.3.4"),
        Entry("wlan0", "fd12:3456::9"), Entry("wlan0", "203.0.113.9"),
        Entry("wlan0", "10.1.2.3"),     Entry("eth0", "2001:db8::20"),
        Entry("tun0", "100.64.0.5"),    Entry("eth0", "ff02::1"),
    };
    EXPECT_EQ(addresses::AddressesText(interfaces, 1777),
              "Other players can reach this machine at:\n"
              "2001:db8::20\n"
              "fd12:3456::9\n"
              "203.0.113.9\n"
              "192.168.1.20\n"
              "10.1.2.3\n"
              "100.64.0.5\n"
              "fe80::a00:27ff:fe4e:66a1%eth0\n"
              "169.254.3.4\n"
              "\n"
              "Players connect to port 1777.");
    EXPECT_EQ(addresses::AddressesText({Entry("lo", "127.0.0.1"), Entry("lo", "::1")}, 1777),
              "This machine has no network address another player could reach.");
}

}  // namespace
