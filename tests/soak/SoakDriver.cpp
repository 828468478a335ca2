// The player soak's second process (started by tools/soak/run-soak under
// tools/wine-run --play): starts Cantorix.exe and, for each list of the
// plan, hands the list over and lets it play to its end untouched (the
// listen pass, whose device openings the script checks against the files),
// then sends a stream of commands through the registered command message
// (the storm). Cantorix's handle, GDI and USER counts are read from here
// after the first file, when the first list has played, and at the end.
// Error boxes for damaged files are answered with OK.
//   soak_driver PLAN REPORT
// PLAN lines: "capture <path of the capture file>", "list <m3u path> <entries>",
// "storm <commands per list>".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/CommandCodes.h"
#include "tests/soak/ProcessCounts.h"
#include "tests/support/WinTestSupport.h"

namespace {

UINT gCommandMessage = 0;

struct Plan {
  std::string capture;
  std::vector<std::pair<std::string, int>> lists;
  int stormCommands = 200;
};

bool ReadPlan(const char* path, Plan* plan) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "capture") {
      std::getline(words >> std::ws, plan->capture);
    } else if (key == "list") {
      std::string path;
      int entries = 0;
      words >> path >> entries;
      plan->lists.emplace_back(path, entries);
    } else if (key == "storm") {
      words >> plan->stormCommands;
    }
  }
  return !plan->capture.empty() && !plan->lists.empty();
}

