// GameView: the board view "gamruta" of the main window: draws the grid and the marks, makes
// the newest mark blink, turns mouse presses into moves under the turn rules, applies the peer's
// moves that the link reports, and announces a win. Everything runs on the main window's thread.
#pragma once

#include <memory>

#include "game/Board.h"
#include "kit/application/MessageRunner.h"
#include "kit/interface/View.h"

class NetView;

class GameView : public BView {
public:
    // mainWindow: where MSG_TURN goes.
    GameView(BRect frame, const BMessenger& mainWindow);

    void MessageReceived(BMessage* message) override;
    void Draw(BRect updateRect) override;
    void MouseDown(BPoint where) override;

    // Empties the board and starts a game; a local one also ends any link and listens again.
    void NewGame(bool network, int firstPlayer);
    // A move made here, at a point of the view; 1 when placed, -1 when refused.
    int UpdateGame(BPoint where, int player);
    // A move from the peer; 1 when placed, -1 when refused.
    int UpdateGame(int column, int row, int player);
    void DrawSpelplan();
    // The board pass: grid, marks, the newest mark found, and with checkWin the win announcement.
    void DrawGame(bool checkWin);

    int Turn() const { return turn; }
    int32 Mode() const { return mode; }
    const Board& Cells() const { return board; }

    // The link, set by the main window before it shows; null once the link is gone.
    NetView* netView = nullptr;

private:
    void Blink();
    void RestartBlink();
    void StrokeMark(int column, int row, int player, rgb_color color);
    void AnnounceWin(int winner);
    void PostTurn();
    int32 LinkState() const;

    Board board;
    int turn = PLAYER_X;
    int32 mode = GAME_LOCAL;
    int lastColumn = 0;
    int lastRow = 0;
    std::unique_ptr<BMessageRunner> blinkRunner;
    int32 blinkCount = 0;
    const BMessenger mainMessenger;
};
