#include "game/GameView.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>

#include "game/ComputerPlayer.h"
#include "game/EnginePlayer.h"
#include "kit/interface/Alert.h"
#include "kit/interface/Notification.h"
#include "kit/interface/Window.h"
#include "messages/Messages.h"
#include "net/NetView.h"
#include "net/Protocol.h"

namespace {

constexpr rgb_color kBlack = {0, 0, 0, 255};
constexpr rgb_color kWhite = {255, 255, 255, 255};
// At a cell of Board::kCellPixels; they grow with the cell.
constexpr float kMarkPen = 2.0f;
constexpr float kGridPen = 1.0f;
constexpr float kRingRadius = 8.0f;
constexpr float kWinPen = 3.0f;
constexpr rgb_color kCursorColor = {0, 150, 0, 255};
constexpr bigtime_t kBlinkInterval = 100000;
constexpr int32 kBlinkTicks = 10;

int Other(int player) {
    return player == PLAYER_X ? PLAYER_O : PLAYER_X;
}

const char* MarkName(int player) {
    return player == PLAYER_X ? "X" : player == PLAYER_O ? "O" : "empty";
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

// The step (columns, rows) along which the five of player that start at (column, row) run, in
// the order Board::CheckWin looks; false when they run nowhere.
bool FiveFrom(const Board& board, int column, int row, int player, int* stepColumn, int* stepRow) {
    constexpr int kSteps[][2] = {{1, 1}, {1, -1}, {1, 0}, {0, 1}};
    for (const auto& step : kSteps) {
        int run = 0;
        while (run < 5 && board.PlayerAt(column + run * step[0], row + run * step[1]) == player)
            ++run;
        if (run == 5) {
            *stepColumn = step[0];
            *stepRow = step[1];
            return true;
        }
    }
    return false;
}

}  // namespace

GameView::GameView(BRect frame, const BMessenger& mainWindow)
    : BView(frame, "gamruta", B_FOLLOW_ALL_SIDES, B_WILL_DRAW | B_NAVIGABLE),
      mainMessenger(mainWindow) {
    SetAccessibleName("Board");
}

GameView::~GameView() = default;

void GameView::AttachedToWindow() {
    // Its messenger needs the view in its window.
    computer = std::make_unique<ComputerPlayer>(BMessenger(this), std::random_device{}());
    baseTitle = Window()->Title();
    SetAccessibleTable(Board::kSize, Board::kSize);
    for (int column = 1; column <= Board::kSize; ++column) {
        for (int row = 1; row <= Board::kSize; ++row)
            CellChanged(column, row, 0);
    }
    SetAccessibleFocusCell(cursorColumn - 1, cursorRow - 1);
    FrameResized(Bounds().Width(), Bounds().Height());
}

void GameView::FrameResized(float, float) {
    // The cells move with the board, as assistive tools should find them.
    const Grid grid = BoardGrid();
    const float span = grid.cell * Board::kSize;
    SetAccessibleTableArea(BRect(grid.left, grid.top, grid.left + span - 1, grid.top + span - 1));
}

int32 GameView::LinkState() const {
    return netView != nullptr ? netView->linkState.load() : LINK_NOT_CONNECTED;
}

void GameView::NewGame(bool network, int firstPlayer) {
    EndEngine();
    Restart(network ? GAME_NETWORK : GAME_LOCAL, firstPlayer);
}

void GameView::NewComputerGame(int firstPlayer) {
    EndEngine();
    Restart(GAME_COMPUTER, firstPlayer);
}

void GameView::NewEngineGame(const std::string& path) {
    EndEngine();
    enginePlayer =
        std::make_unique<EnginePlayer>(BMessenger(this), ++engineSession, path, engineSettings);
    Restart(GAME_COMPUTER, PLAYER_X);
}

void GameView::EndEngine() {
    if (enginePlayer == nullptr)
        return;
    enginePlayer.reset();
    engineName.clear();
    Window()->SetTitle(baseTitle.c_str());
    BMessage note(MSG_ENGINE_MESSAGE);
    note.AddString(FIELD_MSG, "");
    mainMessenger.SendMessage(&note);
}

void GameView::EngineReport(BMessage* message) {
    int32 session = 0;
    if (message->FindInt32(FIELD_SESSION, &session) != B_OK || session != engineSession ||
        enginePlayer == nullptr)
        return;
    const EnginePlayer::Report report = enginePlayer->TakeReport();
    if (!report.name.empty() && report.name != engineName) {
        engineName = report.name;
        Window()->SetTitle((baseTitle + " - vs " + engineName).c_str());
    }
    if (report.message) {
        BMessage note(MSG_ENGINE_MESSAGE);
        note.AddString(FIELD_MSG, report.message->c_str());
        mainMessenger.SendMessage(&note);
    }
    if (report.move)
        PlaceComputerMove(report.search, report.move->x + 1, report.move->y + 1);
    if (report.fault.empty())
        return;
    // The board stays as it is, a game at one mouse; the engine is ended before the user reads
    // why.
    LeaveComputerGame();
    blinkRunner.reset();
    DrawGame(false);
    (new BAlert("Quillet", report.fault.c_str(), "OK", nullptr, nullptr, B_WIDTH_AS_USUAL,
                B_WARNING_ALERT))
        ->Go();
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
    if (computerSearch != 0 && enginePlayer == nullptr) {
        StopComputer();
        AskComputer();
    }
}

void GameView::LeaveComputerGame() {
    EndEngine();
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
    if (enginePlayer != nullptr)
        enginePlayer->Think(computerSearch, board, PLAYER_O);
    else
        computer->Think(computerSearch, board, PLAYER_O, computerLevel, computerLimits);
}

void GameView::ComputerMove(BMessage* message) {
    int32 search = 0, column = 0, row = 0;
    if (message->FindInt32(FIELD_SEARCH, &search) != B_OK)
        return;
    message->FindInt32(FIELD_COLUMN, &column);
    message->FindInt32(FIELD_ROW, &row);
    PlaceComputerMove(search, column, row);
}

void GameView::PlaceComputerMove(int32 search, int column, int row) {
    if (search != computerSearch || search == 0)
        return;
    computerSearch = 0;
    // As a peer's move: drawn, blinking, announced, and the turn passes. It crosses no wire.
    if (UpdateGame(column, row, PLAYER_O) < 0)
        return;
    turn = PLAYER_X;
    // Before the pass: a winning move's alert holds this thread until it is answered.
    NotifyUser(YourTurn(engineName.empty() ? "the computer" : engineName.c_str(), column, row));
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
    for (int column = 1; column <= Board::kSize; ++column) {
        for (int row = 1; row <= Board::kSize; ++row)
            CellChanged(column, row, 0);
    }
    Invalidate(Bounds());
    mode = gameMode;
    turn = firstPlayer;
    PostTurn();
    AskComputer();
}

GameView::Grid GameView::BoardGrid() const {
    // Whole pixels a cell, so that every cell and line looks the same; the rest is margin.
    const BRect bounds = Bounds();
    const float side = std::min(bounds.Width(), bounds.Height());
    const float cell = std::max(1.0f, std::floor(side / Board::kSize));
    const float span = cell * Board::kSize;
    return {std::floor((bounds.Width() - span) / 2), std::floor((bounds.Height() - span) / 2),
            cell};
}

int GameView::PlaceOwn(int column, int row, int player) {
    if (board.Place(column, row, player) < 0)
        return -1;
    // Sent in every mode: without a peer the link drops it.
    if (netView != nullptr)
        netView->SendMessage(protocol::Move(column, row).c_str());
    RestartBlink();
    CellChanged(column, row, player);
    return 1;
}

int GameView::UpdateGame(int column, int row, int player) {
    if (board.Place(column, row, player) < 0)
        return -1;
    RestartBlink();
    CellChanged(column, row, player);
    return 1;
}

void GameView::CellChanged(int column, int row, int player) {
    const std::string at = std::to_string(column) + ", row " + std::to_string(row);
    SetAccessibleCell(column - 1, row - 1, ("Column " + at + ", " + MarkName(player)).c_str());
    if (player != 0)
        AnnounceAccessibly((MarkName(player) + std::string(" played at column ") + at).c_str());
}

void GameView::RestartBlink() {
    blinkCount = 0;
    // Ticks the runner it replaces had queued are never delivered: the new mark blinks in step.
    BMessage tick(MSG_TICK);
    blinkRunner =
        std::make_unique<BMessageRunner>(BMessenger(this), &tick, kBlinkInterval, kBlinkTicks);
}

void GameView::DrawSpelplan() {
    const Grid grid = BoardGrid();
    const float span = grid.cell * Board::kSize;
    SetPenSize(GridPen(grid));
    for (int line = 0; line <= Board::kSize; ++line) {
        const float x = grid.left + line * grid.cell, y = grid.top + line * grid.cell;
        StrokeLine(BPoint(x, grid.top), BPoint(x, grid.top + span));
        StrokeLine(BPoint(grid.left, y), BPoint(grid.left + span, y));
    }
}

float GameView::GridPen(const Grid& grid) {
    return std::max(kGridPen, std::round(kGridPen * grid.cell / Board::kCellPixels));
}

void GameView::StrokeMark(int column, int row, int player, rgb_color color) {
    const Grid grid = BoardGrid();
    const float scale = grid.cell / Board::kCellPixels;
    const float x0 = grid.left + (column - 1) * grid.cell;
    const float y0 = grid.top + (row - 1) * grid.cell;
    const float size = grid.cell;
    SetHighColor(color);
    SetPenSize(kMarkPen * scale);
    if (player == PLAYER_X) {
        StrokeLine(BPoint(x0, y0), BPoint(x0 + size, y0 + size));
        StrokeLine(BPoint(x0, y0 + size), BPoint(x0 + size, y0));
    } else {
        StrokeEllipse(BPoint(x0 + size / 2, y0 + size / 2), kRingRadius * scale,
                      kRingRadius * scale);
    }
    SetPenSize(GridPen(grid));
    SetHighColor(kBlack);
    // The mark's strokes, or the blink's white ones, may have crossed the cursor.
    if (cursorDrawn && column == cursorColumn && row == cursorRow)
        DrawCursor(true);
}

void GameView::StrokeFive(int column, int row, int player) {
    int stepColumn = 0, stepRow = 0;
    if (!FiveFrom(board, column, row, player, &stepColumn, &stepRow))
        return;
    // From the first mark's centre to the fifth's, a little past both.
    const Grid grid = BoardGrid();
    const float reach = 4 + 0.3f;
    const auto centre = [&](float steps) {
        return BPoint(grid.left + (column - 0.5f + steps * stepColumn) * grid.cell,
                      grid.top + (row - 0.5f + steps * stepRow) * grid.cell);
    };
    SetHighColor(PlayerColor(player));
    SetPenSize(kWinPen * grid.cell / Board::kCellPixels);
    StrokeLine(centre(-0.3f), centre(reach));
    SetPenSize(GridPen(grid));
    SetHighColor(kBlack);
}

void GameView::DrawCursor(bool on) {
    cursorDrawn = on;
    // A frame just inside the cell's grid lines, clear of the points that show its mark.
    const Grid grid = BoardGrid();
    const float inset = GridPen(grid);
    const float left = grid.left + (cursorColumn - 1) * grid.cell + inset;
    const float top = grid.top + (cursorRow - 1) * grid.cell + inset;
    const float right = left + grid.cell - 2 * inset;
    const float bottom = top + grid.cell - 2 * inset;
    SetHighColor(on ? kCursorColor : kWhite);
    StrokeLine(BPoint(left, top), BPoint(right, top));
    StrokeLine(BPoint(right, top), BPoint(right, bottom));
    StrokeLine(BPoint(right, bottom), BPoint(left, bottom));
    StrokeLine(BPoint(left, bottom), BPoint(left, top));
    SetHighColor(kBlack);
    if (const int player = shown[cursorColumn][cursorRow]; !on && player != 0)
        StrokeMark(cursorColumn, cursorRow, player, PlayerColor(player));
}

void GameView::MoveCursor(int column, int row) {
    if (cursorDrawn)
        DrawCursor(false);
    cursorColumn = std::clamp(column, 1, Board::kSize);
    cursorRow = std::clamp(row, 1, Board::kSize);
    if (CursorVisible())
        DrawCursor(true);
    SetAccessibleFocusCell(cursorColumn - 1, cursorRow - 1);
}

void GameView::FocusChanged(bool focused) {
    if (!focused) {
        if (cursorDrawn)
            DrawCursor(false);
        return;
    }
    int column = (Board::kSize + 1) / 2, row = column;
    for (int c = 1; c <= Board::kSize; ++c) {
        for (int r = 1; r <= Board::kSize; ++r) {
            if (board.Cell(c, r) > Board::kLastMoveFlag) {
                column = c;
                row = r;
            }
        }
    }
    MoveCursor(column, row);
}

void GameView::KeyDown(const char* bytes, int32 numBytes) {
    if (numBytes != 1)
        return;
    keyboardPlay = true;
    int column = cursorColumn, row = cursorRow;
    bool play = false;
    switch (bytes[0]) {
        case B_LEFT_ARROW:
            --column;
            break;
        case B_RIGHT_ARROW:
            ++column;
            break;
        case B_UP_ARROW:
            --row;
            break;
        case B_DOWN_ARROW:
            ++row;
            break;
        case B_HOME:
            column = 1;
            break;
        case B_END:
            column = Board::kSize;
            break;
        case B_PAGE_UP:
            row = 1;
            break;
        case B_PAGE_DOWN:
            row = Board::kSize;
            break;
        case B_SPACE:
        case B_ENTER:
            play = true;
            break;
        default:
            break;  // any key shows where the cursor is
    }
    MoveCursor(column, row);
    if (play)
        Play(cursorColumn, cursorRow);
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
        // Marked on each side while its alert is open.
        StrokeFive(winColumn, winRow, winner);
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
    AnnounceAccessibly(text);
    (new BAlert("Quillet", text, "OK", nullptr, nullptr, B_WIDTH_AS_USUAL, B_INFO_ALERT))->Go();
    Restart(mode, firstPlayer);
}

void GameView::Draw(BRect) {
    // The view was cleared: everything is drawn anew.
    for (auto& column : shown)
        std::fill(std::begin(column), std::end(column), 0);
    cursorDrawn = false;
    DrawSpelplan();
    DrawGame(false);
    if (CursorVisible())
        DrawCursor(true);
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
    // The mouse plays: the cursor goes until a key is pressed.
    keyboardPlay = false;
    if (cursorDrawn)
        DrawCursor(false);
    // The rules count in cells of Board::kCellPixels from the board's corner.
    const Grid grid = BoardGrid();
    const float toRules = Board::kCellPixels / grid.cell;
    int column, row;
    Board::CellAt((where.x - grid.left) * toRules, (where.y - grid.top) * toRules, &column, &row);
    Play(column, row);
}

void GameView::Play(int column, int row) {
    if (mode == GAME_LOCAL) {
        if (PlaceOwn(column, row, turn) < 0)
            return;
        turn = Other(turn);
    } else if (mode == GAME_COMPUTER) {
        // While the computer thinks the board is not the user's.
        if (turn != PLAYER_X || PlaceOwn(column, row, PLAYER_X) < 0)
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
        if (PlaceOwn(column, row, own) < 0)
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
        case MSG_ENGINE_REPORT:
            EngineReport(message);
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
