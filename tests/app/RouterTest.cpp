// Port 1777 on the home router, with real routers in network namespaces: this test's own
// namespace is the player's LAN, behind a router namespace that does NAT with nftables, with a wan
// namespace outside it. The router is Debian's miniupnpd (which refuses: every address here is
// private) or router_responder.py beside this file (which grants, and forwards with DNAT).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "kit/application/Application.h"
#include "kit/qt/Inspect.h"
#include "tests/Sockets.h"
#include "tests/TestSupport.h"

using namespace testing_support;
namespace inspect = kit::qt::inspect;

namespace {

constexpr char kTitle[] = "Quillet 1.4";
// The LAN (this namespace), the router's two sides, the wan peer.
constexpr char kLan[] = "192.168.77.2", kRouterLan[] = "192.168.77.1";
constexpr char kRouterWan[] = "10.88.0.1", kWan[] = "10.88.0.2";

bool Shell(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

int Count(const std::string& text, const std::string& word) {
    int count = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++count;
    return count;
}

// A program run in a namespace until the test ends, its output in a file.
class Daemon {
public:
    Daemon(const std::string& log, std::vector<std::string> command) : log(log) {
        std::vector<char*> arguments;
        for (std::string& argument : command)
            arguments.push_back(argument.data());
        arguments.push_back(nullptr);
        pid = fork();
        if (pid == 0) {
            const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            dup2(out, 1);
            dup2(out, 2);
            execvp(arguments[0], arguments.data());
            _exit(127);
        }
    }
    ~Daemon() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    std::string Output() const { return ReadFile(log); }
    bool Shows(const std::string& word, int times = 1) const {
        return WaitUntil([&] { return Count(Output(), word) >= times; }, std::chrono::seconds(20));
    }

private:
    std::string log;
    pid_t pid = -1;
};

// What "My addresses..." says once it says what the router answered (or when the deadline
// passes).
std::string MyAddressesOnceItShows(const std::string& sentence) {
    std::string text;
    WaitUntil(
        [&] {
            if (!inspect::TriggerMenuItem(kTitle, "My addresses...") ||
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

class RouterTest : public testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0 || !InOwnNamespace())
            GTEST_SKIP() << "needs root in a network namespace of its own to build the router's";
        if (!Shell("command -v miniupnpd nft python3 >/dev/null"))
            GTEST_SKIP()
                << "needs miniupnpd, nftables and python3 (scripts/setup.sh installs them)";
        const std::string id = std::to_string(getpid());
        router = "qrouter" + id;
        wan = "qwan" + id;
        folder = "/tmp/quillet-router-" + id;
        if (!Shell("ip netns add " + router + " && ip netns add " + wan))
            GTEST_SKIP() << "cannot make network namespaces here";
        made = true;
        const std::string r = "ip -n " + router + " ", w = "ip -n " + wan + " ";
        for (const std::string& step : std::vector<std::string>{
                 "mkdir -p " + folder,
                 "ip link add lan0 type veth peer name rlan netns " + router,
                 r + "link add rwan type veth peer name wan0 netns " + wan,
                 "ip addr add " + std::string(kLan) + "/24 dev lan0",
                 r + "addr add " + kRouterLan + "/24 dev rlan",
                 r + "addr add " + kRouterWan + "/24 dev rwan",
                 w + "addr add " + kWan + "/24 dev wan0",
                 std::string("ip link set lan0 up"),
                 r + "link set lo up && " + r + "link set rlan up && " + r + "link set rwan up",
                 w + "link set lo up && " + w + "link set wan0 up",
                 "ip route add default via " + std::string(kRouterLan),
                 "ip netns exec " + router + " sysctl -qw net.ipv4.ip_forward=1",
             })
            ASSERT_TRUE(Shell(step)) << step;
        // The router's own NAT, out of the LAN: with it, its nat hooks stay when a mapping goes,
        // and a game that came in through the mapping goes on.
        ASSERT_TRUE(Shell("ip netns exec " + router +
                          " nft 'add table ip nat; add chain ip nat postrouting { type nat hook "
                          "postrouting priority srcnat; }; add rule ip nat postrouting oifname "
                          "rwan masquerade'"));
    }
    void TearDown() override {
        if (inspect::FindWindow(kTitle))
            CloseCopy();
        daemons.clear();
        unsetenv("QUILLET_MAPPING_LEASE");
        if (made)
            Shell("ip netns del " + router + "; ip netns del " + wan + "; rm -rf " + folder);
    }

    Daemon& InRouter(const std::string& name, std::vector<std::string> command) {
        command.insert(command.begin(), {"ip", "netns", "exec", router});
        return *daemons.emplace_back(std::make_unique<Daemon>(folder + "/" + name, command));
    }

    void OpenCopy() {
        new MainWindow();
        ASSERT_TRUE(WaitUntil([] { return inspect::FindWindow(kTitle).has_value(); }));
    }
    void CloseCopy() {
        inspect::Close(kTitle);
        EXPECT_TRUE(WaitUntil([] { return be_app->CountWindows() == 0; }));
    }

    std::string router, wan, folder;
    bool made = false;
    std::vector<std::unique_ptr<Daemon>> daemons;
};

}  // namespace

// Debian's miniupnpd answers the discovery, the external address and the mappings over UPnP and
// NAT-PMP, and refuses: the user is told to open the port by hand.
TEST_F(RouterTest, RealMiniupnpdRefusesAndMyAddressesSaysSo) {
    {
        std::ofstream config(folder + "/miniupnpd.conf");
        config << "ext_ifname=rwan\nlistening_ip=rlan\nenable_upnp=yes\nenable_natpmp=yes\n"
               << "secure_mode=yes\nuuid=3d3cec3a-8cf0-11e0-98ee-001a6bd2d07d\n"
               << "allow 1024-65535 192.168.77.0/24 1024-65535\ndeny 0-65535 0.0.0.0/0 0-65535\n";
    }
    Daemon& miniupnpd = InRouter(
        "miniupnpd.log",
        {"miniupnpd", "-d", "-f", folder + "/miniupnpd.conf", "-P", folder + "/miniupnpd.pid"});
    ASSERT_TRUE(miniupnpd.Shows("Listening for NAT-PMP")) << miniupnpd.Output();
    OpenCopy();

    EXPECT_TRUE(miniupnpd.Shows("SSDP M-SEARCH from 192.168.77.2") &&
                miniupnpd.Shows("#GetExternalIPAddress") && miniupnpd.Shows("#AddPortMapping") &&
                miniupnpd.Shows("NAT-PMP public address request") &&
                miniupnpd.Shows("NAT-PMP port mapping request : 1777->192.168.77.2:1777 tcp"))
        << miniupnpd.Output();
    const std::string text = MyAddressesOnceItShows("open it by hand");
    EXPECT_EQ(text.substr(0, text.find("Other players")),
              "The router did not open port 1777; open it by hand.\n\n");
    EXPECT_NE(text.find(kLan), std::string::npos) << text;
    CloseCopy();
}

// A router that grants: the mapping is made, renewed before its lease ends, lets a peer outside
// reach this copy through the router, is removed while a game is on and made again after it, and
// is gone once the copy quits; over UPnP, and over NAT-PMP when the router does not answer UPnP's
// discovery.
class GrantingRouterTest : public RouterTest, public testing::WithParamInterface<std::string> {};

TEST_P(GrantingRouterTest, ForwardsThePortUntilQuit) {
    const std::string added = GetParam() + " add 1777", removed = GetParam() + " delete 1777";
    std::vector<std::string> command = {"python3",
                                        QUILLET_TEST_SOURCE_DIR "/app/router_responder.py",
                                        kRouterLan, "rwan", kRouterWan};
    if (GetParam() == "natpmp")
        command.push_back("--no-upnp");
    Daemon& responder = InRouter("responder.log", command);
    ASSERT_TRUE(responder.Shows("ready")) << responder.Output();
    setenv("QUILLET_MAPPING_LEASE", "3", 1);  // renewed after a second
    const auto start = std::chrono::steady_clock::now();
    OpenCopy();

    ASSERT_TRUE(responder.Shows(added + " 192.168.77.2 3")) << responder.Output();
    const auto mapped = std::chrono::steady_clock::now() - start;
    const std::string text = MyAddressesOnceItShows("is open");
    EXPECT_EQ(text.substr(0, text.find("Other players")),
              "The router's address on the Internet: 10.88.0.1\nPort 1777 is open on the "
              "router.\n\n");
    ASSERT_TRUE(responder.Shows(added, 2)) << "not renewed:\n" << responder.Output();

    // A peer outside reaches this copy at the router's outer address; while the game is on,
    // nothing listens and the mapping goes.
    {
        Daemon peer(folder + "/peer.log", {"ip", "netns", "exec", wan, "python3", "-c",
                                           "import socket, time\n"
                                           "s = socket.create_connection(('10.88.0.1', 1777), 10)\n"
                                           "print(s.recv(16).decode(), flush=True)\n"
                                           "time.sleep(60)\n"});
        ASSERT_TRUE(peer.Shows("CON")) << peer.Output();
        EXPECT_TRUE(WaitUntil([] {
            const auto window = inspect::FindWindow(kTitle);
            const inspect::ViewInfo* status = window ? window->View("status connect") : nullptr;
            return status != nullptr && status->text == "Connected as server";
        }));
        EXPECT_TRUE(responder.Shows(removed)) << responder.Output();
    }
    // Listening again after the peer left.
    const int adds = Count(responder.Output(), added);
    ASSERT_TRUE(responder.Shows(added, adds + 1)) << responder.Output();

    CloseCopy();
    EXPECT_TRUE(responder.Shows(removed, 2)) << responder.Output();
    EXPECT_FALSE(Shell("ip netns exec " + router + " nft list ruleset | grep -q dnat"));
    EXPECT_EQ(Count(responder.Output(), "expired"), 0) << responder.Output();
    std::printf("mapping made %lld ms after start\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(mapped).count()));
}

INSTANTIATE_TEST_SUITE_P(Protocols, GrantingRouterTest, testing::Values("upnp", "natpmp"),
                         [](const auto& info) { return info.param; });
