// The shipped programs carry the build's one version number in their
// version resources, and an application manifest.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/WinTestSupport.h"

namespace {

struct VersionInfo {
  bool found = false;
  std::string fixed;  // from the numeric block, "1.2.3"
  std::string productVersion, fileVersion, productName;
};

std::string Text(const std::vector<char>& block, const char* name) {
  char* value = nullptr;
  UINT size = 0;
  std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &size) || size == 0) {
    return "";
  }
  return std::string(value, size - 1);
}

VersionInfo ReadVersion(const std::string& path) {
  VersionInfo info;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return info;
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return info;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize)) return info;
  info.found = true;
  info.fixed = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
               std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." + std::to_string(HIWORD(fixed->dwFileVersionLS));
  info.productVersion = Text(block, "ProductVersion");
  info.fileVersion = Text(block, "FileVersion");
  info.productName = Text(block, "ProductName");
  return info;
}

bool HasManifest(const std::string& path) {
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return false;
  bool found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)) != nullptr;
  FreeLibrary(module);
  return found;
}

TEST(VersionInfo, EveryProgramCarriesTheBuildsVersionAndAManifest) {
  std::vector<std::string> programs = {"Cantorix.exe", "cxdecode.exe"};
  if (GetFileAttributesA((ProgramFolder() + "\\Handset.exe").c_str()) != INVALID_FILE_ATTRIBUTES) {
    programs.push_back("Handset.exe");
  }
  for (const std::string& name : programs) {
    SCOPED_TRACE(name);
    const std::string path = ProgramFolder() + "\\" + name;
    VersionInfo info = ReadVersion(path);
    ASSERT_TRUE(info.found);
    EXPECT_EQ(info.fixed, CX_VERSION);
    EXPECT_EQ(info.productVersion, CX_VERSION);
    EXPECT_EQ(info.fileVersion, CX_VERSION);
    EXPECT_EQ(info.productName, "Cantorix");
    EXPECT_TRUE(HasManifest(path));
  }
}

}  // namespace
