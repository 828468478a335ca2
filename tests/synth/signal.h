// Measurements on rendered audio for the tests: pitch by autocorrelation,
// onsets from a millisecond envelope, levels, and the best alignment of
// two renders.
#pragma once

#include <cstddef>
#include <vector>

namespace cx::synth::test {

// The fundamental of a steady stretch, in Hz (0 when nothing periodic).
double PitchHz(const float* samples, size_t count, int rate);
// Root mean square over [from, to) frames.
double Rms(const std::vector<float>& samples, size_t from, size_t to);
// Times (seconds) where the 1 ms envelope reaches `threshold` and is more
// than three times what it was 3 ms before, at least `refractoryMs` apart.
std::vector<double> Onsets(const std::vector<float>& samples, int rate, float threshold, int refractoryMs);
// The normalised correlation of a and b over `count` frames from aStart,
// b shifted by whatever lag within maxLag agrees best.
double AlignedCorrelation(const std::vector<float>& a, size_t aStart, const std::vector<float>& b,
                          size_t bStart, size_t count, int maxLag);

}  // namespace cx::synth::test
