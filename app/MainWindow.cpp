#include "app/MainWindow.h"

#include <cstdlib>
#include <string>

#include "app/Clock.h"
#include "dialogs/MsgWindow.h"
#include "dialogs/NearbyWindow.h"
#include "dialogs/NewWindow.h"
#include "kit/application/Application.h"
#include "kit/interface/Alert.h"
#include "kit/network/Socket.h"
#include "messages/Messages.h"
#include "net/Addresses.h"
#include "net/PortMapping.h"

namespace {

BMenuItem* Item(const char* label, uint32 code, char shortcut) {
    return new BMenuItem(label, new BMessage(code), shortcut);
}

BMenuItem* LevelItem(const char* label, engine::Level level) {
    auto* message = new BMessage(MSG_COMPUTER_LEVEL);
    message->AddInt32(FIELD_LEVEL, static_cast<int32>(level));
    return new BMenuItem(label, message);
}

// meaning: what assistive tools say the text is.
BStringView* StatusText(BWindow* window, BRect frame, const char* name, const char* text,
                        uint32 resizingMode, const char* meaning) {
    auto* view = new BStringView(frame, name, text, resizingMode, B_WILL_DRAW);
    view->SetAccessibleName(meaning);
    window->AddChild(view);
    return view;
}

}  // namespace

MainWindow::MainWindow()
    : BWindow(BRect(200, 200, 500, 540), "Quillet 1.4", B_TITLED_WINDOW, 0, B_CURRENT_WORKSPACE) {
    const BRect bounds = Bounds();

    // Between the menu bar and the status row; it takes what the window gains.
    BRect boardFrame = bounds;
    boardFrame.top += BMenuBar::kHeight;
    boardFrame.bottom -= kStatusHeight;
    gameView = new GameView(boardFrame, BMessenger(this));
    AddChild(gameView);

    portMapper = std::make_unique<PortMapper>(
        NET_PORT, portmap::LeaseFrom(std::getenv("QUILLET_MAPPING_LEASE")));
    // Off this thread: connecting to the discovery service never delays the window.
    playersNearby = std::make_unique<nearby::Nearby>(nearby::ServiceName(), NET_PORT);
    // The board is in the window now, so that its messenger reaches it.
    auto mainMessenger = std::make_unique<BMessenger>(this);
    auto boardMessenger = std::make_unique<BMessenger>(gameView);
    netView = std::make_unique<NetView>(std::move(boardMessenger), std::move(mainMessenger));
    gameView->netView = netView.get();

    auto* menuBar =
        new BMenuBar(bounds, "Menyn", B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP, B_ITEMS_IN_ROW, true);
    auto* fileMenu = new BMenu("File", B_ITEMS_IN_COLUMN);
    fileMenu->AddItem(Item("New local game", MSG_NEW_LOCAL_GAME, 'N'));
    fileMenu->AddItem(Item("New game against the computer", MSG_NEW_COMPUTER_GAME, 'G'));
    levelMenu = new BMenu("Computer level", B_ITEMS_IN_COLUMN);
    levelMenu->SetRadioMode(true);
    levelMenu->AddItem(LevelItem("Easy", engine::Level::Easy));
    levelMenu->AddItem(LevelItem("Medium", engine::Level::Medium));
    levelMenu->AddItem(LevelItem("Hard", engine::Level::Hard));
    levelMenu->ItemAt(static_cast<int32>(gameView->ComputerLevel()))->SetMarked(true);
    fileMenu->AddItem(levelMenu);
    fileMenu->AddItem(Item("New game against an engine...", MSG_CHOOSE_ENGINE, 0));
    fileMenu->AddSeparatorItem();
    fileMenu->AddItem(Item("Quit", MSG_QUIT, 'Q'));
    auto* internetMenu = new BMenu("Internet", B_ITEMS_IN_COLUMN);
    internetMenu->AddItem(Item("Connect...", MSG_CONNECT, 'C'));
    internetMenu->AddItem(disconnectItem = Item("Disconnect", MSG_DISCONNECT, 'D'));
    internetMenu->AddItem(sendMessageItem = Item("Send message", MSG_SEND_MESSAGE, 'M'));
    internetMenu->AddItem(Item("My addresses...", MSG_MY_ADDRESSES, 0));
    internetMenu->AddItem(Item("Players nearby...", MSG_PLAYERS_NEARBY, 0));
    EnableLinkItems(false);
    auto* helpMenu = new BMenu("Help", B_ITEMS_IN_COLUMN);
    helpMenu->AddItem(Item("About...", MSG_ABOUT, 0));
    menuBar->AddItem(fileMenu);
    menuBar->AddItem(internetMenu);
    menuBar->AddItem(helpMenu);
    menuBar->SetAccessibleName("Menu");
    AddChild(menuBar);

    // The status row, below the board: the link's state at the left, the clock and the scores
    // at the right; each text as wide as its font needs.
    const float left = bounds.left;
    const float right = bounds.right;
    const float top = bounds.bottom - kStatusHeight + 1;
    const float bottom = bounds.bottom;
    const uint32 atLeft = B_FOLLOW_LEFT | B_FOLLOW_BOTTOM;
    const uint32 atRight = B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM;
    linkStatus = "Listen for connections...";
    statusView = StatusText(this, BRect(left + 1, top, left + 150, bottom), "status connect",
                            linkStatus.c_str(), atLeft, "Network");
    xScoreView = StatusText(this, BRect(right - 80, top, right - 40, bottom), "x connect", "X: 0",
                            atRight, "Games won by X");
    oScoreView = StatusText(this, BRect(right - 40, top, right - 5, bottom), "o connect", "O: 0",
                            atRight, "Games won by O");
    timeView = StatusText(this, BRect(right - 130, top, right - 90, bottom), "time status", "00:00",
                          atRight, "Time of this move");

    oScore = 0;
    xScore = 0;

    ResetClock();

    // The keyboard plays on the board from the start.
    gameView->MakeFocus(true);
    Show();
}