// The capture files written so far: ALSA's file sink starts a new one for
// every opening of the device.
int CaptureParts(const std::string& capture) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((capture + "*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do ++n;
  while (FindNextFileA(find, &found));
  FindClose(find);
  return n;
}

class Soak {
 public:
  Soak(const Plan& plan, FILE* report) : plan_(plan), report_(report) {}

  bool Start() {
    cantorix_.reset(new ChildProcess(ProgramFolder() + "\\Cantorix.exe"));
    if (!cantorix_->started()) return Fail("Cantorix.exe did not start");
    boxes_.reset(new MessageBoxWatcher("Cantorix Error Reporting", cantorix_->id()));
    panel_ = WaitForShownPanel(30000);
    if (panel_ == nullptr) return Fail("no main panel");
    process_ = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, cantorix_->id());
    if (process_ == nullptr) return Fail("OpenProcess failed");
    WarmUp();
    return true;
  }

  bool Run() {
    for (size_t k = 0; k < plan_.lists.size(); ++k) {
      if (!Listen(k)) return false;
      Storm(k);
    }
    // The end state matches the one measured after the first list: wave
    // player shown and stopped, nothing else up.
    if (!Settle()) return false;
    Counts("final");
    const bool alive = WaitForSingleObject(process_, 0) == WAIT_TIMEOUT && IsWindow(panel_);
    std::fprintf(report_, "alive %d\nboxes %zu\n", alive ? 1 : 0, boxes_->Texts().size());
    return alive || Fail("Cantorix is gone");
  }

  long Close() {
    if (process_ == nullptr) return -1;
    PostMessageA(panel_, WM_CLOSE, 0, 0);
    const long code = cantorix_->Wait(30000);
    std::fprintf(report_, "exit_code %ld\n", code);
    CloseHandle(process_);
    return code;
  }

 private:
  bool Fail(const char* what) {
    std::fprintf(report_, "failed %s\n", what);
    return false;
  }

  void Post(uint16_t route, uint16_t code, LPARAM lParam = 0) {
    PostMessageA(panel_, gCommandMessage, MakeCommand(route, code), lParam);
  }
  HWND Wave() const { return FindWindowExA(panel_, nullptr, "CXWavePlayerClass", nullptr); }
  uint32_t Status() { return poller_.Query(panel_, kRouteWave); }
  std::string Title() const {
    char text[128] = {};
    GetWindowTextA(GetDlgItem(Wave(), 2038), text, sizeof text);
    return text;
  }
  int Image(int id) const { return static_cast<int>(GetWindowLongPtrA(GetDlgItem(Wave(), id), GWLP_USERDATA)); }
  int Track() const { return (Image(2032) - 193) * 10 + Image(2033) - 193; }
  bool Stopped() {
    const uint32_t s = Status();
    return s != 0xFFFFFFFFu && (s & kStatusWaveShown) && !(s & (kStatusStop | kStatusPause)) &&
           Title().empty();
  }

  void Counts(const char* label) {
    const ProcessCounts c = ReadProcessCounts(process_, cantorix_->id());
    std::fprintf(report_, "counts %s %ld %ld %ld\n", label, c.handles, c.gdiObjects, c.userObjects);
    if (!c.gdiByType.empty()) std::fprintf(report_, "gdi_types %s %s\n", label, c.gdiByType.c_str());
    if (!sourcesWritten_) std::fprintf(report_, "sources %s\n", c.sources.c_str());
    sourcesWritten_ = true;
    std::fflush(report_);
  }

  // Each playlist window keeps the GDI objects it makes the first time it is
  // shown for as long as it exists; showing each once before the first
  // count keeps that one-time cost out of the comparison.
  void WarmUp() {
    for (uint16_t route : {kRouteCd, kRouteMidi, kRouteWave}) {
      Post(route, kCmdShowPlaylist);
      PumpFor(500);
      ClosePlaylistWindows();
      PumpUntil([&] { return IsWindowEnabled(panel_) != FALSE; }, 5000);
    }
  }

  static void ClosePlaylistWindows() {
    for (HWND w : FindTopLevelWindows("PlayListClass")) {
      if (IsWindowVisible(w)) PostMessageA(w, WM_CLOSE, 0, 0);
    }
  }

  // Wave player shown, stopped, playlist window closed, random and repeat
  // off, so a list plays once through in its own order.
  bool Settle() {
    ClosePlaylistWindows();
    Post(kRouteMainPanel, kCmdOpenAllPlayers);
    Post(kRouteWave, kCmdStop);
    if (!PumpUntil([&] { return Wave() != nullptr && IsWindowEnabled(panel_) && Stopped(); }, 30000)) {
      return Fail("the wave player did not come to a stop");
    }
    if (Image(2042) == 450) Post(kRouteWave, kCmdRandom);
    if (Image(2040) == 444) Post(kRouteWave, kCmdRepeat);
    const bool plain = PumpUntil([&] { return Image(2042) != 450 && Image(2040) != 444; }, 5000);
    PumpFor(1000);  // the device closes behind the stop
    return plain || Fail("random or repeat stayed on");
  }

  bool Listen(size_t k) {
    if (!Settle()) return false;
    const int partsBefore = CaptureParts(plan_.capture);
    const DWORD start = GetTickCount();
    ATOM atom = GlobalAddAtomA(plan_.lists[k].first.c_str());
    SendMessageA(panel_, gCommandMessage, MakeCommand(kRouteMainPanel, kCmdOpenFile), atom);
    GlobalDeleteAtom(atom);
    if (!PumpUntil([&] { return !Title().empty(); }, 60000)) return Fail("the list did not start");
    if (k == 0) {
      // The first file has been heard once the second one plays.
      if (!PumpUntil([&] { return Track() >= 2 || Stopped(); }, 120000)) return Fail("no second file");
      Counts("first_file");
    }
    // Through the wave output device an entry that cannot be opened stops
    // the list without a message (a box comes only when PLAY starts at such
    // an entry); a listener then plays on from the entry after it.
    const int entries = plan_.lists[k].second;
    int last = 0, resumed = 0;
    for (;;) {
      auto stopped = [&] {
        if (const int t = Track(); t > 0) last = t;
        return Stopped();
      };
      if (!PumpUntil(stopped, 900000)) return Fail("the list did not play to its end");
      int candidate = last + 2;
      while (candidate <= entries) {
        Post(kRouteWave, kCmdPlayEntry, candidate);
        if (PumpUntil([&] { return Track() == candidate && !Stopped(); }, 5000)) break;
        ++candidate;
      }
      if (candidate > entries) break;
      last = candidate;
      ++resumed;
    }
    PumpFor(1500);  // Wine closes the device a little after the player
    std::fprintf(report_, "listen %zu %d %d %lu %d\n", k, partsBefore, CaptureParts(plan_.capture),
                 (GetTickCount() - start) / 1000, resumed);
    if (k == 0) Counts("first_list");
    return true;
  }

  // A deterministic stream of every kind of command, spaced as a user at a
  // remote might press keys, some in quick bursts.
  void Storm(size_t k) {
    uint32_t seed = 19u + static_cast<uint32_t>(k) * 7919u;
    auto next = [&seed](uint32_t n) {
      seed = seed * 1664525u + 1013904223u;
      return (seed >> 8) % n;
    };
    const int entries = plan_.lists[k].second;
    ATOM atom = GlobalAddAtomA(plan_.lists[k].first.c_str());
    SendMessageA(panel_, gCommandMessage, MakeCommand(kRouteMainPanel, kCmdOpenFile), atom);
    GlobalDeleteAtom(atom);
    const uint16_t players[] = {kRouteCd, kRouteMidi, kRouteWave};
    for (int i = 0; i < plan_.stormCommands; ++i) {
      switch (next(16)) {
        case 0: case 1: Post(kRouteWave, kCmdNext); break;
        case 2: Post(kRouteWave, kCmdPrevious); break;
        case 3: Post(kRouteWave, kCmdSkipForward); break;
        case 4: Post(kRouteWave, kCmdSkipBack); break;
        case 5: Post(kRouteWave, kCmdPause); break;
        case 6: Post(kRouteWave, kCmdStop); break;
        case 7: case 8: Post(kRouteWave, kCmdPlay); break;
        case 9: Post(kRouteWave, kCmdPlayEntry, 1 + next(entries + 2)); break;
        case 10: Post(kRouteWave, kCmdRandom); break;
        case 11: Post(kRouteWave, next(2) ? kCmdApply3D : kCmdRead3D, 0x3F); break;
        case 12: Post(players[next(3)], next(2) ? kCmdOpenPlayer : kCmdClosePlayer); break;
        case 13: Post(kRouteMainPanel, next(2) ? kCmdOpenAllPlayers : kCmdCloseAllPlayers); break;
        case 14: Post(kRouteWave, next(2) ? kCmdFastForwardBegin : kCmdRewindBegin);
                 PumpFor(next(300));
                 Post(kRouteWave, kCmdFastForwardEnd);
                 Post(kRouteWave, kCmdRewindEnd);
                 break;
        case 15:
          // The playlist window disables the panel while it is up.
          Post(kRoutePlaylist, kCmdShowPlaylist);
          PumpFor(200 + next(300));
          ClosePlaylistWindows();
          break;
      }
      if (next(8) == 0) Status();
      PumpFor(next(5) == 0 ? 5 : 40 + next(160));
    }
    std::fprintf(report_, "storm %zu %d\n", k, plan_.stormCommands);
    if (Settle()) Counts(("after_storm_" + std::to_string(k + 1)).c_str());
  }

  const Plan& plan_;
  FILE* report_;
  std::unique_ptr<ChildProcess> cantorix_;
  std::unique_ptr<MessageBoxWatcher> boxes_;
  StatusPoller poller_;
  HWND panel_ = nullptr;
  HANDLE process_ = nullptr;
  bool sourcesWritten_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  Plan plan;
  if (argc != 3 || !ReadPlan(argv[1], &plan)) {
    std::fprintf(stderr, "usage: soak_driver PLAN REPORT\n");
    return 2;
  }
  FILE* report = std::fopen(argv[2], "w");
  if (report == nullptr) return 2;
  gCommandMessage = RegisterWindowMessageA(kCommandMessageName);
  bool ok = false;
  long exitCode = -1;
  {
    Soak soak(plan, report);
    ok = soak.Start() && soak.Run();
    exitCode = soak.Close();
  }
  std::fclose(report);
  return ok && exitCode == 0 ? 0 : 1;
}
