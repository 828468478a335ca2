// libFuzzer harness for the disc list database's own parsing: the profile
// functions hand back key names and values; the input is a run of
// NUL-separated strings taken alternately as a key and as its value.
#include <cstdint>
#include <string>

#include "media/DiscRecords.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* p = reinterpret_cast<const char*>(data);
  const char* end = p + size;
  bool isKey = true;
  while (p < end) {
    const char* stop = p;
    while (stop < end && *stop != '\0') ++stop;
    const std::string text(p, stop);
    p = stop + 1;
    if (isKey) {
      for (const char* prefix : {"LIST", "SERIAL", "MEDIATYPE"}) {
        const long long record = RecordNumberOf(text, prefix);
        FUZZ_CHECK(record >= 0);
      }
    } else {
      FUZZ_CHECK(RecordCountOf(text) >= 0);
      uint32_t serial = 0;
      SerialOf(text, &serial);
      long long value = 0;
      if (ParseRecordDecimal(text, -5, 5, &value)) FUZZ_CHECK(value >= -5 && value <= 5);
    }
    isKey = !isKey;
  }
  return 0;
}
