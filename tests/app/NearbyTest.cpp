// "Players nearby" with the real services: two hosts (network namespaces joined by a veth pair,
// made by tests/net/nearby/lan.sh), each with its own system bus and Avahi daemon, and a copy of
// the program on each, both in this process: a copy's threads, its link and its connection to the
// bus belong to the namespace it was made in, and the bus's abstract socket is that namespace's.
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "app/MainWindow.h"
#include "kit/application/Application.h"
#include "kit/qt/Inspect.h"
#include "net/Nearby.h"
#include "tests/ProgramWindows.h"
#include "tests/TestSupport.h"

using namespace testing_support;
namespace inspect = kit::qt::inspect;

namespace {

constexpr char kA[] = "Quillet A", kB[] = "Quillet B", kList[] = "Players nearby";
// mDNS probes a name for about a second before announcing it, and again after a clash.
constexpr std::chrono::seconds kFound(15);

std::string ListText(const char* view) {
    return ViewOf(kList, view).text;
}

std::string Shown() {
    return ListText("nearby status") + " / " + ListText("players");
}

// The list shows the copy at address alone, by its user's name.
bool ListsOnly(const char* address) {
    const std::string text = ListText("players");
    return text.starts_with(nearby::ServiceName()) && text.find('\n') == std::string::npos &&
           text.ends_with(std::string(" (") + address + ")");
}

bool OpenList(const char* copy) {
    return inspect::TriggerMenuItem(copy, "Players nearby...") &&
           WaitUntil([] { return inspect::FindWindow(kList).has_value(); });
}

bool CloseList() {
    return inspect::Close(kList) && WaitUntil([] { return !inspect::FindWindow(kList); });
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
        if (!Lan("up")) {
            std::stringstream said;
            said << std::ifstream(fFolder + "/lan.log").rdbuf();
            GTEST_SKIP() << "no test network with Avahi daemons here: " << said.str();
        }
    }
    void TearDown() override {
        if (be_app->CountWindows() > 0)
            be_app->PostMessage(B_QUIT_REQUESTED);
        EXPECT_TRUE(WaitUntil([] { return be_app->CountWindows() == 0; }));
        if (!fFolder.empty()) {
            Lan("down");
            std::filesystem::remove_all(fFolder);
        }
    }

    bool Lan(const char* verb) {
        return std::system(("sh " QUILLET_TEST_SOURCE_DIR "/net/nearby/lan.sh " +
                            std::string(verb) + " " + fPrefix + " " + fFolder + " >" + fFolder +
                            "/lan.log 2>&1")
                               .c_str()) == 0;
    }

    // A main window made on host side, under a title of its own.
    void Open(const char* title, char side) {
        InNamespace there(fPrefix + "-" + side);
        auto* window = new MainWindow();
        window->Lock();
        window->SetTitle(title);
        window->Unlock();
        EXPECT_TRUE(WaitUntil([&] { return inspect::FindWindow(title).has_value(); })) << title;
    }

    std::string fFolder;
    std::string fPrefix;
};

}  // namespace

TEST_F(NearbyTest, CopiesOnTwoHostsFindEachOtherAndPlayAfterOneChoice) {
    Open(kA, 'a');
    Open(kB, 'b');

    // Each lists the other and not itself (both run as one user on one host name: one of them
    // took the alternative name).
    ASSERT_TRUE(OpenList(kA));
    ASSERT_TRUE(WaitUntil([] { return ListsOnly("10.77.0.2"); }, kFound)) << Shown();
    EXPECT_TRUE(WaitUntil(
        [] { return ListText("nearby status") == "Double-click a player to play with them."; }));
    ASSERT_TRUE(CloseList() && OpenList(kB));
    ASSERT_TRUE(WaitUntil([] { return ListsOnly("10.77.0.1"); }, kFound)) << Shown();

    // One choice connects B to A, and the list closes.
    ASSERT_TRUE(inspect::ChooseListItem(kList, "players", 0));
    ASSERT_TRUE(WaitUntil([] {
        return ViewOf(kA, "status connect").text == "Connected as server" &&
               ViewOf(kB, "status connect").text == "Connected as client" &&
               !inspect::FindWindow(kList);
    }));
    // They play: X, the side that connected, moves first, and A's board shows it.
    ASSERT_TRUE(inspect::Click(kB, BPoint(70, 90)) &&
                WaitUntil([] { return inspect::Pixel(kA, "gamruta", 70, 70) == kRed; }));
    // While they play, A (the side that listened) is no longer announced.
    ASSERT_TRUE(OpenList(kB));
    ASSERT_TRUE(WaitUntil(
        [] {
            return ListText("players").empty() &&
                   ListText("nearby status") ==
                       "No player on this network is waiting for a game yet.";
        },
        kFound));
    ASSERT_TRUE(CloseList());

    // Both listen again once B disconnects, and announce themselves again.
    ASSERT_TRUE(inspect::TriggerMenuItem(kB, "Disconnect"));
    ASSERT_TRUE(OpenList(kA));
    EXPECT_TRUE(WaitUntil([] { return ListsOnly("10.77.0.2"); }, kFound)) << Shown();
}

// Without a daemon (the tests' system bus is an address where none listens), the list says so.
TEST(NearbyWithoutDaemonTest, TheListSaysTheServiceIsNotRunning) {
    new MainWindow();
    ASSERT_TRUE(WaitUntil([] { return inspect::FindWindow(kMainTitle).has_value(); }));
    ASSERT_TRUE(OpenList(kMainTitle));
    EXPECT_TRUE(WaitUntil([] {
        return ListText("nearby status") ==
                   "The Avahi service is not running: no players nearby can be found." &&
               ListText("players").empty();
    }));
    ASSERT_TRUE(CloseList() && inspect::Close(kMainTitle));
    EXPECT_TRUE(WaitUntil([] { return be_app->CountWindows() == 0; }));
}
