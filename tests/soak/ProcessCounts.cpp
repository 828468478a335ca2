#include "tests/soak/ProcessCounts.h"

#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using QuerySystemInformationFn = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
using QueryInformationProcessFn = NTSTATUS(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

constexpr ULONG kSystemProcessInformation = 5;
constexpr ULONG kProcessBasicInformation = 0;
constexpr size_t kPebGdiSharedHandleTable = 0xF8;  // 64-bit PEB
constexpr size_t kGdiHandleCount = 0x10000;

void* NtProc(const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name));
}

long HandlesFromProcessList(DWORD processId) {
  auto query = reinterpret_cast<QuerySystemInformationFn>(NtProc("NtQuerySystemInformation"));
  if (query == nullptr) return -1;
  std::vector<uint8_t> buffer(1 << 20);
  for (int tries = 0; tries < 4; ++tries, buffer.resize(buffer.size() * 2)) {
    ULONG got = 0;
    if (query(kSystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &got) != 0) {
      continue;
    }
    size_t at = 0;
    for (;;) {
      const auto* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + at);
      if (static_cast<DWORD>(reinterpret_cast<uintptr_t>(entry->UniqueProcessId)) == processId) {
        return static_cast<long>(entry->HandleCount);
      }
      if (entry->NextEntryOffset == 0) return -1;
      at += entry->NextEntryOffset;
    }
  }
  return -1;
}

// One entry of the GDI handle table, as the system lays it out.
struct GdiHandleEntry {
  uint64_t object;
  uint16_t ownerProcess;
  uint16_t lock;
  uint16_t unique;
  uint8_t type;  // 0 for a free entry
  uint8_t flags;
  uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24, "GDI handle table entries have 24 bytes");

long GdiObjectsFromHandleTable(HANDLE process, std::string* byType) {
  auto query = reinterpret_cast<QueryInformationProcessFn>(NtProc("NtQueryInformationProcess"));
  if (query == nullptr) return -1;
  PROCESS_BASIC_INFORMATION basic{};
  ULONG got = 0;
  if (query(process, kProcessBasicInformation, &basic, sizeof basic, &got) != 0) return -1;
  uint64_t table = 0;
  SIZE_T read = 0;
  const auto* tableField = reinterpret_cast<const uint8_t*>(basic.PebBaseAddress) + kPebGdiSharedHandleTable;
  if (!ReadProcessMemory(process, tableField, &table, sizeof table, &read) || table == 0) return -1;
  std::vector<GdiHandleEntry> entries(kGdiHandleCount);
  if (!ReadProcessMemory(process, reinterpret_cast<const void*>(table), entries.data(),
                         entries.size() * sizeof(GdiHandleEntry), &read)) {
    return -1;
  }
  long count = 0;
  long perType[256] = {};
  for (const GdiHandleEntry& e : entries) {
    count += e.type != 0;
    ++perType[e.type];
  }
  for (int type = 1; type < 256; ++type) {
    if (perType[type] == 0) continue;
    char text[32];
    std::snprintf(text, sizeof text, "%s%02x:%ld", byType->empty() ? "" : " ", type, perType[type]);
    *byType += text;
  }
  return count;
}

struct WindowCount {
  DWORD processId;
  long count;
};

BOOL CALLBACK CountChild(HWND, LPARAM lParam) {
  ++reinterpret_cast<WindowCount*>(lParam)->count;
  return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM lParam) {
  auto* counting = reinterpret_cast<WindowCount*>(lParam);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != counting->processId) return TRUE;
  ++counting->count;
  EnumChildWindows(window, CountChild, lParam);  // every descendant
  return TRUE;
}

long WindowsOf(DWORD processId) {
  WindowCount counting{processId, 0};
  EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&counting));
  return counting.count;
}

}  // namespace

ProcessCounts ReadProcessCounts(HANDLE process, DWORD processId) {
  ProcessCounts counts;
  DWORD handles = 0;
  if (GetProcessHandleCount(process, &handles) && handles > 0) {
    counts.handles = static_cast<long>(handles);
    counts.sources += "handles: GetProcessHandleCount; ";
  } else {
    counts.handles = HandlesFromProcessList(processId);
    counts.sources += "handles: system process list; ";
  }
  if (DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS)) {
    counts.gdiObjects = static_cast<long>(gdi);
    counts.sources += "GDI: GetGuiResources; ";
  } else {
    counts.gdiObjects = GdiObjectsFromHandleTable(process, &counts.gdiByType);
    counts.sources += "GDI: the process's GDI handle table; ";
  }
  if (DWORD user = GetGuiResources(process, GR_USEROBJECTS)) {
    counts.userObjects = static_cast<long>(user);
    counts.sources += "USER: GetGuiResources";
  } else {
    counts.userObjects = WindowsOf(processId);
    counts.sources += "USER: the process's windows";
  }
  return counts;
}
