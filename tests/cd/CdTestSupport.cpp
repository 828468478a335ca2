#include "tests/cd/CdTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/support/WinTestSupport.h"

namespace {

// The header the system's track files carry: RIFF "CDDA" with the track.
std::string TrackFileBytes(int track) {
  std::string bytes("RIFF\x24\0\0\0CDDAfmt \x18\0\0\0", 20);
  bytes.push_back(1);
  bytes.push_back(0);
  bytes.push_back(static_cast<char>(track));
  bytes.push_back(0);
  bytes.resize(44, '\0');
  return bytes;
}

void SetMciEntry(const std::string& entry, const std::string& driver) {
  WritePrivateProfileStringA("mci", entry.c_str(), driver.c_str(), "system.ini");
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, "system.ini");  // flush
}

}  // namespace

std::string TestDisc::Folder() {
  const char* build = std::getenv("CX_BINARY_DIR");  // .../build/windows
  std::string path = std::string("Z:") + (build != nullptr ? build : ".") + "/../cdrom-x";
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

TestDisc::TestDisc(int tracks) {
  for (int track = 1; track <= tracks; ++track) {
    char name[32];
    std::snprintf(name, sizeof name, "Track%02d.cda", track);
    Add(name, TrackFileBytes(track));
  }
}

TestDisc::~TestDisc() {
  for (const std::string& name : names_) DeleteFileA((Folder() + "\\" + name).c_str());
}

std::string TestDisc::Add(const std::string& name, const std::string& bytes) {
  WriteStringToFile(Folder() + "\\" + name, bytes);
  names_.push_back(name);
  return "X:\\" + name;
}

std::string FakeCdDriverPath() { return ProgramFolder() + "\\fakecdaudio.dll"; }
std::string FakeSequencerPath() { return ProgramFolder() + "\\fakesequencer.dll"; }

MciTestDriver::MciTestDriver(const char* entry, const std::string& driver, const char* restore)
    : entry_(entry), restore_(restore) {
  if (driver == FakeCdDriverPath() || driver == FakeSequencerPath()) fake_ = LoadLibraryA(driver.c_str());
  SetMciEntry(entry_, driver);
}

MciTestDriver::~MciTestDriver() {
  SetMciEntry(entry_, restore_);
  if (fake_ != nullptr) FreeLibrary(fake_);
}

CdAudioDriver::CdAudioDriver(const char* driver)
    : MciTestDriver("cdaudio", std::string(driver) == "fake" ? FakeCdDriverPath() : driver, kWineCdDriver) {}

FakeSequencer::FakeSequencer() : MciTestDriver("sequencer", FakeSequencerPath(), "mciseq.dll") {}

void MciTestDriver::Script(const char* script) {
  auto set = reinterpret_cast<void (*)(const char*)>(reinterpret_cast<void*>(GetProcAddress(fake_, "FakeCdScript")));
  if (set != nullptr) set(script);
}

std::string MciTestDriver::Log() {
  auto get = reinterpret_cast<int (*)(char*, int)>(reinterpret_cast<void*>(GetProcAddress(fake_, "FakeCdLog")));
  if (get == nullptr) return "";
  std::string log(8192, '\0');
  get(&log[0], static_cast<int>(log.size()));
  log.resize(std::strlen(log.c_str()));
  return log;
}
