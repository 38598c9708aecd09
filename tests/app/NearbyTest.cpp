// "Players nearby" with the real services: two hosts (network namespaces joined by a veth pair,
// made by tests/net/nearby/lan.sh), each with its own system bus and Avahi daemon, and a copy of
// the program on each, both in this process: a copy's threads, its link and its connection to the
// bus belong to the namespace it was made in, and the bus's abstract socket is that namespace's.
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "app/MainWindow.h"
#include "kit/application/Application.h"
#include "kit/qt/Inspect.h"
#include "net/Nearby.h"
#include "tests/TestSupport.h"

using namespace testing_support;
namespace inspect = kit::qt::inspect;
using Clock = std::chrono::steady_clock;

namespace {

constexpr char kA[] = "Quillet A", kB[] = "Quillet B", kList[] = "Players nearby";
constexpr char kAddressA[] = "10.77.0.1", kAddressB[] = "10.77.0.2";
// mDNS probes a name for about a second before announcing it, and again after a clash.
constexpr std::chrono::seconds kFound(15);

std::string ViewText(const char* window, const char* view) {
    std::optional<inspect::WindowInfo> info = inspect::FindWindow(window);
    const inspect::ViewInfo* found = info ? info->View(view) : nullptr;
    return found != nullptr ? found->text : "<none>";
}

// The list shows the copy at address alone, by its user's name.
bool ListsOnly(const char* address) {
    const std::string text = ViewText(kList, "players");
    return text.rfind(nearby::ServiceName(), 0) == 0 && text.find('\n') == std::string::npos &&
           text.ends_with(std::string(" (") + address + ")");
}

bool OpenList(const char* copy) {
    return inspect::TriggerMenuItem(copy, "Players nearby...") &&
           WaitUntil([] { return inspect::FindWindow(kList).has_value(); });
}

bool CloseList() {
    return inspect::Close(kList) && WaitUntil([] { return !inspect::FindWindow(kList); });
}

bool Lists(const nearby::Nearby& observer, const char* address) {
    for (const nearby::Player& player : observer.Players())
        if (player.address == address)
            return true;
    return false;
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The calling thread in a namespace of the test network while this lives; what it makes there
// (threads, sockets) stays there.
class InNamespace {
public:
    explicit InNamespace(const std::string& name)
        : fHome(open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC)) {
        const int there = open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_TRUE(there >= 0 && setns(there, CLONE_NEWNET) == 0) << name;
        close(there);
    }
    ~InNamespace() {
        EXPECT_EQ(setns(fHome, CLONE_NEWNET), 0);
        close(fHome);
    }

private:
    const int fHome;
};

class NearbyTest : public testing::Test {
protected:
    void SetUp() override {
        if (getuid() != 0)
            GTEST_SKIP() << "making network namespaces and running avahi-daemon needs root";
        char folder[] = "/tmp/quillet-nearby-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        fFolder = folder;
        fPrefix = "qn" + std::to_string(getpid());
        std::string output;
        if (Lan("up", &output) != 0) {
            Lan("down");
            GTEST_SKIP() << "no test network with Avahi daemons here: " << output;
        }
        fUp = true;
    }
    void TearDown() override {
        if (be_app->CountWindows() > 0)
            be_app->PostMessage(B_QUIT_REQUESTED);
        EXPECT_TRUE(WaitUntil([] { return be_app->CountWindows() == 0; }));
        if (fUp)
            Lan("down");
        if (!fFolder.empty())
            std::filesystem::remove_all(fFolder);
    }

