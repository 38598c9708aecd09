// How a dialog connects the link to an address: the connect dialog and "Players nearby" both go
// this way, so that a player chosen from the list is connected to exactly as a typed address is
// (the same link, the same failure alert). Called on the dialog's thread.
#pragma once

class BWindow;
class NetView;

namespace connecting {

// Resets the score, stops any attempt and the listening, and connects link to address on its
// "Message loop" thread. The link tells dialog how the attempt ended (MSG_NET_GAME_START or
// MSG_NET_GAME_END) and shows the failure alert itself.
void Start(NetView* link, BWindow* dialog, const char* address);
// For a dialog that closes without a link made: whatever was tried stops, and the program
// listens again.
void GiveUp(NetView* link);

}  // namespace connecting
