#include "game/EnginePlayer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "kit/application/Message.h"
#include "messages/Messages.h"

using engine::EngineClient;

namespace {

std::atomic<int> gRunning{0};

constexpr int kTermToKill = 1000;  // ms between SIGTERM and SIGKILL

struct Request {
    int32 search;
    std::vector<EngineClient::Stone> stones;
};

// A descriptor closed with its owner.
struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int fd) : fd(fd) {}
    Fd(Fd&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        std::swap(fd, other.fd);
        return *this;
    }
    ~Fd() {
        if (fd >= 0)
            close(fd);
    }
};

struct Child {
    pid_t pid = -1;
    Fd in;  // a socket: a write to an engine that has gone fails without SIGPIPE
    Fd out;
    Fd pidfd;  // readable once the child has ended
};

// Runs path with its standard input and output ours; the system's reason when it cannot.
std::string Spawn(const std::string& path, Child& child) {
    int input[2], output[2], failure[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0)
        return std::strerror(errno);
    Fd inOurs(input[0]), inTheirs(input[1]);
    if (pipe2(output, O_CLOEXEC) != 0)
        return std::strerror(errno);
    Fd outOurs(output[0]), outTheirs(output[1]);
    // The child writes the exec's errno here; the pipe closes empty on a successful exec.
    if (pipe2(failure, O_CLOEXEC) != 0)
        return std::strerror(errno);
    Fd failureOurs(failure[0]), failureTheirs(failure[1]);
    std::vector<char> file(path.begin(), path.end());
    file.push_back('\0');
    char* const argv[] = {file.data(), nullptr};
    sigset_t none;
    sigemptyset(&none);

    const pid_t pid = fork();
    if (pid < 0)
        return std::strerror(errno);
    if (pid == 0) {
        // Only async-signal-safe calls until exec: the program has other threads.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(inTheirs.fd, STDIN_FILENO);
        dup2(outTheirs.fd, STDOUT_FILENO);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGPIPE, SIG_DFL);
        execv(argv[0], argv);
        const int error = errno;
        [[maybe_unused]] const ssize_t written = write(failureTheirs.fd, &error, sizeof error);
        _exit(127);
    }
    failureTheirs = Fd();
    inTheirs = Fd();
    outTheirs = Fd();
    int error = 0;
    ssize_t got;
    do {
        got = read(failureOurs.fd, &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    if (got > 0) {
        waitpid(pid, nullptr, 0);
        return std::strerror(error);
    }
    child.pid = pid;
    child.in = std::move(inOurs);
    child.out = std::move(outOurs);
    // glibc 2.36 declares pidfd_open without C linkage.
    child.pidfd = Fd(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
    return {};
}

// Waits up to ms for the child to end; true when it has.
bool AwaitEnd(const Child& child, int ms) {
    pollfd fd = {child.pidfd.fd, POLLIN, 0};
    return child.pidfd.fd >= 0 && poll(&fd, 1, ms) > 0;
}

// Ends the child: SIGTERM, SIGKILL once ms have passed, and reaps it.
void EndChild(const Child& child, int ms) {
    kill(child.pid, SIGTERM);
    if (!AwaitEnd(child, ms))
        kill(child.pid, SIGKILL);
    while (waitpid(child.pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

struct EnginePlayer::Shared {
    explicit Shared(const BMessenger& board) : board(board), wake(eventfd(0, EFD_CLOEXEC)) {}

    void Wake() {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(wake.fd, &one, sizeof one);
    }

    const BMessenger board;
    const Fd wake;     // the window thread's requests and the end wake the engine's thread
    std::mutex mutex;  // guards the fields below
    std::optional<Request> request;
    bool quit = false;
    Report report;
    bool wakePending = false;  // a wake-up is posted and the report not yet taken
};

namespace {

// The engine's thread: starts the engine, carries requests and answers, ends it.
class Session {
public:
    Session(std::shared_ptr<EnginePlayer::Shared> shared, int32 number, std::string path,
            EngineClient::Settings settings)
        : fShared(std::move(shared)),
          fNumber(number),
          fPath(std::move(path)),
          fClient(fPath.substr(fPath.find_last_of('/') + 1), settings) {}

    void Run() {
        if (const std::string reason = Spawn(fPath, fChild); !reason.empty()) {
            fClient.CannotRun(reason);
            Publish();
            return;
        }
        fOutgoing = fClient.Open(EngineClient::Clock::now());
        Publish();
        while (Step()) {
        }
        fOutgoing += EngineClient::Close();
        Write();
        fChild.in = Fd();
        if (!fReaped)
            EndChild(fChild, kTermToKill);
    }

private:
    // One wait and what it brought; false when the session is over.
    bool Step() {
        const auto now = EngineClient::Clock::now();
        int timeout = -1;
        if (fClient.Deadline() != EngineClient::Clock::time_point::max())
            timeout = static_cast<int>(std::clamp<long long>(
                std::chrono::ceil<std::chrono::milliseconds>(fClient.Deadline() - now).count(), 0,
                60000));
        pollfd fds[3] = {{fShared->wake.fd, POLLIN, 0},
                         {fChild.out.fd, POLLIN, 0},
                         {fChild.in.fd, static_cast<short>(fOutgoing.empty() ? 0 : POLLOUT), 0}};
        if (poll(fds, 3, timeout) < 0)
            return errno == EINTR;
        if (fds[0].revents != 0) {
            uint64_t count;
            [[maybe_unused]] const ssize_t got = read(fShared->wake.fd, &count, sizeof count);
            std::optional<Request> request;
            {
                std::lock_guard lock(fShared->mutex);
                if (fShared->quit)
                    return false;
                request = std::exchange(fShared->request, std::nullopt);
            }
            if (request) {
                fSearch = request->search;
                fOutgoing += fClient.AskMove(request->stones, EngineClient::Clock::now());
            }
        }
        if ((fds[2].revents & (POLLHUP | POLLERR)) != 0)
            fChild.in = Fd();  // it closed its input: nothing more can reach it
        else if (fds[2].revents != 0)
            Write();
        if (fds[1].revents != 0)
            Read();
        fClient.Tick(EngineClient::Clock::now());
        Publish();
        return fClient.Fault().empty();
    }

    void Write() {
        if (fOutgoing.empty() || fChild.in.fd < 0)
            return;
        const ssize_t sent =
            send(fChild.in.fd, fOutgoing.data(), fOutgoing.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent > 0)
            fOutgoing.erase(0, sent);
        else if (sent < 0 && errno != EAGAIN && errno != EINTR)
            fOutgoing.clear();  // it has gone; its output's end says how
    }

    void Read() {
        char buffer[4096];
        const ssize_t got = read(fChild.out.fd, buffer, sizeof buffer);
        if (got > 0) {
            fClient.Feed(std::string_view(buffer, got), EngineClient::Clock::now());
            return;
        }
        if (got < 0 && errno == EINTR)
            return;
        // Its output ended: it exited, or closes it as it does.
        int status = 0;
        if (AwaitEnd(fChild, kTermToKill) && waitpid(fChild.pid, &status, 0) == fChild.pid) {
            fReaped = true;
            fClient.Ended(WIFEXITED(status),
                          WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status));
        } else {
            fClient.OutputClosed();
        }
    }

    // Hands the board what is new, and wakes it unless a wake-up is pending.
    void Publish() {
        const std::optional<EngineClient::Move> move = fClient.TakeMove();
        const bool news = move || fClient.Name() != fName || fClient.Messages() != fMessages ||
                          !fClient.Fault().empty();
        if (!news)
            return;
        {
            std::lock_guard lock(fShared->mutex);
            if (fShared->quit)
                return;
            EnginePlayer::Report& report = fShared->report;
            report.name = fName = fClient.Name();
            if (fClient.Messages() != fMessages)
                report.message = fClient.Message();
            fMessages = fClient.Messages();
            if (move) {
                report.move = move;
                report.search = fSearch;
            }
            report.fault = fClient.Fault();
            // The wake-up still pending takes this too.
            if (std::exchange(fShared->wakePending, true))
                return;
        }
        // A plain thread's message is queued even when the queue is full; a board that has gone
        // refuses it, without effect.
        BMessage wake(MSG_ENGINE_REPORT);
        wake.AddInt32(FIELD_SESSION, fNumber);
        fShared->board.SendMessage(&wake);
    }

    const std::shared_ptr<EnginePlayer::Shared> fShared;
    const int32 fNumber;
    const std::string fPath;
    EngineClient fClient;
    Child fChild;
    bool fReaped = false;
    std::string fOutgoing;
    int32 fSearch = 0;
    std::string fName;
    long fMessages = 0;
};

}  // namespace

EnginePlayer::EnginePlayer(const BMessenger& board, int32 session, const std::string& path,
                           EngineClient::Settings settings)
    : fShared(std::make_shared<Shared>(board)) {
    ++gRunning;
    std::thread([session = std::make_unique<Session>(fShared, session, path, settings)] {
        session->Run();
        --gRunning;
    }).detach();
}

EnginePlayer::~EnginePlayer() {
    {
        std::lock_guard lock(fShared->mutex);
        fShared->quit = true;
    }
    fShared->Wake();
}

void EnginePlayer::Think(int32 search, const Board& board, int player) {
    Request request{search, {}};
    for (int row = 1; row <= Board::kSize; ++row) {
        for (int column = 1; column <= Board::kSize; ++column) {
            if (const int mark = board.PlayerAt(column, row); mark != 0)
                request.stones.push_back({column - 1, row - 1, mark == player});
        }
    }
    {
        std::lock_guard lock(fShared->mutex);
        fShared->request = std::move(request);
    }
    fShared->Wake();
}

EnginePlayer::Report EnginePlayer::TakeReport() {
    std::lock_guard lock(fShared->mutex);
    fShared->wakePending = false;
    return std::exchange(fShared->report, Report{});
}

int EnginePlayer::Running() {
    return gRunning;
}
