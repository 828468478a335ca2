#include "media/PlayListWindow.h"

#include <cderr.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "common/ErrorBox.h"
#include "common/FileHandOff.h"
#include "common/Win32Handles.h"
#include "common/WindowClass.h"
#include "media/DiscList.h"
#include "media/PlayList.h"
#include "media/PlayListEdits.h"
#include "media/PlayListLayout.h"
#include "resources/ResourceIds.h"
#include "skin/DibButton.h"
#include "skin/SkinPalette.h"
#include "skin/SkinWindow.h"
#include "skin/SkinScale.h"

namespace {

constexpr char kListFileFilter[] = "List File\0*.m3u;*.m3u8\0";  // the literal adds the final NUL
constexpr char kOpenFailedText[] = "Error in open file.";
constexpr char kEmptyFileText[] = "The File is empty.\n";
constexpr char kNotSupportedText[] = "The list is not support by the player";
constexpr char kListFullText[] = "The list is full: it holds 99 files.";
constexpr char kTooManyChosenText[] = "Too many files were chosen at once.";
// A multiple selection comes back as a folder and names in this buffer:
// room for the folder and 99 names of full length, each with its NUL, and
// the final NUL.
constexpr DWORD kAddResultSize = (kPlayListCapacity + 1) * kPlayListSlot + 1;
constexpr DWORD kAddFlags = OFN_LONGNAMES | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT |
                            OFN_SHOWHELP | OFN_HIDEREADONLY;
constexpr DWORD kLoadFlags =
    OFN_LONGNAMES | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_SHOWHELP | OFN_HIDEREADONLY;
constexpr DWORD kSaveFlags =
    OFN_LONGNAMES | OFN_EXPLORER | OFN_SHOWHELP | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;

HINSTANCE gInstance = nullptr;
ListFolderReader gListFolder = nullptr;
FileDialogFunction gOpenDialog = GetOpenFileNameA;
FileDialogFunction gSaveDialog = GetSaveFileNameA;

// The window's state, kept in its user data from WM_CREATE to WM_DESTROY.
struct PlayListWindowState {
  PlayList* list = nullptr;  // handed over by the list right after creation
  // The list the window was made for. The attach message can come from any
  // process: only this pointer, known from the creation, is ever taken.
  PlayList* madeFor = nullptr;
  HWND listBox = nullptr;
  // The "X" key and CANCELSMALL share one id, so GetDlgItem would reach
  // only one of them: both are kept by handle.
  HWND cancelKeys[2] = {};
};

PlayListWindowState* StateOf(HWND window) {
  return reinterpret_cast<PlayListWindowState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// ---- rendering ----

void RefreshLines(PlayListWindowState& state) {
  if (state.list == nullptr) return;
  SendMessageA(state.listBox, WM_SETREDRAW, FALSE, 0);
  SendMessageA(state.listBox, LB_RESETCONTENT, 0, 0);
  const int count = EditCount(*state.list);
  for (int i = 0; i < count; ++i) {
    char line[kPlayListSlot];
    EditLineText(state.list->EditSlot(i), line, sizeof line);
    SendMessageA(state.listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
  }
  SendMessageA(state.listBox, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(state.listBox, nullptr, TRUE);
}

void EnableCancel(PlayListWindowState& state, bool enabled) {
  for (HWND key : state.cancelKeys) {
    if (key != nullptr) EnableWindow(key, enabled);
  }
}

// The selected lines, ascending; at most 99.
int SelectedLines(const PlayListWindowState& state, int (&lines)[kPlayListCapacity]) {
  LRESULT n = SendMessageA(state.listBox, LB_GETSELITEMS, kPlayListCapacity, reinterpret_cast<LPARAM>(lines));
  if (n == LB_ERR || n <= 0) return 0;
  std::sort(lines, lines + n);
  return static_cast<int>(n);
}

void SelectLines(const PlayListWindowState& state, const int* lines, int count) {
  for (int k = 0; k < count; ++k) SendMessageA(state.listBox, LB_SETSEL, TRUE, lines[k]);
}

OPENFILENAMEA DialogSetup(HWND window, const char* filter, char* result, DWORD size, const char* folder,
                          DWORD flags) {
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window;
  dialog.lpstrFilter = filter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = result;
  dialog.nMaxFile = size;
  dialog.lpstrInitialDir = folder != nullptr && folder[0] != '\0' ? folder : nullptr;
  dialog.Flags = flags;
  return dialog;
}

// Where the list-file dialogs start: the program's folder when it is known.
void ListFolder(char (&folder)[kPlayListSlot]) {
  folder[0] = '\0';
  if (gListFolder == nullptr || !gListFolder(folder, sizeof folder)) folder[0] = '\0';
}

// ---- keys ----

void OnOk(HWND window, PlayListWindowState& state) {
  HWND notify = state.list->NotifyWindow();
  RefreshLines(state);
  ShowWindow(window, SW_HIDE);
  if (notify != nullptr) {
    PostMessageA(notify, kMsgListEdited, 0, 0);
  } else {
    state.list->HideListWindow();  // nobody to take the list: at least give the owner back
  }
}

// The player's list stays exactly as it was before the window was shown.
void OnCancel(PlayListWindowState& state) {
  state.list->CopyEntriesToEdits(true);
  RefreshLines(state);
  state.list->HideListWindow();
}

void OnAdd(HWND window, PlayListWindowState& state) {
  std::vector<char> result(kAddResultSize, '\0');
  DWORD flags = kAddFlags;
  if (state.list->AllowedKinds() & kKindCdTrack) flags |= OFN_NOCHANGEDIR;
  OPENFILENAMEA dialog = DialogSetup(window, state.list->DialogFilter().c_str(), result.data(), kAddResultSize,
                                     state.list->PatternDirectory(), flags);
  if (!gOpenDialog(&dialog)) {
    // A selection the buffer cannot hold would otherwise add nothing, silently.
    if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) ShowErrorBox(window, kTooManyChosenText);
    return;
  }
  if (result[0] == '\0') return;
  bool full = false;
  AddDialogSelection(*state.list, result.data(), result.size(), &full);
  RefreshLines(state);
  if (full) ShowErrorBox(window, kListFullText);
}

void OnDelete(PlayListWindowState& state) {
  int lines[kPlayListCapacity];
  const int n = SelectedLines(state, lines);
  if (n == 0) return;
  DeleteEdits(*state.list, lines, n);
  RefreshLines(state);
}

void OnMove(PlayListWindowState& state, bool up) {
  int lines[kPlayListCapacity];
  const int n = SelectedLines(state, lines);
  const bool moved = up ? MoveEditsUp(*state.list, lines, n) : MoveEditsDown(*state.list, lines, n);
  if (!moved) return;
  RefreshLines(state);
  SelectLines(state, lines, n);
}

// Loading hands the list to the player at once: the window is hidden by the
// player, and cancel has nothing left to restore until it is shown again.
void OnLoad(HWND window, PlayListWindowState& state) {
  char name[kPlayListSlot] = {};
  char folder[kPlayListSlot];
  ListFolder(folder);
  OPENFILENAMEA dialog = DialogSetup(window, kListFileFilter, name, sizeof name, folder, kLoadFlags);
  if (!gOpenDialog(&dialog) || name[0] == '\0') return;
  ListFileText text;
  if (!ReadListFileText(name, &text)) {
    MessageBoxA(window, kOpenFailedText, kErrorCaption, MB_OK);
    return;
  }
  if (text.bytes.empty()) {
    ShowErrorBox(window, kEmptyFileText);
    return;
  }
  bool cut = false;
  if (!TakeListLines(*state.list, text, name, &cut)) {
    ShowErrorBox(window, kNotSupportedText);
    return;
  }
  if (cut) ShowErrorBox(window, kListCutText);
  if (HWND notify = state.list->NotifyWindow()) SendMessageA(notify, kMsgListEdited, 0, 0);
  RefreshLines(state);
  EnableCancel(state, false);
}

void OnSave(HWND window, PlayListWindowState& state) {
  char chosen[kPlayListSlot] = {};
  char folder[kPlayListSlot];
  ListFolder(folder);
  OPENFILENAMEA dialog = DialogSetup(window, kListFileFilter, chosen, sizeof chosen, folder, kSaveFlags);
  if (!gSaveDialog(&dialog) || chosen[0] == '\0') return;
  // A name that has no room for ".m3u" is refused, not cut.
  char name[kPlayListSlot];
  if (!ListFileNameFor(chosen, name, sizeof name) || !WriteEditsToListFile(*state.list, name)) {
    MessageBoxA(window, kOpenFailedText, kErrorCaption, MB_OK);
    return;
  }
  // The list file is saved; only its link to the disc is lost.
  if (!RecordListForDisc(*state.list, name)) ShowErrorBox(window, kDiscListWriteFailedText);
}

// ---- messages ----

void OnCommand(HWND window, int id) {
  PlayListWindowState* state = StateOf(window);
  if (state == nullptr || state->list == nullptr) return;
  switch (id) {
    case kPlayListOk: OnOk(window, *state); return;
    case kPlayListCancel: OnCancel(*state); return;
    case kPlayListAdd: OnAdd(window, *state); return;
    case kPlayListDelete: OnDelete(*state); return;
    case kPlayListUp: OnMove(*state, true); return;
    case kPlayListDown: OnMove(*state, false); return;
    case kPlayListLoad: OnLoad(window, *state); return;
    case kPlayListSave: OnSave(window, *state); return;
    default: return;  // the list box's notifications
  }
}

void OnDropFiles(HWND window, HDROP drop) {
  PlayListWindowState* state = StateOf(window);
  if (state != nullptr && state->list != nullptr) {
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      // A name too long for the system is skipped, never cut into another
      // file's name.
      char path[kPlayListSlot];
      const size_t length = DroppedFileName(drop, i, path, sizeof path);
      if (length == 0) continue;
      AddEdit(*state->list, path, length);
    }
    RefreshLines(*state);
  }
  DragFinish(drop);
}

// The list hands itself over right after creating the window, and asks for
// a fresh copy of its entries every time before the window is shown.
void OnAttach(HWND window, PlayList* list) {
  PlayListWindowState* state = StateOf(window);
  if (state == nullptr) return;
  if (list == nullptr || list != state->madeFor) return;
  state->list = list;
  list->CopyEntriesToEdits(false);
  RefreshLines(*state);
}

void OnReload(HWND window) {
  PlayListWindowState* state = StateOf(window);
  if (state == nullptr || state->list == nullptr) return;
  SendMessageA(state->listBox, LB_RESETCONTENT, 0, 0);
  state->list->CopyEntriesToEdits(false);
  RefreshLines(*state);
}

void OnShowWindow(HWND window, bool shown) {
  PlayListWindowState* state = StateOf(window);
  if (shown && state != nullptr) EnableCancel(*state, true);
}

LRESULT OnCreate(HWND window, const CREATESTRUCTA* cs) {
  auto* state = new (std::nothrow) PlayListWindowState;
  if (state == nullptr) return -1;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  MarkSkinnedWindow(window);
  state->madeFor = static_cast<PlayList*>(cs->lpCreateParams);
  int cancelKeys = 0;
  for (const PlayListKeyPlace& key : kPlayListKeys) {
    HWND button = SkinDibButton(
        CreateDibButton(cs->hInstance, window, key.id, key.name, key.x, key.y, key.width, key.height));
    if (key.id == kPlayListCancel && cancelKeys < 2) state->cancelKeys[cancelKeys++] = button;
  }
  const PlayListBoxPlace& box = kPlayListBoxPlace;
  state->listBox = CreateSkinChild(WS_EX_CLIENTEDGE, "LISTBOX", "ListBox",
                                   WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VSCROLL |
                                       WS_TABSTOP | LBS_EXTENDEDSEL | LBS_HASSTRINGS,
                                   box.x, box.y, box.width, box.height, window, kPlayListBox, cs->hInstance);
  return state->listBox != nullptr ? 0 : -1;
}

void OnDestroy(HWND window) {
  UnmarkSkinnedWindow(window);
  delete StateOf(window);
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
}

void OnPaint(HWND window) {
  SkinPaint paint(window);
  PaintResourceBitmap(paint.dc, gInstance, MAKEINTRESOURCEA(kPlayListFace), 0, 0, kPlayListWidth,
                      kPlayListHeight);
}

LRESULT CALLBACK PlayListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate(window, reinterpret_cast<CREATESTRUCTA*>(lParam));
    case WM_DESTROY: OnDestroy(window); return 0;
    case WM_PAINT: OnPaint(window); return 0;
    case WM_COMMAND: OnCommand(window, LOWORD(wParam)); return 0;
    case WM_DROPFILES: OnDropFiles(window, reinterpret_cast<HDROP>(wParam)); return 0;
    case WM_CLOSE: OnCommand(window, kPlayListCancel); return 0;
    case WM_SHOWWINDOW: OnShowWindow(window, wParam != 0); return 0;
    case WM_LBUTTONDOWN: StartWindowMove(window); return 0;
    case WM_QUERYNEWPALETTE: return RealizeSkinPaletteForWindow(window);
    case WM_DPICHANGED: FollowDpiChange(window, wParam, lParam); return 0;
    case kMsgListAttach: OnAttach(window, reinterpret_cast<PlayList*>(lParam)); return 0;
    case kMsgListReload: OnReload(window); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

WindowClass gPlayListClass = {kPlayListClass, PlayListProc, 0, nullptr,
                              static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH))};