    // lan.sh up or down; its exit status, and what it said in output.
    int Lan(const char* verb, std::string* output = nullptr) {
        const std::string command =
            std::string("sh " QUILLET_TEST_SOURCE_DIR "/net/nearby/lan.sh ") + verb + " " +
            fPrefix + " " + fFolder + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        char buffer[512];
        size_t count;
        while (pipe != nullptr && (count = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            if (output != nullptr)
                output->append(buffer, count);
        }
        return pipe != nullptr ? pclose(pipe) : -1;
    }
    std::string Host(char side) const { return fPrefix + "-" + side; }

    // A main window made on host side, under a title of its own; when it was made.
    Clock::time_point Open(const char* title, char side) {
        InNamespace there(Host(side));
        const Clock::time_point start = Clock::now();
        auto* window = new MainWindow();
        window->Lock();
        window->SetTitle(title);
        window->Unlock();
        EXPECT_TRUE(WaitUntil([&] { return inspect::FindWindow(title).has_value(); })) << title;
        return start;
    }

    std::string fFolder;
    std::string fPrefix;
    bool fUp = false;
};

}  // namespace

TEST_F(NearbyTest, CopiesOnTwoHostsFindEachOtherAndPlayAfterOneChoice) {
    const Clock::time_point startA = Open(kA, 'a');
    const Clock::time_point startB = Open(kB, 'b');

    // Each lists the other and not itself (both run as one user on one host name: one of them
    // took the alternative name).
    ASSERT_TRUE(OpenList(kA));
    ASSERT_TRUE(WaitUntil([] { return ListsOnly(kAddressB); }, kFound))
        << ViewText(kList, "nearby status") << " / " << ViewText(kList, "players");
    std::printf("A listed B %.2f s after B started\n", SecondsSince(startB));
    EXPECT_TRUE(WaitUntil([] {
        return ViewText(kList, "nearby status") == "Double-click a player to play with them.";
    }));
    ASSERT_TRUE(CloseList() && OpenList(kB));
    ASSERT_TRUE(WaitUntil([] { return ListsOnly(kAddressA); }, kFound))
        << ViewText(kList, "nearby status") << " / " << ViewText(kList, "players");
    std::printf("B listed A %.2f s after A started\n", SecondsSince(startA));

    // One choice connects B to A, and the list closes.
    ASSERT_TRUE(inspect::ChooseListItem(kList, "players", 0));
    ASSERT_TRUE(WaitUntil([] {
        return ViewText(kA, "status connect") == "Connected as server" &&
               ViewText(kB, "status connect") == "Connected as client" &&
               !inspect::FindWindow(kList);
    }));
    // They play: X, the side that connected, moves first, and A's board shows it.
    ASSERT_TRUE(inspect::Click(kB, BPoint(70, 90)) && WaitUntil([] {
                    return inspect::Pixel(kA, "gamruta", 70, 70) == rgb_color{255, 0, 0, 255};
                }));
    // While they play, A (the side that listened) is no longer announced.
    ASSERT_TRUE(OpenList(kB));
    ASSERT_TRUE(WaitUntil(
        [] {
            return ViewText(kList, "players").empty() &&
                   ViewText(kList, "nearby status") ==
                       "No player on this network is waiting for a game yet.";
        },
        kFound));
    ASSERT_TRUE(CloseList());

    // Both listen again once B disconnects, and announce themselves again.
    ASSERT_TRUE(inspect::TriggerMenuItem(kB, "Disconnect"));
    ASSERT_TRUE(OpenList(kA));
    ASSERT_TRUE(WaitUntil([] { return ListsOnly(kAddressB); }, kFound))
        << ViewText(kList, "nearby status") << " / " << ViewText(kList, "players");
    ASSERT_TRUE(CloseList());

    // B quits: its entry goes from what host a sees. (The two copies share one application here,
    // which B's quitting ends, so a discovery of the test's own, not announced, watches.)
    std::unique_ptr<nearby::Nearby> observer;
    {
        InNamespace there(Host('a'));
        observer = std::make_unique<nearby::Nearby>("observer", NET_PORT);
    }
    ASSERT_TRUE(WaitUntil([&] { return Lists(*observer, kAddressB); }, kFound));
    ASSERT_TRUE(inspect::Close(kB));
    EXPECT_TRUE(WaitUntil([&] { return !Lists(*observer, kAddressB); }, kFound));
}

// Without a daemon (the tests' system bus is an address where none listens), the list says so.
TEST(NearbyWithoutDaemonTest, TheListSaysTheServiceIsNotRunning) {
    new MainWindow();
    ASSERT_TRUE(WaitUntil([] { return inspect::FindWindow("Quillet 1.4").has_value(); }));
    ASSERT_TRUE(OpenList("Quillet 1.4"));
    EXPECT_TRUE(WaitUntil([] {
        return ViewText(kList, "nearby status") ==
                   "The Avahi service is not running: no players nearby can be found." &&
               ViewText(kList, "players").empty();
    }));
    ASSERT_TRUE(CloseList() && inspect::Close("Quillet 1.4"));
    EXPECT_TRUE(WaitUntil([] { return be_app->CountWindows() == 0; }));
}
