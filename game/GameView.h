// GameView: the board view "gamruta" of the main window: draws the grid and the marks, makes
// the newest mark blink, turns mouse presses into moves under the turn rules, applies the peer's
// moves that the link reports, and announces a win or a draw. Every new game restarts the main
// window's move clock (MSG_TURN). Everything runs on the main window's thread.
#pragma once

#include <memory>

#include "game/Board.h"
#include "kit/application/MessageRunner.h"
#include "kit/interface/GraphicsDefs.h"
#include "kit/interface/View.h"

class NetView;

// Game modes.
constexpr int32 GAME_LOCAL = 1;
constexpr int32 GAME_NETWORK = 2;

// X is red and O blue, on the board and on the move clock.
constexpr rgb_color COLOR_X = {255, 0, 0, 0};
constexpr rgb_color COLOR_O = {0, 0, 255, 0};
// The colour of a player's marks, and of the move clock while that player is to move.
constexpr rgb_color PlayerColor(int player) {
    return player == PLAYER_O ? COLOR_O : COLOR_X;
}

class GameView : public BView {
public:
    // mainWindow: where MSG_TURN goes.
    GameView(BRect frame, const BMessenger& mainWindow);

    void MessageReceived(BMessage* message) override;
    void Draw(BRect updateRect) override;
    void MouseDown(BPoint where) override;

    // Empties the board and starts a game; a local one also ends any link and listens again.
    void NewGame(bool network, int firstPlayer);
    // The link has ended: a network game in play becomes an empty local game with X to move. The
    // link is left as it is.
    void LinkEnded();
    // A move made here, at a point of the view; 1 when placed, -1 when refused.
    int UpdateGame(BPoint where, int player);
    // A move from the peer; 1 when placed, -1 when refused.
    int UpdateGame(int column, int row, int player);
    void DrawSpelplan();
    // The board pass: the marks not yet drawn, the newest mark found, and with checkWin the win
    // or draw announcement. What Draw drew stays; the pass adds what changed since.
    void DrawGame(bool checkWin);

    // The link, set by the main window before it shows; null once the link is gone.
    NetView* netView = nullptr;

private:
    // A move, start or end reported by the link that is up.
    void LinkReport(BMessage* message);
    void StartGame(int32 gameMode, int firstPlayer);
    void Blink();
    void RestartBlink();
    void StrokeMark(int column, int row, int player, rgb_color color);
    // Ends the blink with the mark drawn, shows text in an alert and starts the next game.
    void Announce(const char* text, int firstPlayer);
    void PostTurn();
    int32 LinkState() const;

    Board board;
    // The player whose mark the view shows in each cell, 0 where it shows none: what the pass
    // must still draw.
    int shown[Board::kSize + 1][Board::kSize + 1] = {};
    int turn = PLAYER_X;
    int32 mode = GAME_LOCAL;
    int lastColumn = 0;
    int lastRow = 0;
    std::unique_ptr<BMessageRunner> blinkRunner;
    int32 blinkCount = 0;
    const BMessenger mainMessenger;
};
