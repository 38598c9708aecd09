// Port 1777 on the home router, with real routers in network namespaces (router-net.sh): this
// test's own namespace is the player's LAN, behind a router that does NAT, with a wan namespace
// outside it. The router is Debian's miniupnpd (which refuses: every address here is private) or
// router_responder.py beside this file (which grants, and forwards with DNAT).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "app/MainWindow.h"
#include "kit/application/Application.h"
#include "kit/qt/Inspect.h"
#include "tests/ProgramWindows.h"
#include "tests/Sockets.h"
#include "tests/TestSupport.h"

using namespace testing_support;
namespace inspect = kit::qt::inspect;

namespace {

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Count(const std::string& text, const std::string& word) {
    int count = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++count;
    return count;
}

// What "My addresses..." says once it says what the router answered (or when the deadline
// passes).
std::string MyAddressesOnceItShows(const std::string& sentence) {
    std::string text;
    WaitUntil(
        [&] {
            if (!inspect::TriggerMenuItem(kMainTitle, "My addresses...") ||
                !WaitUntil([] { return !inspect::Alerts().empty(); }))
                return false;
            text = inspect::Alerts().front().text;
            inspect::PressAlertButton("Quillet", "OK");
            WaitUntil([] { return inspect::Alerts().empty(); });
            return text.find(sentence) != std::string::npos;
        },
        std::chrono::seconds(20));
    return text;
}

// What it says of the router.
std::string RouterPart(const std::string& text) {
    return text.substr(0, text.find("Other players"));
}

class RouterTest : public testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0 || !InOwnNamespace())
            GTEST_SKIP() << "needs root in a network namespace of its own to build the router's";
        if (Shell("command -v miniupnpd nft python3 >/dev/null") != 0)
            GTEST_SKIP()
                << "needs miniupnpd, nftables and python3 (scripts/setup.sh installs them)";
        fNet = "qr" + std::to_string(getpid());
        const int made = Shell(Script() + " up " + fNet);
        if (made == 2)
            GTEST_SKIP() << "cannot make network namespaces here";
        fUp = true;
        ASSERT_EQ(made, 0) << "the router's network";
        char folder[] = "/tmp/quillet-router-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        fFolder = folder;
    }
    void TearDown() override {
        if (inspect::FindWindow(kMainTitle))
            CloseCopy();
        unsetenv("QUILLET_MAPPING_LEASE");
        if (fUp)
            Shell(Script() + " down " + fNet + " " + fFolder);
    }
    static std::string Script() { return "sh " QUILLET_TEST_SOURCE_DIR "/app/router-net.sh"; }

    // Runs command in the router's namespace ('r') or outside it ('w') until killed or the test
    // ends, its output in the log name.
    void Start(const std::string& name, char where, const std::string& command) {
        ASSERT_EQ(Shell("ip netns exec " + fNet + "-" + where + " " + command + " >" + fFolder +
                        "/" + name + " 2>&1 & echo $! >" + fFolder + "/" + name + ".pid"),
                  0);
    }
    std::string Log(const std::string& name) const {
        std::stringstream text;
        text << std::ifstream(fFolder + "/" + name).rdbuf();
        return text.str();
    }
    bool Shows(const std::string& name, const std::string& word, int times = 1) const {
        return WaitUntil([&] { return Count(Log(name), word) >= times; }, std::chrono::seconds(20));
    }

    void OpenCopy() {
        new MainWindow();
        ASSERT_TRUE(WaitUntil([] { return inspect::FindWindow(kMainTitle).has_value(); }));
    }
    // Quits, and waits for the copy to end.
    void CloseCopy() {
        inspect::Close(kMainTitle);
        EXPECT_TRUE(WaitUntil([] { return be_app->CountWindows() == 0; }));
    }

    std::string fFolder;
    std::string fNet;
    bool fUp = false;
};

}  // namespace

