// GameView: the board view "gamruta" of the main window: draws the grid and the marks (the board
// square, centred in the view and as large as whole cells let it be), makes the newest mark
// blink, turns mouse presses into moves under the turn rules, applies the peer's moves that the
// link reports and the computer's or an external engine's moves, and announces a win (with a line
// through the five) or a draw. Every new game restarts the main window's move clock (MSG_TURN).
// Everything runs on the main window's thread; the computer thinks on a thread of its own
// (ComputerPlayer), and an engine runs as a process spoken to from a thread of its own
// (EnginePlayer).
//
// Keyboard: the board takes the focus; while it has it and a key was pressed since the last
// mouse press, a cursor frames one cell. The arrows move it, Home and End reach the first and
// last column, Page Up and Page Down the first and last row, and Space or Enter plays there as a
// click would. It starts, each time the board gains the focus, at the last move or at the centre.
// Assistive tools see a table of the board's cells ("Column 8, row 3, X", counted from 1 as the
// moves are), the cursor's cell focused, and hear every move, win and draw.
#pragma once

#include <memory>
#include <string>

#include "engine/Engine.h"
#include "engine/EngineClient.h"
#include "game/Board.h"
#include "kit/application/MessageRunner.h"
#include "kit/interface/GraphicsDefs.h"
#include "kit/interface/View.h"

class ComputerPlayer;
class EnginePlayer;
class NetView;

// Game modes.
constexpr int32 GAME_LOCAL = 1;
constexpr int32 GAME_NETWORK = 2;
// A local game in which the computer, or an external engine, plays O.
constexpr int32 GAME_COMPUTER = 3;

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
    ~GameView() override;

    void MessageReceived(BMessage* message) override;
    void Draw(BRect updateRect) override;
    void MouseDown(BPoint where) override;
    void KeyDown(const char* bytes, int32 numBytes) override;
    void FocusChanged(bool focused) override;
    void AttachedToWindow() override;
    void FrameResized(float width, float height) override;

    // Empties the board and starts a game; a local one also ends any link and listens again.
    void NewGame(bool network, int firstPlayer);
    // Empties the board and starts a local game against the computer, which plays O and opens
    // at once when firstPlayer is O; ends any link and listens again.
    void NewComputerGame(int firstPlayer);
    // Empties the board and starts a game against the engine program at path, in place of the
    // computer, under the same rules; the user opens. Ends any link and listens again, and any
    // engine before it. The window's title names the engine while it plays.
    void NewEngineGame(const std::string& path);
    // The engine in play; null when none.
    EnginePlayer* Engine() const { return enginePlayer.get(); }
    // The time an engine's moves may take from now on (tests make it short).
    void SetEngineSettings(const engine::EngineClient::Settings& settings) {
        engineSettings = settings;
    }
    // The level of the computer's searches from now on; a search running is asked again at it.
    void SetComputerLevel(engine::Level level);
    engine::Level ComputerLevel() const { return computerLevel; }
    // The computer or engine stops thinking and leaves the game: the board stays, as a game at one
    // mouse.
    void LeaveComputerGame();
    int32 Mode() const { return mode; }
    // What the board holds, whatever the blink shows.
    const Board& Cells() const { return board; }
    // The limits of the computer's searches from now on; none (the level's own) at first. Tests
    // ask for a search that only a stop ends.
    void SetComputerLimits(const engine::Limits& limits) { computerLimits = limits; }
    // The computer opponent, made when the view joins its window.
    ComputerPlayer* Computer() const { return computer.get(); }
    // The link has ended: a network game in play becomes an empty local game with X to move. The
    // link is left as it is.
    void LinkEnded();
    // A move from the peer; 1 when placed, -1 when refused.
    int UpdateGame(int column, int row, int player);
    void DrawSpelplan();
    // The board pass: the marks not yet drawn, the newest mark found, and with checkWin the win
    // or draw announcement. What Draw drew stays; the pass adds what changed since.
    void DrawGame(bool checkWin);

    // When the window is not the active one: the urgency hint, and text in a desktop notification
    // (replacing the one before). The user is told what happened while they were elsewhere.
    void NotifyUser(const std::string& text);

    // The link, set by the main window before it shows; null once the link is gone.
    NetView* netView = nullptr;

private:
    // A move of the user's, by click or key, in a cell, under the turn rules.
    void Play(int column, int row);
    // A move made here: placed, sent to the peer and announced; 1 when placed, -1 when refused.
    int PlaceOwn(int column, int row, int player);
    // Tells assistive tools what a cell holds now, and of player's move there.
    void CellChanged(int column, int row, int player);
    // Moves the cursor to a cell (kept on the board), shown while the keyboard plays.
    void MoveCursor(int column, int row);
    // Draws the cursor's frame at its cell, or erases it and draws the cell's mark again.
    void DrawCursor(bool on);
    bool CursorVisible() const { return IsFocus() && keyboardPlay; }
    // A move, start or end reported by the link that is up.
    void LinkReport(BMessage* message);
    void StartGame(int32 gameMode, int firstPlayer);
    // Starts a game of mode: a local one (against the computer too) ends any link first.
    void Restart(int32 gameMode, int firstPlayer);
    // Asks the computer for its move when it is to play and not yet asked.
    void AskComputer();
    // Abandons the computer's search: its answer will be dropped.
    void StopComputer();
    void ComputerMove(BMessage* message);
    // The computer's or the engine's move (column, row) answering the request search.
    void PlaceComputerMove(int32 search, int column, int row);
    void EngineReport(BMessage* message);
    // The engine leaves (its thread ends it); the title and the status row show none.
    void EndEngine();
    void Blink();
    void RestartBlink();
    // Where the board lies in the view: its top left corner and the side of a cell.
    struct Grid {
        float left;
        float top;
        float cell;
    };
    Grid BoardGrid() const;
    static float GridPen(const Grid& grid);
    void StrokeMark(int column, int row, int player, rgb_color color);
    // A line in player's colour through the five that start at (column, row).
    void StrokeFive(int column, int row, int player);
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
    // The keyboard's cursor, and whether a key was pressed since the last mouse press.
    int cursorColumn = (Board::kSize + 1) / 2;
    int cursorRow = (Board::kSize + 1) / 2;
    bool keyboardPlay = false;
    bool cursorDrawn = false;
    std::unique_ptr<BMessageRunner> blinkRunner;
    int32 blinkCount = 0;
    const BMessenger mainMessenger;
    engine::Level computerLevel = engine::Level::Medium;
    // The number of the search whose answer the board waits for, 0 when it waits for none; every
    // search gets a new one, so the answer of an abandoned search is known as such.
    int32 computerSearch = 0;
    int32 lastSearch = 0;
    engine::Limits computerLimits;
    std::unique_ptr<ComputerPlayer> computer;
    // The engine in play, the number of its session (reports of earlier ones are dropped), and
    // the window's own title, which shows its name while it plays.
    std::unique_ptr<EnginePlayer> enginePlayer;
    int32 engineSession = 0;
    engine::EngineClient::Settings engineSettings;
    std::string engineName;
    std::string baseTitle;
};
