#include "app/MainWindow.h"

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

namespace {

BMenuItem* Item(const char* label, uint32 code, char shortcut) {
    return new BMenuItem(label, new BMessage(code), shortcut);
}

BMenuItem* LevelItem(const char* label, engine::Level level) {
    auto* message = new BMessage(MSG_COMPUTER_LEVEL);
    message->AddInt32(FIELD_LEVEL, static_cast<int32>(level));
    return new BMenuItem(label, message);
}

BStringView* StatusText(BWindow* window, BRect frame, const char* name, const char* text) {
    auto* view = new BStringView(frame, name, text, B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW);
    window->AddChild(view);
    return view;
}

}  // namespace

MainWindow::MainWindow()
    : BWindow(BRect(200, 200, 500, 540), "Quillet 1.4", B_TITLED_WINDOW,
              B_NOT_RESIZABLE | B_NOT_ZOOMABLE, B_CURRENT_WORKSPACE) {
    const BRect bounds = Bounds();

    BRect boardFrame = bounds;
    boardFrame.top += 20;
    boardFrame.bottom -= 20;
    gameView = new GameView(boardFrame, BMessenger(this));
    AddChild(gameView);

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
    AddChild(menuBar);

    const float left = bounds.left;
    const float right = bounds.right;
    const float bottom = bounds.bottom;
    statusView = StatusText(this, BRect(left + 1, bottom - 30, left + 150, bottom),
                            "status connect", "Listen for connections...");
    xScoreView =
        StatusText(this, BRect(right - 80, bottom - 30, right - 40, bottom), "x connect", "X: 0");
    oScoreView =
        StatusText(this, BRect(right - 40, bottom - 30, right - 5, bottom), "o connect", "O: 0");
    timeView = StatusText(this, BRect(right - 130, bottom - 30, right - 90, bottom), "time status",
                          "00:00");

    oScore = 0;
    xScore = 0;

    ResetClock();

    Show();
}

void MainWindow::EnableLinkItems(bool enabled) {
    disconnectItem->SetEnabled(enabled);
    sendMessageItem->SetEnabled(enabled);
}

void MainWindow::Announce(bool listening) {
    if (playersNearby != nullptr)
        playersNearby->SetAnnounced(listening);
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
    new MsgWindow(netView.get(), false, text, &reader.window, reader.inbox);
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
            Announce(false);
            statusView->SetText("Not connected");
            break;
        case LINK_SERVER:
            Announce(false);
            statusView->SetText("Connected as server");
            break;
        case LINK_CLIENT:
            Announce(false);
            statusView->SetText("Connected as client");
            break;
        case LINK_LISTENING:
            Announce(true);
            statusView->SetText("Listen for connections...");
            break;
        case LINK_PORT_IN_USE:
            Announce(false);
            statusView->SetText("Port 1777 in use");
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
            if (message->what == MSG_CHAT_RECEIVED)
                ShowChat(text);
            else
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
                new MsgWindow(netView.get(), true, nullptr);
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
            (new BAlert("Quillet",
                        addresses::AddressesText(kit::InterfaceAddresses(), NET_PORT).c_str(), "OK",
                        nullptr, nullptr, B_WIDTH_AS_USUAL, B_INFO_ALERT))
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
    if (netView != nullptr) {
        // The dialogs and chat windows use the link: they go first, running their own clean-up
        // against a live link. Then the link ends, so that a connected peer is told.
        be_app->QuitWindows(netView.get());
        playersNearby.reset();
        gameView->netView = nullptr;
        netView.reset();
    }
    be_app->PostMessage(B_QUIT_REQUESTED);
    return true;
}
