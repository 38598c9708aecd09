// One move's round trip between two links over loopback (the client's board sends "PUT", the
// server's board answers with its own "PUT", and the client's board gets it), beside a bare TCP
// ping-pong of the same bytes on the same loopback, measured in the same run, each with the system
// calls, heap allocations and context switches of the whole process per round trip (Counters.h).
// Needs port 1777: run it in a network namespace of its own, for example `unshare -rn sh -c 'ip
// link set lo up; build/bench/link_bench'`.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "bench/Counters.h"
#include "kit/application/Looper.h"
#include "messages/Messages.h"
#include "net/NetView.h"

namespace {

// Stands in for a board or a main window: counts the codes it is sent and wakes a waiter. A
// board with a link to answer on answers each move with one of its own; the client's board does
// so only while a rally lasts, and then tells the benchmark's thread.
class Counter : public BLooper {
public:
    void MessageReceived(BMessage* message) override {
        if (message->what == MSG_NET_PUT && answer != nullptr) {
            if (rallyLeft < 0 || --rallyLeft > 0) {
                answer->SendMessage(rallyLeft < 0 ? "PUT 8 4\n" : "PUT 8 3\n");
            } else {
                ++rallies;
                rallies.notify_all();
            }
            return;
        }
        std::lock_guard lock(mutex);
        ++counts[message->what];
        changed.notify_all();
    }
    void WaitFor(uint32 what, int64 count) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return counts[what] >= count; });
    }

    NetView* answer = nullptr;  // set before any move arrives
    int32 rallyLeft = -1;       // -1: answers every move; set before a rally's first move
    std::atomic<int32> rallies{0};
    std::mutex mutex;  // guards counts
    std::condition_variable changed;
    std::map<uint32, int64> counts;
};

std::unique_ptr<NetView> MakeLink(Counter* board, Counter* main) {
    return std::make_unique<NetView>(std::make_unique<BMessenger>(board),
                                     std::make_unique<BMessenger>(main));
}

void BM_MoveRoundTripBetweenTwoLinks(benchmark::State& state) {
    Counter* loopers[4];
    for (Counter*& looper : loopers) {
        looper = new Counter();
        looper->Run();
    }
    auto [serverBoard, serverMain, clientBoard, clientMain] = loopers;
    auto server = MakeLink(serverBoard, serverMain);
    serverMain->WaitFor(LINK_LISTENING, 1);
    serverBoard->answer = server.get();
    auto client = MakeLink(clientBoard, clientMain);
    client->DisListen(true, false);
    client->SetAddress("127.0.0.1");
    resume_thread(client->SpawnMessageLoop());
    serverBoard->WaitFor(MSG_NET_GAME_START, 1);
    clientMain->WaitFor(MSG_LINK_UP, 1);

    // The boards play the moves to each other, as two boards do, in rallies of a hundred round
    // trips; the benchmark's thread only starts each rally and waits for its end.
    constexpr int32 kRally = 100;
    clientBoard->answer = client.get();
    ProcessCounters counters;
    counters.Start();
    while (state.KeepRunningBatch(kRally)) {
        const int32 done = clientBoard->rallies;
        clientBoard->rallyLeft = kRally;
        client->SendMessage("PUT 8 3\n");
        clientBoard->rallies.wait(done);
    }
    counters.Stop(state);
    client.reset();
    server.reset();
    for (Counter* looper : loopers)
        looper->Quit();
}
BENCHMARK(BM_MoveRoundTripBetweenTwoLinks)->UseRealTime();

void BM_BareTcpPingPong(benchmark::State& state) {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    listen(listener, 1);
    int client = socket(AF_INET, SOCK_STREAM, 0);
    connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int server = accept(listener, nullptr, nullptr);
    const int on = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::thread echo([server] {
        char buffer[64];
        ssize_t count;
        while ((count = recv(server, buffer, sizeof buffer, 0)) > 0)
            send(server, buffer, count, 0);
    });
    char buffer[64];
    ProcessCounters counters;
    counters.Start();
    for (auto _ : state) {
        send(client, "PUT 8 3\n", 8, 0);
        recv(client, buffer, sizeof buffer, 0);
    }
    counters.Stop(state);
    close(client);
    echo.join();
    close(server);
    close(listener);
}
BENCHMARK(BM_BareTcpPingPong)->UseRealTime();

}  // namespace

// The two cases run in turns, five times each in a shuffled order, and the report gives their
// medians: on a machine shared with other work, a case measured in one stretch meets a quieter
// or busier stretch than the other. Flags given on the command line override these.
int main(int argc, char** argv) {
    std::vector<char*> arguments{argv[0],
                                 const_cast<char*>("--benchmark_enable_random_interleaving=true"),
                                 const_cast<char*>("--benchmark_repetitions=5"),
                                 const_cast<char*>("--benchmark_report_aggregates_only=true")};
    arguments.insert(arguments.end(), argv + 1, argv + argc);
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
