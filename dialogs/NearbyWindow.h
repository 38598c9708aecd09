// NearbyWindow: "Players nearby", modal to the application: the players that the discovery finds
// on the local network, live, each with its name and address, under one sentence that says what
// there is (players, none yet, or no discovery service). Choosing one (a double-click, or Enter)
// connects to it as the connect dialog does with its address: a link made closes the window; a
// failed attempt shows the link's failure alert and leaves the list for another choice.
// Made by the main window, it shows itself and deletes itself when it closes; everything else
// runs on its own thread. It uses the link and the discovery without owning them; the main
// window closes it before it destroys either.
#pragma once

#include <string>
#include <vector>

#include "kit/interface/ListView.h"
#include "kit/interface/StringView.h"
#include "kit/interface/Window.h"
#include "net/Nearby.h"

class NetView;

class NearbyWindow : public BWindow {
public:
    NearbyWindow(NetView* link, nearby::Nearby* discovery);
    ~NearbyWindow() override;

    void MessageReceived(BMessage* message) override;

private:
    // Brings the list and the sentence up to date with the discovery.
    void ShowPlayers();

    NetView* const netView;
    nearby::Nearby* const players;
    BStringView* sentence;
    BListView* list;
    // The players listed, in the list's order.
    std::vector<nearby::Player> shown;
    // Whom the attempt under way connects to; empty when none is.
    std::string connectingTo;
    // Whether this window stopped the listening to connect.
    bool tried = false;
};
