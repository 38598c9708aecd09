// ComputerPlayer: the computer opponent of the board. It owns an engine and a thread of its own
// (both made at the first search), on which the engine thinks, so that no window thread ever
// waits for a search. The board asks for a move under a number that names the search (Think);
// the thread posts the answer to the board as MSG_COMPUTER_MOVE with that number, and the board
// takes only the answer of the search it asked last. Stop abandons a search without waiting: the
// engine answers within a few milliseconds, and that answer is posted like any other, for the
// board to drop.
//
// Threads: made, used and destroyed on the board's window thread; Busy and Searching are safe
// from any thread. The destructor stops the search and then waits for the thread, which ends
// within the engine's answer to a stop (20 ms).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

#include "engine/Engine.h"
#include "game/Board.h"
#include "kit/application/Messenger.h"

class ComputerPlayer {
public:
    // board: where the answers go. seed: the engine's random choices.
    ComputerPlayer(const BMessenger& board, uint64_t seed);
    ~ComputerPlayer();
    ComputerPlayer(const ComputerPlayer&) = delete;
    ComputerPlayer& operator=(const ComputerPlayer&) = delete;

    // Asks for player's move on board at level within limits (none: the level's own), under the
    // number search; a search still running is abandoned.
    void Think(int32 search, const Board& board, int player, engine::Level level,
               const engine::Limits& limits);
    // Abandons the search, asked or running, at once.
    void Stop();
    // A search is asked or running, or its answer not yet posted.
    bool Busy() const;
    // The thread has taken a search and not yet posted its answer.
    bool Searching() const;

private:
    struct Request {
        int32 search;
        Board board;
        int player;
        engine::Level level;
        engine::Limits limits;
    };

    void Run();
    engine::Move Answer(engine::Engine& engine, const Request& request);

    const BMessenger fBoard;
    const uint64_t fSeed;
    // Set to abandon the running search; the thread clears it as it takes a request.
    std::atomic<bool> fStop{false};
    mutable std::mutex fMutex;  // guards fRequest, fRunning, fQuit
    std::condition_variable fWake;
    std::optional<Request> fRequest;
    bool fRunning = false;
    bool fQuit = false;
    std::thread fThread;  // the window thread's; started by the first Think
};
