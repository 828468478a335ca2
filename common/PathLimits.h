// How much room a path takes. Narrow paths are UTF-8 (the programs declare
// it as their code page), and the system opens names of up to 259 UTF-16
// units: each unit takes at most three bytes, so 259 units and the NUL fit
// in kPathCapacity bytes. Whether a path is too long for the system is
// decided by its UTF-16 length, never by its byte count.
#pragma once

#include <cstddef>

constexpr size_t kMaxPathUnits = 259;
constexpr size_t kPathCapacity = kMaxPathUnits * 3 + 1;
