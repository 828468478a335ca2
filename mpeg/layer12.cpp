#include "mpeg/layer12.h"

#include <cmath>

#include "mpeg/standard_tables.h"

namespace cx::mpeg {
namespace {

// 2^(1 - i/3) for i = 0..62; index 63 means "nothing sent".
struct ScaleFactorTable {
  double value[64];
  ScaleFactorTable() {
    for (int i = 0; i < 63; ++i) value[i] = std::pow(2.0, 1.0 - i / 3.0);
    value[63] = 1e-20;
  }
};

const double* ScaleFactors() {
  static const ScaleFactorTable table;
  return table.value;
}

// Layer II sample coding for a number of quantisation steps: bits per code,
// whether three samples share one code, and the exponent k with 2^k >= steps.
struct StepCoding {
  int bits;
  bool grouped;
  int k;
};

StepCoding CodingFor(uint32_t steps) {
  switch (steps) {
    case 3: return {5, true, 2};
    case 5: return {7, true, 3};
    case 9: return {10, true, 4};
    default: break;
  }
  int bits = 0;
  while ((1u << bits) < steps + 1 && bits < 16) ++bits;
  return {bits, false, bits};
}

// Requantisation constants: C = 2^k / steps scales the code range onto
// (-1, 1); D centres it (one half for the grouped codes, 2^(1-k) otherwise).
double StepC(uint32_t steps, int k) { return static_cast<double>(1u << k) / steps; }
double StepD(const StepCoding& coding) {
  return coding.grouped ? 0.5 : 1.0 / static_cast<double>(1u << (coding.k - 1));
}

// Two's-complement fraction with the top bit inverted, as both layers code
// their samples: code / 2^(k-1) - 1.
double SignedFraction(uint32_t code, int k) {
  return static_cast<double>(code) / static_cast<double>(1u << (k - 1)) - 1.0;
}

}  // namespace

void Layer12Decoder::DecodeLayer1(BitReader& in, const FrameHeader& h, SubbandSynthesis& synth,
                                  int16_t* pcm) {
  const double* sf = ScaleFactors();
  const int channels = h.channels;
  const int bound = h.jointBound < 32 ? h.jointBound : 32;
  for (int sb = 0; sb < 32; ++sb) {
    if (sb < bound) {
      for (int ch = 0; ch < channels; ++ch) allocation_[ch][sb] = in.GetBits(4);
    } else {
      uint32_t a = in.GetBits(4);
      for (int ch = 0; ch < channels; ++ch) allocation_[ch][sb] = a;
    }
  }
  for (int sb = 0; sb < 32; ++sb) {
    for (int ch = 0; ch < channels; ++ch) {
      scaleIndex_[ch][0][sb] = allocation_[ch][sb] ? in.GetBits(6) : 63;
    }
  }
  for (int slot = 0; slot < 12; ++slot) {
    for (int sb = 0; sb < 32; ++sb) {
      int shared = sb >= bound;
      for (int ch = 0; ch < channels; ++ch) {
        uint32_t a = allocation_[ch][sb];
        if (shared && ch > 0) {
          codes_[ch][0][sb] = codes_[0][0][sb];
        } else {
          codes_[ch][0][sb] = a ? in.GetBits(static_cast<int>(a) + 1) : 0;
        }
        float value = 0.0f;
        if (a) {
          int nb = static_cast<int>(a) + 1;
          double scale = static_cast<double>(1u << nb) / ((1u << nb) - 1);
          double fraction = scale * (SignedFraction(codes_[ch][0][sb], nb) + 1.0 / (1u << (nb - 1)));
          value = static_cast<float>(fraction * sf[scaleIndex_[ch][0][sb] & 63]);
        }
        fractions_[ch][slot][sb] = value;
      }
    }
  }
  for (int ch = 0; ch < channels; ++ch) {
    synth.SynthesizeSlots(fractions_[ch][0], 12, ch, pcm + ch, 32 * channels, channels);
  }
}

void Layer12Decoder::DecodeLayer2(BitReader& in, const FrameHeader& h, SubbandSynthesis& synth,
                                  int16_t* pcm) {
  const double* sf = ScaleFactors();
  const Layer2AllocTable& table = kLayer2AllocTables[h.layer2Table >= 0 && h.layer2Table < 5 ? h.layer2Table : 0];
  const int channels = h.channels;
  const int limit = table.subbandLimit;
  const int bound = h.jointBound < limit ? h.jointBound : limit;

  for (int sb = 0; sb < 32; ++sb) {
    int bits = sb < limit ? table.rows[sb].codeBits : 0;
    if (sb >= limit) {
      for (int ch = 0; ch < channels; ++ch) allocation_[ch][sb] = 0;
    } else if (sb < bound) {
      for (int ch = 0; ch < channels; ++ch) allocation_[ch][sb] = in.GetBits(bits);
    } else {
      uint32_t a = in.GetBits(bits);
      for (int ch = 0; ch < channels; ++ch) allocation_[ch][sb] = a;
    }
  }
  uint32_t select[2][32];
  for (int sb = 0; sb < limit; ++sb) {
    for (int ch = 0; ch < channels; ++ch) select[ch][sb] = allocation_[ch][sb] ? in.GetBits(2) : 0;
  }
  // Scale factors per third of the frame, as the selection information
  // says which thirds share one.
  for (int sb = 0; sb < 32; ++sb) {
    for (int ch = 0; ch < channels; ++ch) {
      uint32_t& s0 = scaleIndex_[ch][0][sb];
      uint32_t& s1 = scaleIndex_[ch][1][sb];
      uint32_t& s2 = scaleIndex_[ch][2][sb];
      if (sb >= limit || allocation_[ch][sb] == 0) {
        s0 = s1 = s2 = 63;
        continue;
      }
      switch (select[ch][sb]) {
        case 0:
          s0 = in.GetBits(6);
          s1 = in.GetBits(6);
          s2 = in.GetBits(6);
          break;
        case 1:
          s0 = s1 = in.GetBits(6);
          s2 = in.GetBits(6);
          break;
        case 2:
          s0 = s1 = s2 = in.GetBits(6);
          break;
        default:
          s0 = in.GetBits(6);
          s1 = s2 = in.GetBits(6);
          break;
      }
    }
  }

  // Per subband and channel: the coding, and per third the factors of
  // value = code * scale[0] + scale[1], that is C (code / 2^(k-1) - 1 + D)
  // times the scale factor.
  StepCoding coding[2][32];
  uint32_t stepsOf[2][32];
  double factor[2][3][32][2];
  for (int sb = 0; sb < 32; ++sb) {
    for (int ch = 0; ch < channels; ++ch) {
      const uint32_t a = allocation_[ch][sb];
      const uint32_t steps = (sb < limit && a < 16) ? table.rows[sb].steps[a] : 0;
      stepsOf[ch][sb] = steps;
      if (steps == 0) continue;
      coding[ch][sb] = CodingFor(steps);
      const double c = StepC(steps, coding[ch][sb].k);
      const double d = StepD(coding[ch][sb]);
      const double unit = 1.0 / static_cast<double>(1u << (coding[ch][sb].k - 1));
      for (int third = 0; third < 3; ++third) {
        const double scale = sf[scaleIndex_[ch][third][sb] & 63];
        factor[ch][third][sb][0] = c * unit * scale;
        factor[ch][third][sb][1] = c * (d - 1.0) * scale;
      }
    }
  }

  for (int granule = 0; granule < 12; ++granule) {
    const int third = granule / 4;
    for (int sb = 0; sb < 32; ++sb) {
      for (int ch = 0; ch < channels; ++ch) {
        const uint32_t steps = stepsOf[ch][sb];
        float* slot[3] = {&fractions_[ch][3 * granule][sb], &fractions_[ch][3 * granule + 1][sb],
                          &fractions_[ch][3 * granule + 2][sb]};
        if (steps == 0) {
          *slot[0] = *slot[1] = *slot[2] = 0.0f;
          continue;
        }
        const StepCoding& code = coding[ch][sb];
        uint32_t* codes[3] = {&codes_[ch][0][sb], &codes_[ch][1][sb], &codes_[ch][2][sb]};
        if (sb >= bound && ch > 0) {
          for (int i = 0; i < 3; ++i) *codes[i] = codes_[0][i][sb];
        } else if (code.grouped) {
          // Three samples in one code, base 3, 5 or 9 (constant divisors).
          const uint32_t v = in.GetBits(code.bits);
          switch (steps) {
            case 3: *codes[0] = v % 3, *codes[1] = v / 3 % 3, *codes[2] = v / 9 % 3; break;
            case 5: *codes[0] = v % 5, *codes[1] = v / 5 % 5, *codes[2] = v / 25 % 5; break;
            default: *codes[0] = v % 9, *codes[1] = v / 9 % 9, *codes[2] = v / 81 % 9; break;
          }
        } else {
          for (int i = 0; i < 3; ++i) *codes[i] = in.GetBits(code.bits);
        }
        const double* f = factor[ch][third][sb];
        for (int i = 0; i < 3; ++i) {
          *slot[i] = static_cast<float>(static_cast<double>(*codes[i]) * f[0] + f[1]);
        }
      }
    }
  }
  for (int ch = 0; ch < channels; ++ch) {
    synth.SynthesizeSlots(fractions_[ch][0], 36, ch, pcm + ch, 32 * channels, channels);
  }
}

}  // namespace cx::mpeg
