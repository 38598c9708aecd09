#include "game/ComputerPlayer.h"

#include "kit/application/Message.h"
#include "messages/Messages.h"

namespace {

engine::Side SideOf(int player) {
    return player == PLAYER_X ? engine::Side::First : engine::Side::Second;
}

}  // namespace

ComputerPlayer::ComputerPlayer(const BMessenger& board, uint64_t seed)
    : fBoard(board), fSeed(seed) {}

ComputerPlayer::~ComputerPlayer() {
    {
        std::lock_guard lock(fMutex);
        fQuit = true;
        fRequest.reset();
        fStop = true;
    }
    fWake.notify_one();
    if (fThread.joinable())
        fThread.join();
}

void ComputerPlayer::Think(int32 search, const Board& board, int player, engine::Level level,
                           const engine::Limits& limits) {
    {
        std::lock_guard lock(fMutex);
        fRequest = Request{search, board, player, level, limits};
        fStop = true;
    }
    if (!fThread.joinable())
        fThread = std::thread([this] { Run(); });
    fWake.notify_one();
}

void ComputerPlayer::Stop() {
    std::lock_guard lock(fMutex);
    fRequest.reset();
    fStop = true;
}

bool ComputerPlayer::Busy() const {
    std::lock_guard lock(fMutex);
    return fRequest.has_value() || fRunning;
}

bool ComputerPlayer::Searching() const {
    std::lock_guard lock(fMutex);
    return fRunning;
}

void ComputerPlayer::Run() {
    // The engine is this thread's alone.
    engine::Engine engine(engine::Level::Medium, fSeed);
    std::unique_lock lock(fMutex);
    for (;;) {
        fWake.wait(lock, [this] { return fQuit || fRequest.has_value(); });
        if (fQuit)
            return;
        const Request request = *fRequest;
        fRequest.reset();
        fStop = false;
        fRunning = true;
        lock.unlock();
        const engine::Move move = Answer(engine, request);
        BMessage answer(MSG_COMPUTER_MOVE);
        answer.AddInt32(FIELD_COLUMN, move.column);
        answer.AddInt32(FIELD_ROW, move.row);
        answer.AddInt32(FIELD_SEARCH, request.search);
        // A board gone meanwhile refuses it, without effect.
        fBoard.SendMessage(&answer);
        lock.lock();
        fRunning = false;
    }
}

engine::Move ComputerPlayer::Answer(engine::Engine& engine, const Request& request) {
    engine.SetLevel(request.level);
    engine.NewGame(Board::kSize);
    for (int column = 1; column <= Board::kSize; ++column) {
        for (int row = 1; row <= Board::kSize; ++row) {
            if (const int player = request.board.PlayerAt(column, row); player != 0)
                engine.Put(column, row, SideOf(player));
        }
    }
    engine.SetToMove(SideOf(request.player));
    return engine.Think(request.limits, &fStop);
}
