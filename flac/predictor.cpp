#include "flac/predictor.h"

namespace cx::flac {

namespace {

using LpcLoop = void (*)(int32_t*, uint32_t, const int32_t*, int);

const LpcLoop kLpc32[13] = {nullptr,    &Lpc32<1>, &Lpc32<2>, &Lpc32<3>,  &Lpc32<4>,  &Lpc32<5>, &Lpc32<6>,
                            &Lpc32<7>, &Lpc32<8>, &Lpc32<9>, &Lpc32<10>, &Lpc32<11>, &Lpc32<12>};
const LpcLoop kLpc64[13] = {nullptr,    &Lpc64<1>, &Lpc64<2>, &Lpc64<3>,  &Lpc64<4>,  &Lpc64<5>, &Lpc64<6>,
                            &Lpc64<7>, &Lpc64<8>, &Lpc64<9>, &Lpc64<10>, &Lpc64<11>, &Lpc64<12>};

int CeilLog2(int v) {
  int bits = 0;
  while ((1 << bits) < v) ++bits;
  return bits;
}

}  // namespace

void RestoreLpc(int32_t* s, uint32_t n, int order, const int32_t* coefs, int shift, int width, int precision) {
  const bool narrow = width + precision + CeilLog2(order) <= 32;
  if (order <= 12) {
    (narrow ? kLpc32 : kLpc64)[order](s, n, coefs, shift);
  } else {
    // The long orders are rare (only with explicit encoder settings): one
    // loop of runtime length serves them.
    Lpc64Any(s, n, order, coefs, shift);
  }
}

}  // namespace cx::flac
