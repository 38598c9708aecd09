// The messages the program's objects exchange: every what code and field name, and the link
// states that double as codes. Plain C++, shared by the link, the board, the dialogs and the main
// window.
#pragma once

#include <cstdint>

// Network game events, to the board (and to the connect dialog).
// Those to the board carry "link" (int32), the number of the link they came from.
constexpr uint32_t MSG_NET_PUT = 3001;         // "par1", "par2": the peer's move
constexpr uint32_t MSG_NET_GAME_START = 3011;  // a link is up
constexpr uint32_t MSG_NET_GAME_END = 3012;    // the link was not made, or the peer left

// The computer's move, from its thread to the board: "column", "row" (int32, 0 for none) and
// "search" (int32), the number of the search that found it; the board drops all but its latest.
constexpr uint32_t MSG_COMPUTER_MOVE = 3021;

// Games against an external engine. To the main window: "New game against an engine...", and the
// file chosen for it, "path" (string). To the board: something of the engine's session "session"
// (int32) waits to be taken (EnginePlayer); the board drops it from any session but its current
// one. To the main window: "msg", the engine's latest MESSAGE line, empty when the engine has left.
constexpr uint32_t MSG_CHOOSE_ENGINE = 7101;
constexpr uint32_t MSG_NEW_ENGINE_GAME = 7102;
constexpr uint32_t MSG_ENGINE_REPORT = 7103;
constexpr uint32_t MSG_ENGINE_MESSAGE = 7104;

// The link's states: stored in linkState (except LINK_LISTENING and LINK_PORT_IN_USE) and
// reported to the main window under the same code.
constexpr int32_t LINK_NOT_CONNECTED = 4001;
constexpr int32_t LINK_SERVER = 4002;
constexpr int32_t LINK_CLIENT = 4003;
constexpr int32_t LINK_LISTENING = 4004;
// The port cannot be bound, and the listen loop tries again.
constexpr int32_t LINK_PORT_IN_USE = 4005;

// Scores, to the main window.
constexpr uint32_t MSG_X_WON = 5001;
constexpr uint32_t MSG_O_WON = 5002;
constexpr uint32_t MSG_RESET_SCORE = 5003;

// Link, chat and turn notices, to the main window.
constexpr uint32_t MSG_CHAT_RECEIVED = 6001;  // "msg": the received text
constexpr uint32_t MSG_LINK_UP = 6002;
constexpr uint32_t MSG_LINK_DOWN = 6003;
constexpr uint32_t MSG_TURN = 6004;  // "player" (int8): whose turn it now is
// "msg": more text of the chat received last, from a later read; to the main window. Without
// fields, to a read window: more text waits in its inbox.
constexpr uint32_t MSG_CHAT_CONTINUED = 6005;
// "count" (int32): messages that did not reach the peer before the link ended.
constexpr uint32_t MSG_UNDELIVERED = 6006;

// Menu commands and the timer tick. MSG_NEW_LOCAL_GAME and MSG_SEND_CHAT share a code; each goes
// only to its own window.
constexpr uint32_t MSG_NEW_LOCAL_GAME = 10001;
constexpr uint32_t MSG_SEND_CHAT = 10001;
constexpr uint32_t MSG_CONNECT = 10002;
constexpr uint32_t MSG_DISCONNECT = 10003;
constexpr uint32_t MSG_QUIT = 10004;
constexpr uint32_t MSG_NEW_COMPUTER_GAME = 10005;
// "level" (int32): 0 Easy, 1 Medium, 2 Hard.
constexpr uint32_t MSG_COMPUTER_LEVEL = 10006;
constexpr uint32_t MSG_SEND_MESSAGE = 10010;
constexpr uint32_t MSG_MY_ADDRESSES = 10011;
constexpr uint32_t MSG_ABOUT = 10021;
// The clock's tick, and the board's blink ticks.
constexpr uint32_t MSG_TICK = 10041;

// Players nearby: the menu command; the discovery's news to a window that watches it (the list
// of players or the daemon's state changed); a player chosen in the list ("index", int32, the
// list view's row).
constexpr uint32_t MSG_PLAYERS_NEARBY = 7201;
constexpr uint32_t MSG_NEARBY_CHANGED = 7202;
constexpr uint32_t MSG_NEARBY_CHOSEN = 7203;

// The connect dialog's button.
constexpr uint32_t MSG_CONNECT_BUTTON = 12345;

// Field names.
constexpr const char* FIELD_PAR1 = "par1";
constexpr const char* FIELD_PAR2 = "par2";
constexpr const char* FIELD_PLAYER = "player";
constexpr const char* FIELD_MSG = "msg";
constexpr const char* FIELD_LINK = "link";
constexpr const char* FIELD_COUNT = "count";
constexpr const char* FIELD_COLUMN = "column";
constexpr const char* FIELD_ROW = "row";
constexpr const char* FIELD_SEARCH = "search";
constexpr const char* FIELD_LEVEL = "level";
constexpr const char* FIELD_PATH = "path";
constexpr const char* FIELD_SESSION = "session";
