#include "game/GameView.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <random>

#include "game/ComputerPlayer.h"
#include "kit/interface/Alert.h"
#include "kit/interface/Notification.h"
#include "kit/interface/Window.h"
#include "messages/Messages.h"
#include "net/NetView.h"
#include "net/Protocol.h"

namespace {

constexpr rgb_color kBlack = {0, 0, 0, 255};
constexpr rgb_color kWhite = {255, 255, 255, 255};
constexpr float kMarkPen = 2.0f;
constexpr float kGridPen = 1.0f;
constexpr float kRingRadius = 8.0f;
constexpr bigtime_t kBlinkInterval = 100000;
constexpr int32 kBlinkTicks = 10;

int Other(int player) {
    return player == PLAYER_X ? PLAYER_O : PLAYER_X;
}

// "Your turn: who played at 8, 3", the cell as the board's column and row.
std::string YourTurn(const char* who, long column, long row) {
    return std::string("Your turn: ") + who + " played at " + std::to_string(column) + ", " +
           std::to_string(row);
}

// A number of the board from a field of a received move; 0 when there is none.
long CellNumber(const char* text) {
    return text != nullptr ? std::strtol(text, nullptr, 10) : 0;
}

}  // namespace

GameView::GameView(BRect frame, const BMessenger& mainWindow)
    : BView(frame, "gamruta", B_FOLLOW_NONE, B_WILL_DRAW), mainMessenger(mainWindow) {}

GameView::~GameView() = default;

void GameView::AttachedToWindow() {
    // Its messenger needs the view in its window.
    computer = std::make_unique<ComputerPlayer>(BMessenger(this), std::random_device{}());
}

int32 GameView::LinkState() const {
    return netView != nullptr ? netView->linkState.load() : LINK_NOT_CONNECTED;
}

void GameView::NewGame(bool network, int firstPlayer) {
    Restart(network ? GAME_NETWORK : GAME_LOCAL, firstPlayer);
}

void GameView::NewComputerGame(int firstPlayer) {
    Restart(GAME_COMPUTER, firstPlayer);
}

void GameView::Restart(int32 gameMode, int firstPlayer) {
    if (gameMode != GAME_NETWORK && netView != nullptr) {
        netView->DisConnect(true, false);
        netView->DisListen(true, true);
    }
    StartGame(gameMode, firstPlayer);
}

void GameView::SetComputerLevel(engine::Level level) {
    computerLevel = level;
    // The move is asked again at the new level; the old search's answer is dropped.
    if (computerSearch != 0) {
        StopComputer();
        AskComputer();
    }
}

void GameView::LeaveComputerGame() {
    StopComputer();
    if (mode == GAME_COMPUTER)
        mode = GAME_LOCAL;
}

void GameView::StopComputer() {
    computerSearch = 0;
    if (computer != nullptr)
        computer->Stop();
}

void GameView::AskComputer() {
    if (mode != GAME_COMPUTER || turn != PLAYER_O || computerSearch != 0)
        return;
    if (computer == nullptr)
        return;
    computerSearch = ++lastSearch;
    computer->Think(computerSearch, board, PLAYER_O, computerLevel, computerLimits);
}

void GameView::ComputerMove(BMessage* message) {
    int32 search = 0, column = 0, row = 0;
    if (message->FindInt32(FIELD_SEARCH, &search) != B_OK || search != computerSearch ||
        search == 0)
        return;
    computerSearch = 0;
    message->FindInt32(FIELD_COLUMN, &column);
    message->FindInt32(FIELD_ROW, &row);
    // As a peer's move: drawn, blinking, and the turn passes. It crosses no wire.
    if (UpdateGame(column, row, PLAYER_O) < 0)
        return;
    turn = PLAYER_X;
    // Before the pass: a winning move's alert holds this thread until it is answered.
    NotifyUser(YourTurn("the computer", column, row));
    DrawGame(true);
    PostTurn();
}

void GameView::LinkEnded() {
    if (mode == GAME_NETWORK)
        StartGame(GAME_LOCAL, PLAYER_X);
}

