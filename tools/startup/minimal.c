/* The yardstick for Cantorix's start-up: the least a Win32 program does to
 * put a window on the screen (register a class, create, show, paint, run
 * the loop), built with the same MinGW tool chain. */
#include <windows.h>

static LRESULT CALLBACK MinimalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showMode) {
  (void)previous;
  (void)commandLine;
  WNDCLASSA wc = {0};
  wc.lpfnWndProc = MinimalProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(NULL, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  wc.lpszClassName = "CXMinimalWindow";
  if (!RegisterClassA(&wc)) return 0;
  HWND window = CreateWindowExA(0, "CXMinimalWindow", "Minimal", WS_POPUP | WS_SYSMENU, 100, 100, 462, 61,
                                NULL, NULL, instance, NULL);
  if (window == NULL) return 0;
  ShowWindow(window, showMode);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageA(&msg, NULL, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return (int)msg.wParam;
}
