// The main panel: Cantorix's top-level window. The four player windows are
// its children, stacked under it in a fixed order; it routes the command
// message, opens handed-over and dropped files and ticks the players.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>

#include "common/PlayerModule.h"

constexpr char kMainPanelClass[] = "CANTORIX";
constexpr char kMainPanelTitle[] = "Cantorix";
constexpr int kPanelWidth = 462;
constexpr int kPanelHeight = 61;
constexpr int kFullStackHeight = 552;  // panel plus all four players
constexpr UINT_PTR kPanelTimerId = 1;
constexpr UINT kPanelTickMs = 500;

// Main panel button ids.
enum PanelButton : int {
  kButtonMin = 1101,
  kButtonClose = 1102,
  kButtonHelp = 1103,
  kButtonPower = 1104,
  kButtonCd = 1105,
  kButtonMidi = 1106,
  kButtonMixer = 1107,
  kButtonWave = 1108,
  kButtonConfig = 1109,
};

struct PlayerSlot {
  HWND window = nullptr;  // none until first opened; then lives until the program ends
  bool shown = false;
};

// Tells whether the device a player needs exists on this machine.
using DeviceTest = bool (*)();

// A module registers before the panel starts; the panel keeps the pointer,
// so the record must live as long as the program. Null takes a module out.
void RegisterPlayerModule(PlayerIndex player, const PlayerModule* module);
const PlayerModule* PlayerModuleOf(PlayerIndex player);
// The route (2000, 2003, 2006, 7036) and the panel key of a player.
uint16_t PlayerRoute(PlayerIndex player);
int PlayerButton(PlayerIndex player);
PlayerSlot& PlayerSlotOf(PlayerIndex player);
// Replaces the module's own device test (null goes back to it).
void SetPlayerDeviceTest(PlayerIndex player, DeviceTest test);
bool PlayerDeviceExists(PlayerIndex player);
// What the application offers the players it creates.
const PlayerHost& ApplicationHost();
// The player for a route (2000, 2003, 2006, 7036), or kPlayerCount.
PlayerIndex PlayerForRoute(uint16_t route);
// The window the panel holds for a player route, or null.
HWND PlayerWindowByRoute(uint16_t route);
// The same for a file handed over or dropped: a player that was never made
// (the program was started with ALLCLOSE) is opened for it, so the file is
// not lost.
HWND PlayerWindowForFile(uint16_t route);

bool RegisterMainPanelClass(HINSTANCE instance);
HWND CreateMainPanel(HINSTANCE instance);

// First pass of the message loop: players whose devices exist, then layout.
void CreatePlayersAtStart(HWND panel);
void OpenPlayer(HWND panel, PlayerIndex player);
void ClosePlayer(HWND panel, PlayerIndex player);
void TogglePlayer(HWND panel, PlayerIndex player);
void LayoutPanels(HWND panel);

// The HELP key opens the help file in the help viewer or, when there is
// none, the compiled guide in the HTML help viewer, else the HTML guide in
// the browser; when nothing opens it says so. Tests put their own opener in
// place so that no viewer starts; an opener tells whether its viewer
// opened the document.
constexpr char kHelpFileName[] = "Cantorix.hlp";
constexpr char kCompiledHelpFileName[] = "Cantorix.chm";
constexpr char kGuideFileName[] = "CantorixGuide.html";
constexpr char kHelpFailedText[] =
    "The help could not be opened. The user guide CantorixGuide.html is in the program's folder.";
enum class HelpDocument { kHelpFile, kCompiledHelp, kGuide };
using HelpOpener = bool (*)(HWND panel, const char* path, HelpDocument document);
void SetHelpOpener(HelpOpener opener);  // null: the system's viewers again
void OpenHelp(HWND panel);
// Help windows the HTML help viewer opened for this program (at the end).
void CloseHelpWindows();

// Command routing (CommandRouter.cpp).
void RouteCommand(HWND panel, WPARAM wParam, LPARAM lParam);
// Sends the stop-and-clear, take-file and play commands for a handed-over file.
void OpenHandedFile(HWND panel, const char* name);
// A name too long for an atom, from a second instance (WM_COPYDATA).
LRESULT OpenCopiedFile(HWND panel, const COPYDATASTRUCT* data);
// Dropped files (WM_DROPFILES).
void HandleDroppedFiles(HWND panel, HDROP drop);
