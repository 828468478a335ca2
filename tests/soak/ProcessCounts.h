// Another process's handle, GDI object and USER object counts, read from
// outside it. The documented calls come first (GetProcessHandleCount,
// GetGuiResources); where they give nothing, as under Wine, the counts come
// from the system's process list (its handle count), the process's own GDI
// handle table (reached through its PEB) and its windows.
#pragma once

#include <windows.h>

#include <string>

struct ProcessCounts {
  long handles = -1;
  long gdiObjects = -1;
  long userObjects = -1;
  std::string sources;  // which way each count was read
  // GDI objects by the table's type byte ("05:40 0a:3 ..."), read from the
  // handle table, to tell which kind grew; empty when not read that way.
  std::string gdiByType;
};

// `process` needs PROCESS_QUERY_INFORMATION and PROCESS_VM_READ.
ProcessCounts ReadProcessCounts(HANDLE process, DWORD processId);
