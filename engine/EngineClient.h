// EngineClient: the manager's side of the gomoku tournament protocol, for an engine that plays one
// side of Quillet's games: what to write to it, and what its output means. It does no I/O and
// reads no clock: the caller writes what it returns, feeds it what the engine wrote and gives it
// the time, so that every rule here holds without a process or a wait. Plain C++, standard library
// only; one thread uses it (the engine's I/O thread).
//
// The session: START 15 (answered OK), the INFO settings, ABOUT (its answer names the engine),
// then each move asked as BEGIN (an empty board the engine knows empty), TURN x,y (one stone of
// the opponent more than the engine knows) or BOARD ... DONE (any other position; a new game on an
// empty board is START 15 again, then BEGIN), and END. The latest MESSAGE line is kept, DEBUG lines
// are dropped, and so are ERROR and UNKNOWN lines while a move or ABOUT's answer is awaited (the
// clock catches an engine that then says nothing more). Everything else an engine can do wrong
// ends the session with a fault, a sentence that names the engine (its ABOUT name, else its file
// name): ERROR or UNKNOWN to START, a line that is not what was asked, a move off the board or on a
// stone, an answer later than its time by more than the grace, more than kFloodBytes without an
// answer or a line longer than kMaxLine, its output ending. Coordinates are the engine's, x,y
// from 0.
#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

class EngineClient {
public:
    using Clock = std::chrono::steady_clock;
    using Milliseconds = std::chrono::milliseconds;

    static constexpr int kSize = 15;
    // What START and ABOUT may take: engines load their tables then.
    static constexpr Milliseconds kStartTime{30000};
    static constexpr std::size_t kMaxLine = 4096;
    static constexpr std::size_t kFloodBytes = 1 << 20;
    static constexpr long long kMaxMemory = 512LL << 20;

    struct Settings {
        Milliseconds turn{5000};  // INFO timeout_turn
        Milliseconds grace{1000};
    };
    struct Stone {
        int x;
        int y;
        bool own;  // the engine's
        bool operator==(const Stone&) const = default;
    };
    struct Move {
        int x;
        int y;
    };

    EngineClient(std::string fileName, Settings settings);

    // The session's opening lines: START, the settings, ABOUT.
    std::string Open(Clock::time_point now);
    // Asks for the engine's move on the position stones; returns the lines to write.
    std::string AskMove(const std::vector<Stone>& stones, Clock::time_point now);
    static std::string Close() { return "END\r\n"; }

    // What the engine wrote, in pieces as they came.
    void Feed(std::string_view bytes, Clock::time_point now);
    // A fault when the answer awaited is late.
    void Tick(Clock::time_point now);
    // When the answer awaited is late; Clock::time_point::max() when none is awaited.
    Clock::time_point Deadline() const;
    // The process could not be run (reason: the system's words), or its output ended: it exited
    // with status, or a signal ended it.
    void CannotRun(const std::string& reason);
    void Ended(bool exited, int statusOrSignal);
    // Its output ended while it still ran.
    void OutputClosed() { SetFault("closed its output"); }

    // The engine's answer to the move asked, once.
    std::optional<Move> TakeMove();
    const std::string& Name() const { return fName; }
    // The latest MESSAGE, and how many have come.
    const std::string& Message() const { return fMessage; }
    long Messages() const { return fMessages; }
    // What the engine did wrong; empty while it behaves.
    const std::string& Fault() const { return fFault; }

private:
    enum class Answer { Ok, About, Move };
    struct Awaited {
        Answer answer;
        Clock::time_point since;  // when it became the answer awaited
    };

    void Await(Answer answer, Clock::time_point now);
    void Answered(Clock::time_point now);
    void Line(const std::string& line, Clock::time_point now);
    void MoveLine(const std::string& line, Clock::time_point now);
    void SetFault(const std::string& what);

    const Settings fSettings;
    std::string fName;
    std::deque<Awaited> fAwaited;
    bool fStarted = false;  // START was answered OK
    // The position the engine knows, and the one the move asked is played on.
    std::vector<Stone> fKnown;
    std::string fPartial;  // a line not yet ended
    std::size_t fBytesUnanswered = 0;
    std::optional<Move> fMove;
    std::string fMessage;
    long fMessages = 0;
    std::string fFault;
};

}  // namespace engine