void GameView::StartGame(int32 gameMode, int firstPlayer) {
    // No move of the game that ends may land in the next one.
    StopComputer();
    board.Clear();
    Invalidate(Bounds());
    mode = gameMode;
    turn = firstPlayer;
    PostTurn();
    AskComputer();
}

int GameView::UpdateGame(BPoint where, int player) {
    int column, row;
    Board::CellAt(where.x, where.y, &column, &row);
    if (board.Place(column, row, player) < 0)
        return -1;
    // Sent in every mode: without a peer the link drops it.
    if (netView != nullptr)
        netView->SendMessage(protocol::Move(column, row).c_str());
    RestartBlink();
    return 1;
}

int GameView::UpdateGame(int column, int row, int player) {
    if (board.Place(column, row, player) < 0)
        return -1;
    RestartBlink();
    return 1;
}

void GameView::RestartBlink() {
    blinkCount = 0;
    // Ticks the runner it replaces had queued are never delivered: the new mark blinks in step.
    BMessage tick(MSG_TICK);
    blinkRunner =
        std::make_unique<BMessageRunner>(BMessenger(this), &tick, kBlinkInterval, kBlinkTicks);
}

void GameView::DrawSpelplan() {
    const BRect bounds = Bounds();
    for (int x = 0; x <= Board::kSize * Board::kCellPixels; x += Board::kCellPixels)
        StrokeLine(BPoint(x, 0), BPoint(x, bounds.bottom));
    for (int y = 0; y <= Board::kSize * Board::kCellPixels; y += Board::kCellPixels)
        StrokeLine(BPoint(0, y), BPoint(bounds.right, y));
}

void GameView::StrokeMark(int column, int row, int player, rgb_color color) {
    const float x0 = (column - 1) * Board::kCellPixels;
    const float y0 = (row - 1) * Board::kCellPixels;
    const float size = Board::kCellPixels;
    SetHighColor(color);
    SetPenSize(kMarkPen);
    if (player == PLAYER_X) {
        StrokeLine(BPoint(x0, y0), BPoint(x0 + size, y0 + size));
        StrokeLine(BPoint(x0, y0 + size), BPoint(x0 + size, y0));
    } else {
        StrokeEllipse(BPoint(x0 + size / 2, y0 + size / 2), kRingRadius, kRingRadius);
    }
    SetPenSize(kGridPen);
    SetHighColor(kBlack);
}

void GameView::DrawGame(bool checkWin) {
    bool full = true;
    for (int column = 1; column <= Board::kSize; ++column) {
        for (int row = 1; row <= Board::kSize; ++row) {
            const int player = board.PlayerAt(column, row);
            full = full && player != 0;
            // An emptied board is drawn anew by its invalidation.
            if (player != 0 && shown[column][row] != player) {
                StrokeMark(column, row, player, PlayerColor(player));
                shown[column][row] = player;
            }
            if (board.Cell(column, row) > Board::kLastMoveFlag) {
                lastColumn = column;
                lastRow = row;
            }
        }
    }
    if (!checkWin)
        return;
    // The first run of five in scan order wins. A full board without one is a draw; the player
    // who did not make the last move opens the next game.
    int winColumn = 0, winRow = 0;
    if (const int winner = board.FindWinner(&winColumn, &winRow); winner != 0) {
        if (netView != nullptr)
            netView->mainMessenger->SendMessage(winner == PLAYER_X ? MSG_X_WON : MSG_O_WON);
        Announce(winner == PLAYER_X ? "Player X won!" : "Player O won!", Other(winner));
    } else if (full) {
        Announce("Draw!", Other(board.PlayerAt(lastColumn, lastRow)));
    }
}

void GameView::Announce(const char* text, int firstPlayer) {
    // The pass has drawn every mark: with the blink ended the whole board shows behind the alert.
    blinkRunner.reset();
    blinkCount = 0;
    (new BAlert("Quillet", text, "OK", nullptr, nullptr, B_WIDTH_AS_USUAL, B_INFO_ALERT))->Go();
    Restart(mode, firstPlayer);
}

