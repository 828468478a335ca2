// The HELP key: the help file in the help viewer, else the compiled guide
// in the HTML help viewer, else the guide in the browser; a box when none
// of them opens, so the key never does nothing.
#include <windows.h>
#include <shellapi.h>

#include "common/ErrorBox.h"
#include "common/PathLimits.h"
#include "shell/MainPanel.h"
#include "shell/Settings.h"

namespace {

// HtmlHelpA's command numbers (htmlhelp.h): show the default topic, close
// every help window of this process.
constexpr UINT kHhDisplayTopic = 0x0000;
constexpr UINT kHhCloseAll = 0x0012;
using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

// The viewer is loaded on first use and stays for the program's life: its
// windows run on this thread and need its code until they are gone.
HtmlHelpFunction gHtmlHelp = nullptr;
bool gHtmlHelpTried = false;

HtmlHelpFunction HtmlHelpEntry() {
  if (!gHtmlHelpTried) {
    gHtmlHelpTried = true;
    if (HMODULE viewer = LoadLibraryA("hhctrl.ocx")) {
      gHtmlHelp = reinterpret_cast<HtmlHelpFunction>(reinterpret_cast<void*>(GetProcAddress(viewer, "HtmlHelpA")));
    }
  }
  return gHtmlHelp;
}

// The viewer as its own program, where the library would not show it.
bool StartHelpProgram(const char* path) {
  char command[kPathCapacity * 2 + 16];
  wsprintfA(command, "hh.exe \"%s\"", path);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

bool OpenWithSystemViewer(HWND panel, const char* path, HelpDocument document) {
  switch (document) {
    case HelpDocument::kHelpFile:
      return WinHelpA(panel, path, HELP_FINDER, 0) != FALSE;
    case HelpDocument::kCompiledHelp: {
      HtmlHelpFunction htmlHelp = HtmlHelpEntry();
      if (htmlHelp != nullptr && htmlHelp(panel, path, kHhDisplayTopic, 0) != nullptr) return true;
      return StartHelpProgram(path);
    }
    case HelpDocument::kGuide:
      return reinterpret_cast<INT_PTR>(ShellExecuteA(panel, "open", path, nullptr, nullptr, SW_SHOWNORMAL)) > 32;
  }
  return false;
}

HelpOpener gHelpOpener = OpenWithSystemViewer;

bool FileExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// `folder`\`name` into `path`, when it fits and the file is there.
bool FileIn(const char* folder, const char* name, char* path) {
  if (folder[0] == '\0' || lstrlenA(folder) + 1 + lstrlenA(name) >= static_cast<int>(kPathCapacity)) return false;
  lstrcpyA(path, folder);
  lstrcatA(path, "\\");
  lstrcatA(path, name);
  return FileExists(path);
}

bool ProgramFolder(char* folder) {
  const DWORD n = GetModuleFileNameA(nullptr, folder, kPathCapacity);
  if (n == 0 || n >= kPathCapacity) return false;
  char* slash = folder + n;
  while (slash > folder && *slash != '\\') --slash;
  *slash = '\0';
  return true;
}

}  // namespace

void SetHelpOpener(HelpOpener opener) { gHelpOpener = opener != nullptr ? opener : OpenWithSystemViewer; }

// The help file lives in the program's folder, or failing that in the
// current folder. The compiled guide and the HTML guide come from the
// folder the settings name, else from the folder this program runs from.
// Each is tried only when it is there, and the next when its viewer fails.
void OpenHelp(HWND panel) {
  char appFolder[kPathCapacity + 16] = "";
  if (ReadSettingText("Application Path", appFolder, kPathCapacity)) {
    char hlp[kPathCapacity];
    if (FileIn(appFolder, kHelpFileName, hlp) && gHelpOpener(panel, hlp, HelpDocument::kHelpFile)) return;
    if (FileExists(kHelpFileName) && gHelpOpener(panel, kHelpFileName, HelpDocument::kHelpFile)) return;
  }
  char ownFolder[kPathCapacity] = "";
  if (!ProgramFolder(ownFolder)) ownFolder[0] = '\0';
  static const struct {
    const char* name;
    HelpDocument document;
  } kDocuments[] = {{kCompiledHelpFileName, HelpDocument::kCompiledHelp},
                    {kGuideFileName, HelpDocument::kGuide}};
  // Installed and run from the same folder: that folder once.
  const bool sameFolder = lstrcmpiA(appFolder, ownFolder) == 0;
  for (const auto& d : kDocuments) {
    char path[kPathCapacity];
    if (FileIn(appFolder, d.name, path) && gHelpOpener(panel, path, d.document)) return;
    if (!sameFolder && FileIn(ownFolder, d.name, path) && gHelpOpener(panel, path, d.document)) return;
  }
  ShowErrorBox(panel, kHelpFailedText);
}

void CloseHelpWindows() {
  if (gHtmlHelp != nullptr) gHtmlHelp(nullptr, nullptr, kHhCloseAll, 0);
}
