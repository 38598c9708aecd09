// EnginePlayer: an external gomoku engine as the board's opponent. It runs the engine's program as
// a child process (no shell, its standard error the program's) and speaks the tournament protocol
// with it (engine::EngineClient) on a thread of its own, so that no window thread ever waits for
// the engine: not for its output, nor its start, nor its end.
//
// The board asks for a move under a number that names the request (Think). Whatever the engine
// has to report (its name, its latest MESSAGE, a move with the number it answers, a fault) waits
// here for the board to take (TakeReport), and MSG_ENGINE_REPORT with the session's number tells
// the board so. The wake-up is posted only when none is pending, so an engine that writes fast
// leaves one message in the window's queue, however much it writes.
//
// Ending: the destructor, a fault, or the engine's own end let the thread end the engine: END,
// SIGTERM, SIGKILL a second later if it still runs, and the child is reaped. The destructor does
// not wait for any of it: the thread owns what it uses and ends on its own. The child dies with
// that thread (its parent-death signal), so one still running when the program exits goes with
// it.
//
// Threads: made, used and destroyed on the board's window thread; TakeReport and Running are safe
// from any thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "engine/EngineClient.h"
#include "game/Board.h"
#include "kit/application/Messenger.h"

class EnginePlayer {
public:
    struct Report {
        std::string name;                    // the engine's, once known or changed
        std::optional<std::string> message;  // its latest MESSAGE, when a new one came
        std::optional<engine::EngineClient::Move> move;
        int32 search = 0;   // the request the move answers
        std::string fault;  // what it did wrong; the engine is being ended
    };

    // board: where MSG_ENGINE_REPORT goes, with session in FIELD_SESSION. path: the program.
    EnginePlayer(const BMessenger& board, int32 session, const std::string& path,
                 engine::EngineClient::Settings settings);
    ~EnginePlayer();
    EnginePlayer(const EnginePlayer&) = delete;
    EnginePlayer& operator=(const EnginePlayer&) = delete;

    // Asks for the move of player (the engine's side) on board, under the number search.
    void Think(int32 search, const Board& board, int player);
    // What the engine reported since the last call.
    Report TakeReport();
    // Engine threads not yet ended: their children still run or are not yet reaped.
    static int Running();

    struct Shared;

private:
    std::shared_ptr<Shared> fShared;
};