void GameView::Draw(BRect) {
    // The view was cleared: everything is drawn anew.
    for (auto& column : shown)
        std::fill(std::begin(column), std::end(column), 0);
    DrawSpelplan();
    DrawGame(false);
}

void GameView::Blink() {
    ++blinkCount;
    const int player = board.PlayerAt(lastColumn, lastRow);
    if (player != 0) {
        const bool erase = blinkCount % 2 == 1;
        StrokeMark(lastColumn, lastRow, player, erase ? kWhite : PlayerColor(player));
        shown[lastColumn][lastRow] = erase ? 0 : player;
    }
    if (blinkCount == kBlinkTicks)
        blinkCount = 0;
}

void GameView::PostTurn() {
    BMessage turnMessage(MSG_TURN);
    turnMessage.AddInt8(FIELD_PLAYER, static_cast<int8>(turn));
    mainMessenger.SendMessage(&turnMessage);
}

void GameView::NotifyUser(const std::string& text) {
    BWindow* window = Window();
    if (window == nullptr || window->IsActive())
        return;
    window->RequestAttention();
    kit::Notify(text);
}

void GameView::MouseDown(BPoint where) {
    if (mode == GAME_LOCAL) {
        if (UpdateGame(where, turn) < 0)
            return;
        turn = Other(turn);
    } else if (mode == GAME_COMPUTER) {
        // While the computer thinks the board is not the user's.
        if (turn != PLAYER_X || UpdateGame(where, PLAYER_X) < 0)
            return;
        turn = PLAYER_O;
    } else {
        const int32 state = LinkState();
        int own;
        if (state == LINK_CLIENT && turn == PLAYER_X)
            own = PLAYER_X;
        else if (state == LINK_SERVER && turn == PLAYER_O)
            own = PLAYER_O;
        else
            return;
        if (UpdateGame(where, own) < 0)
            return;
        turn = Other(own);
    }
    DrawGame(true);
    PostTurn();
    // Unless the move ended the game, and the next one has begun.
    AskComputer();
}

void GameView::MessageReceived(BMessage* message) {
    switch (message->what) {
        case MSG_NET_PUT:
        case MSG_NET_GAME_START:
        case MSG_NET_GAME_END:
            // What a link reported before it ended (this side connected elsewhere or started a
            // local game meanwhile) belongs to no game on the board now.
            if (netView != nullptr && netView->IsCurrentLink(message))
                LinkReport(message);
            break;
        case MSG_COMPUTER_MOVE:
            ComputerMove(message);
            break;
        case MSG_TICK:
            Blink();
            break;
        default:
            BView::MessageReceived(message);
    }
}

void GameView::LinkReport(BMessage* message) {
    switch (message->what) {
        case MSG_NET_PUT: {
            // A move still queued when the link ended must not land in the next local game.
            if (mode != GAME_NETWORK)
                return;
            const int32 state = LinkState();
            if ((state == LINK_CLIENT && turn == PLAYER_X) ||
                (state == LINK_SERVER && turn == PLAYER_O))
                return;
            const char* par1 = nullptr;
            const char* par2 = nullptr;
            if (message->FindString(FIELD_PAR1, &par1) != B_OK ||
                message->FindString(FIELD_PAR2, &par2) != B_OK)
                return;
            const long column = CellNumber(par1);
            const long row = CellNumber(par2);
            if (column < 1 || column > Board::kSize || row < 1 || row > Board::kSize)
                return;
            // Placed or not (an occupied cell), the turn passes, as it has at the peer.
            UpdateGame(column, row, turn);
            turn = Other(turn);
            NotifyUser(YourTurn("the other player", column, row));
            DrawGame(true);
            PostTurn();
            break;
        }
        case MSG_NET_GAME_START:
            NewGame(true, PLAYER_X);
            break;
        case MSG_NET_GAME_END:
            NotifyUser("The other player left");
            if (netView != nullptr) {
                netView->mainMessenger->SendMessage(MSG_RESET_SCORE);
                netView->DisConnect(true, false);
                netView->DisListen(true, true);
            }
            NewGame(false, PLAYER_X);
            break;
    }
}