// Every player's list gets its window here: a hidden pop-up centred on the
// screen, owned by the window it disables while shown.
HWND CreatePlayListWindow(PlayList* list, HWND owner) {
  if (!IsWindowClassRegistered(gPlayListClass)) return nullptr;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - Scaled(kPlayListWidth)) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - Scaled(kPlayListHeight)) / 2;
  return CreateWindowExA(WS_EX_ACCEPTFILES, kPlayListClass, kPlayListTitle, WS_POPUP | WS_BORDER | WS_SYSMENU,
                         x, y, Scaled(kPlayListWidth), Scaled(kPlayListHeight), owner, nullptr, gInstance, list);
}

}  // namespace

bool InstallPlayListWindow(HINSTANCE instance, ListFolderReader listFolder) {
  if (!IsWindowClassRegistered(gPlayListClass) && !RegisterWindowClass(gPlayListClass, instance)) {
    return false;
  }
  gInstance = instance;
  gListFolder = listFolder;
  SetListWindowCreator(CreatePlayListWindow);
  return true;
}

void SetPlayListFileDialogs(FileDialogFunction open, FileDialogFunction save) {
  gOpenDialog = open != nullptr ? open : GetOpenFileNameA;
  gSaveDialog = save != nullptr ? save : GetSaveFileNameA;
}
