// What the CD tests share: a "disc" of track files on the test prefix's
// CD-ROM drive X: (the folder build/cdrom-x, see tools/wine-cdrom), and the
// choice of the CD audio MCI driver, which the prefix reads from system.ini
// [mci] cdaudio: Wine's own driver, or the project's fake driver for tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

constexpr int kDiscDrive = 'X' - 'A';

// Writes Track01.cda .. TrackNN.cda (plus any extra files) to the disc
// folder and removes them again.
class TestDisc {
 public:
  explicit TestDisc(int tracks);
  ~TestDisc();
  TestDisc(const TestDisc&) = delete;
  TestDisc& operator=(const TestDisc&) = delete;
  // Adds a file to the disc, removed with the disc; returns its X: path.
  std::string Add(const std::string& name, const std::string& bytes);
  static std::string Folder();

 private:
  std::vector<std::string> names_;
};

// Puts a CD audio driver in the prefix's system.ini for the life of the
// object and Wine's own driver back afterwards.
class CdAudioDriver {
 public:
  // "fake" for the test driver next to the test program, else a driver file name.
  explicit CdAudioDriver(const char* driver);
  ~CdAudioDriver();
  CdAudioDriver(const CdAudioDriver&) = delete;
  CdAudioDriver& operator=(const CdAudioDriver&) = delete;
  // The fake driver only: the disc it reports ("speed:seconds,..."), and the
  // commands it saw since the last call.
  void Script(const char* script);
  std::string Log();

 private:
  HMODULE fake_ = nullptr;
};

constexpr char kWineCdDriver[] = "mcicda.dll";
std::string FakeCdDriverPath();