// Debian's miniupnpd answers the discovery, the external address and the mappings over UPnP and
// NAT-PMP, and refuses: the user is told to open the port by hand.
TEST_F(RouterTest, RealMiniupnpdRefusesAndMyAddressesSaysSo) {
    Start("miniupnpd", 'r',
          "miniupnpd -d -f " QUILLET_TEST_SOURCE_DIR "/app/miniupnpd.conf -P " + fFolder +
              "/pidfile");
    ASSERT_TRUE(Shows("miniupnpd", "Listening for NAT-PMP")) << Log("miniupnpd");
    OpenCopy();

    for (const char* asked : {"SSDP M-SEARCH from 192.168.77.2", "#GetExternalIPAddress",
                              "#AddPortMapping", "NAT-PMP public address request",
                              "NAT-PMP port mapping request : 1777->192.168.77.2:1777 tcp"})
        EXPECT_TRUE(Shows("miniupnpd", asked)) << asked << "\n" << Log("miniupnpd");
    const std::string text = MyAddressesOnceItShows("open it by hand");
    EXPECT_EQ(RouterPart(text), "The router did not open port 1777; open it by hand.\n\n");
    EXPECT_NE(text.find("192.168.77.2"), std::string::npos) << text;
}

// A router that grants: the mapping is made, renewed before its lease ends, lets a peer outside
// reach this copy through the router, is removed while a game is on and made again after it, and
// is gone once the copy quits; over UPnP, and over NAT-PMP when the router does not answer UPnP's
// discovery.
class GrantingRouterTest : public RouterTest, public testing::WithParamInterface<std::string> {};

TEST_P(GrantingRouterTest, ForwardsThePortUntilQuit) {
    const std::string added = GetParam() + " add 1777", removed = GetParam() + " delete 1777";
    Start("responder", 'r',
          "python3 " QUILLET_TEST_SOURCE_DIR
          "/app/router_responder.py 192.168.77.1 rwan 10.88.0.1" +
              std::string(GetParam() == "natpmp" ? " --no-upnp" : ""));
    ASSERT_TRUE(Shows("responder", "ready")) << Log("responder");
    setenv("QUILLET_MAPPING_LEASE", "3", 1);  // renewed after a second
    OpenCopy();

    ASSERT_TRUE(Shows("responder", added + " 192.168.77.2 3")) << Log("responder");
    EXPECT_EQ(RouterPart(MyAddressesOnceItShows("is open")),
              "The router's address on the Internet: 10.88.0.1\nPort 1777 is open on the "
              "router.\n\n");
    ASSERT_TRUE(Shows("responder", added, 2)) << "not renewed:\n" << Log("responder");

    // A peer outside reaches this copy at the router's outer address; while the game is on,
    // nothing listens and the mapping goes; it is made again once the peer has left.
    Start("peer", 'w',
          "python3 -c \"import socket, time\n"
          "s = socket.create_connection(('10.88.0.1', 1777), 10)\n"
          "print(s.recv(16).decode(), flush=True)\ntime.sleep(60)\"");
    ASSERT_TRUE(Shows("peer", "CON")) << Log("peer");
    EXPECT_TRUE(WaitUntil(
        [] { return ViewOf(kMainTitle, "status connect").text == "Connected as server"; }));
    EXPECT_TRUE(Shows("responder", removed)) << Log("responder");
    const int adds = Count(Log("responder"), added);
    Shell("kill $(cat " + fFolder + "/peer.pid)");
    ASSERT_TRUE(Shows("responder", added, adds + 1)) << Log("responder");

    CloseCopy();
    EXPECT_TRUE(Shows("responder", removed, 2)) << Log("responder");
    EXPECT_EQ(Count(Log("responder"), "expired"), 0) << Log("responder");
}

INSTANTIATE_TEST_SUITE_P(Protocols, GrantingRouterTest, testing::Values("upnp", "natpmp"),
                         [](const auto& info) { return info.param; });