void MainWindow::SetListening(bool listening) {
    if (portMapper != nullptr)
        portMapper->SetListening(listening);
    if (playersNearby != nullptr)
        playersNearby->SetAnnounced(listening);
}

void MainWindow::EnableLinkItems(bool enabled) {
    disconnectItem->SetEnabled(enabled);
    sendMessageItem->SetEnabled(enabled);
}

void MainWindow::SetLinkStatus(const char* text) {
    linkStatus = text;
    statusView->SetText(text);
}

void MainWindow::ResetClock(rgb_color color) {
    timeView->SetHighColor(color);
    timeView->SetText("00:00");
    turnStarted = system_time();
    // The ticks fall on the whole seconds since the turn passed.
    BMessage tick(MSG_TICK);
    clockRunner = std::make_unique<BMessageRunner>(BMessenger(this), &tick, 1000000, -1);
}

void MainWindow::ShowAbout() {
    const char* text =
        "Quillet\nby the Quillet authors\nhttps://quillet.example.org\n"
        "quillet@example.org\n\n";
    auto* alert =
        new BAlert("Quillet", text, "OK", nullptr, nullptr, B_WIDTH_AS_USUAL, B_INFO_ALERT);
    BTextView* textView = alert->TextView();
    textView->SetStylable(true);
    BFont font(*be_plain_font);
    font.SetSize(15);
    textView->SetFontAndColor(0, std::string_view("Quillet").size(), &font, B_FONT_ALL);
    alert->Go();
}

void MainWindow::ShowUndelivered(int32 count) {
    const std::string text =
        count == 1 ? "1 message did not reach the other player."
                   : std::to_string(count) + " messages did not reach the other player.";
    (new BAlert("Quillet", text.c_str(), "OK", nullptr, nullptr, B_WIDTH_AS_USUAL, B_INFO_ALERT))
        ->Go();
}

bool MainWindow::Forward(const ReadWindow& reader, std::string_view text) {
    // A wake-up already on its way takes this text too, so a flood leaves one message in the
    // read window's queue, not one a chat. Text given to a window in the instant it closes goes
    // with it.
    if (!reader.window.IsValid())
        return false;
    return !reader.inbox->Add(text) || reader.window.SendMessage(MSG_CHAT_CONTINUED) == B_OK;
}

void MainWindow::ShowChat(const char* text) {
    std::erase_if(readWindows, [](const ReadWindow& reader) { return !reader.window.IsValid(); });
    if (readWindows.size() >= kMaxReadWindows) {
        if (Forward(readWindows.back(), std::string("\n") + text)) {
            lastChat = readWindows.back();
            return;
        }
        readWindows.pop_back();
    }
    ReadWindow reader{BMessenger(), std::make_shared<chat::ChatInbox>()};
    new MsgWindow(netView.get(), false, text, &reader.window, reader.inbox, this);
    readWindows.push_back(reader);
    lastChat = std::move(reader);
}

void MainWindow::ContinueChat(const char* text) {
    // A chat whose window was closed meanwhile goes on in a window of its own.
    if (lastChat.inbox == nullptr || !Forward(lastChat, text))
        ShowChat(text);
}

