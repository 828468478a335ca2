/* Times program starts under Wine: runs each program given in turn, ROUNDS
 * times, and measures from just before CreateProcess until a top-level
 * window of the program's class is visible; then closes the window and
 * waits for the process to end before the next start. Prints one line per
 * start: "<label> <milliseconds>".
 *
 *   startwatch ROUNDS LABEL CLASS COMMAND [LABEL CLASS COMMAND ...]
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

typedef struct {
  const char* label;
  const char* windowClass;
  const char* command;
} Program;

static double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
  return (double)(to.QuadPart - from.QuadPart) * 1000.0 / (double)frequency.QuadPart;
}

/* One start; a negative result when the window did not appear in time. */
static double TimeOneStart(const Program* program, LARGE_INTEGER frequency) {
  char command[2 * MAX_PATH];
  lstrcpynA(command, program->command, sizeof command);
  STARTUPINFOA si = {sizeof si};
  PROCESS_INFORMATION pi;
  LARGE_INTEGER start, now;
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) return -1.0;
  double elapsed = -1.0;
  HWND window = NULL;
  for (;;) {
    window = FindWindowA(program->windowClass, NULL);
    QueryPerformanceCounter(&now);
    if (window != NULL && IsWindowVisible(window)) {
      elapsed = Milliseconds(start, now, frequency);
      break;
    }
    if (Milliseconds(start, now, frequency) > 30000.0) break;
    if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) break;
  }
  if (window != NULL) PostMessageA(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 15000) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 5000);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return elapsed;
}

int main(int argc, char** argv) {
  if (argc < 5 || (argc - 2) % 3 != 0) {
    fprintf(stderr, "usage: startwatch ROUNDS LABEL CLASS COMMAND [LABEL CLASS COMMAND ...]\n");
    return 2;
  }
  const int rounds = atoi(argv[1]);
  const int count = (argc - 2) / 3;
  Program programs[8];
  if (rounds < 1 || count > 8) return 2;
  for (int i = 0; i < count; ++i) {
    programs[i].label = argv[2 + 3 * i];
    programs[i].windowClass = argv[3 + 3 * i];
    programs[i].command = argv[4 + 3 * i];
  }
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  /* One unmeasured start each: the files are in the cache, the DLLs mapped. */
  for (int i = 0; i < count; ++i) TimeOneStart(&programs[i], frequency);
  int failed = 0;
  for (int r = 0; r < rounds; ++r) {
    for (int i = 0; i < count; ++i) {
      const double ms = TimeOneStart(&programs[i], frequency);
      if (ms < 0) {
        printf("%s failed\n", programs[i].label);
        failed = 1;
      } else {
        printf("%s %.1f\n", programs[i].label, ms);
      }
      fflush(stdout);
    }
  }
  return failed;
}
