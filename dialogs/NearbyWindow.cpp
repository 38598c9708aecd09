#include "dialogs/NearbyWindow.h"

#include <algorithm>

#include "dialogs/Connecting.h"
#include "messages/Messages.h"
#include "net/NetView.h"

namespace {

bool Lists(const std::vector<nearby::Player>& players, const nearby::Player& player) {
    return std::find(players.begin(), players.end(), player) != players.end();
}

}  // namespace

NearbyWindow::NearbyWindow(NetView* link, nearby::Nearby* discovery)
    : BWindow(BRect(200, 250, 619, 449), "Players nearby", B_TITLED_WINDOW,
              B_NOT_RESIZABLE | B_NOT_ZOOMABLE, B_CURRENT_WORKSPACE),
      netView(link),
      players(discovery) {
    const BRect bounds = Bounds();
    sentence = new BStringView(BRect(5, 5, bounds.right - 5, 22), "nearby status", "");
    AddChild(sentence);
    list = new BListView(BRect(5, 27, bounds.right - 5, bounds.bottom - 5), "players");
    list->SetInvocationMessage(new BMessage(MSG_NEARBY_CHOSEN));
    AddChild(list);
    list->MakeFocus(true);
    SetFeel(B_MODAL_APP_WINDOW_FEEL);
    SetGroup(link);
    players->Watch(BMessenger(this));
    ShowPlayers();
    Show();
}

NearbyWindow::~NearbyWindow() {
    if (tried)
        connecting::GiveUp(netView);
}

void NearbyWindow::ShowPlayers() {
    const nearby::Service state = players->State();
    const std::vector<nearby::Player> now =
        state == nearby::Service::Running ? players->Players() : std::vector<nearby::Player>{};
    // Only what changed: the row the user is on stays where it is.
    for (int32 row = static_cast<int32>(shown.size()) - 1; row >= 0; --row) {
        if (!Lists(now, shown[row])) {
            list->RemoveItem(row);
            shown.erase(shown.begin() + row);
        }
    }
    for (const nearby::Player& player : now) {
        if (!Lists(shown, player)) {
            list->AddItem(new BStringItem((player.name + " (" + player.address + ")").c_str()));
            shown.push_back(player);
        }
    }
    if (!connectingTo.empty())
        sentence->SetText(("Connecting to " + connectingTo + "...").c_str());
    else if (state == nearby::Service::NotRunning)
        sentence->SetText("The Avahi service is not running: no players nearby can be found.");
    else if (state == nearby::Service::Starting)
        sentence->SetText("Looking for players on this network...");
    else if (shown.empty())
        sentence->SetText("No player on this network is waiting for a game yet.");
    else
        sentence->SetText("Double-click a player to play with them.");
}

void NearbyWindow::MessageReceived(BMessage* message) {
    switch (message->what) {
        case MSG_NEARBY_CHANGED:
            ShowPlayers();
            break;
        case MSG_NEARBY_CHOSEN: {
            int32 row = -1;
            if (message->FindInt32("index", &row) != B_OK || row < 0 ||
                row >= static_cast<int32>(shown.size()))
                break;
            tried = true;
            connectingTo = shown[row].name;
            connecting::Start(netView, this, shown[row].address.c_str());
            ShowPlayers();
            break;
        }
        case MSG_NET_GAME_START:
            Quit();
            break;
        case MSG_NET_GAME_END:
            connectingTo.clear();
            ShowPlayers();
            break;
        default:
            BWindow::MessageReceived(message);
    }
}