void MainWindow::MessageReceived(BMessage* message) {
    switch (message->what) {
        case LINK_NOT_CONNECTED:
            SetListening(false);
            SetLinkStatus("Not connected");
            break;
        case LINK_SERVER:
            SetListening(false);
            SetLinkStatus("Connected as server");
            gameView->NotifyUser("The other player connected");
            break;
        case LINK_CLIENT:
            SetListening(false);
            SetLinkStatus("Connected as client");
            break;
        case LINK_LISTENING:
            SetListening(true);
            SetLinkStatus("Listen for connections...");
            break;
        case LINK_PORT_IN_USE:
            SetListening(false);
            SetLinkStatus("Port 1777 in use");
            break;
        case MSG_X_WON:
            xScoreView->SetText(("X: " + std::to_string(++xScore)).c_str());
            break;
        case MSG_O_WON:
            oScoreView->SetText(("O: " + std::to_string(++oScore)).c_str());
            break;
        case MSG_RESET_SCORE:
            oScore = 0;
            xScore = 0;
            xScoreView->SetText("X: 0");
            oScoreView->SetText("O: 0");
            break;
        case MSG_CHAT_RECEIVED:
        case MSG_CHAT_CONTINUED: {
            const char* text = nullptr;
            if (message->FindString(FIELD_MSG, &text) != B_OK || netView == nullptr)
                break;
            if (message->what == MSG_CHAT_RECEIVED) {
                ShowChat(text);
                gameView->NotifyUser("New message from the other player");
            } else
                ContinueChat(text);
            break;
        }
        case MSG_UNDELIVERED: {
            int32 count = 0;
            if (message->FindInt32(FIELD_COUNT, &count) == B_OK && count > 0)
                ShowUndelivered(count);
            break;
        }
        case MSG_LINK_UP:
            EnableLinkItems(true);
            ResetClock();
            break;
        case MSG_LINK_DOWN:
            // However a link ended, nothing of its game is left to play.
            EnableLinkItems(false);
            ResetClock();
            gameView->LinkEnded();
            break;
        case MSG_TURN: {
            int8 player = 0;
            message->FindInt8(FIELD_PLAYER, &player);
            ResetClock(PlayerColor(player));
            break;
        }
        case MSG_NEW_LOCAL_GAME:
            gameView->NewGame(false, PLAYER_X);
            break;
        case MSG_NEW_COMPUTER_GAME:
            // The user plays X and opens the first game.
            gameView->NewComputerGame(PLAYER_X);
            break;
        case MSG_CHOOSE_ENGINE:
            if (enginePanel == nullptr)
                enginePanel = std::make_unique<BFilePanel>(
                    BMessenger(this), BMessage(MSG_NEW_ENGINE_GAME), "Choose a gomoku engine");
            enginePanel->Show();
            break;
        case MSG_NEW_ENGINE_GAME: {
            const char* path = nullptr;
            if (message->FindString(FIELD_PATH, &path) == B_OK)
                gameView->NewEngineGame(path);
            break;
        }
        case MSG_ENGINE_MESSAGE: {
            // The engine's latest message, until it leaves the game.
            const char* text = nullptr;
            if (message->FindString(FIELD_MSG, &text) == B_OK)
                statusView->SetText(*text != '\0' ? text : linkStatus.c_str(), *text != '\0');
            break;
        }
        case MSG_COMPUTER_LEVEL: {
            int32 level = 0;
            if (message->FindInt32(FIELD_LEVEL, &level) != B_OK || level < 0 ||
                level >= levelMenu->CountItems())
                break;
            levelMenu->ItemAt(level)->SetMarked(true);
            gameView->SetComputerLevel(static_cast<engine::Level>(level));
            break;
        }
        case MSG_CONNECT:
            // A network game is on its way: the computer leaves the game on the board.
            gameView->LeaveComputerGame();
            if (netView != nullptr)
                new NewWindow(netView.get());
            break;
        case MSG_PLAYERS_NEARBY:
            // As "Connect...": choosing a player starts a network game.
            gameView->LeaveComputerGame();
            if (netView != nullptr)
                new NearbyWindow(netView.get(), playersNearby.get());
            break;
        case MSG_SEND_MESSAGE:
            if (netView != nullptr)
                new MsgWindow(netView.get(), true, nullptr, nullptr, nullptr, this);
            break;
        case MSG_DISCONNECT:
            if (netView == nullptr || netView->linkState == LINK_NOT_CONNECTED)
                break;
            gameView->NewGame(false, PLAYER_X);
            EnableLinkItems(false);
            break;
        case MSG_QUIT:
            QuitRequested();
            break;
        case MSG_ABOUT:
            ShowAbout();
            break;
        case MSG_MY_ADDRESSES:
            // The router's answer first: its address is the one players outside reach.
            (new BAlert("Quillet",
                        (portmap::RouterText(
                             portMapper != nullptr ? portMapper->State() : portmap::RouterState(),
                             NET_PORT) +
                         addresses::AddressesText(kit::InterfaceAddresses(), NET_PORT))
                            .c_str(),
                        "OK", nullptr, nullptr, B_WIDTH_AS_USUAL, B_INFO_ALERT))
                ->Go();
            break;
        case MSG_TICK:
            timeView->SetText(ClockText(system_time() - turnStarted).c_str());
            break;
        default:
            BWindow::MessageReceived(message);
    }
}

bool MainWindow::QuitRequested() {
    gameView->LeaveComputerGame();
    // The program ends: a chat window waiting in its alert would otherwise hold QuitWindows
    // below until its user answers.
    BAlert::CloseAll();
    if (netView != nullptr) {
        // The dialogs and chat windows use the link: they go first, running their own clean-up
        // against a live link. Then the link ends, so that a connected peer is told.
        be_app->QuitWindows(netView.get());
        playersNearby.reset();
        gameView->netView = nullptr;
        netView.reset();
    }
    // The mapping goes once nothing listens; the wait for the router is bounded.
    portMapper.reset();
    be_app->PostMessage(B_QUIT_REQUESTED);
    return true;
}
