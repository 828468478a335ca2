#include "tests/synth/signal.h"

#include <algorithm>
#include <cmath>

namespace cx::synth::test {

double PitchHz(const float* x, size_t n, int rate) {
  const int minLag = rate / 2500, maxLag = std::min<int>(rate / 40, static_cast<int>(n / 2));
  std::vector<double> r(maxLag + 2, 0.0);
  double energy = 0;
  for (size_t i = 0; i < n; ++i) energy += double(x[i]) * x[i];
  if (energy <= 0) return 0;
  for (int lag = minLag; lag <= maxLag + 1; ++lag) {
    double s = 0;
    for (size_t i = 0; i + lag < n; ++i) s += double(x[i]) * x[i + lag];
    r[lag] = s / (n - lag) * n / energy;
  }
  int best = minLag;
  for (int lag = minLag; lag <= maxLag; ++lag) {
    if (r[lag] > r[best]) best = lag;
  }
  if (r[best] < 0.3) return 0;
  // The shortest lag that correlates nearly as well is the period; longer
  // ones are its multiples.
  for (int lag = minLag + 1; lag < best; ++lag) {
    if (r[lag] >= 0.9 * r[best] && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
      best = lag;
      break;
    }
  }
  const double a = r[best - 1], b = r[best], c = r[best + 1];
  const double denom = a - 2 * b + c;
  const double shift = denom != 0 ? 0.5 * (a - c) / denom : 0;
  return rate / (best + shift);
}

double Rms(const std::vector<float>& x, size_t from, size_t to) {
  to = std::min(to, x.size());
  if (from >= to) return 0;
  double s = 0;
  for (size_t i = from; i < to; ++i) s += double(x[i]) * x[i];
  return std::sqrt(s / (to - from));
}

std::vector<double> Onsets(const std::vector<float>& x, int rate, float threshold, int refractoryMs) {
  const size_t window = rate / 1000;
  std::vector<double> levels;
  for (size_t w = 0; (w + 1) * window <= x.size(); ++w) levels.push_back(Rms(x, w * window, (w + 1) * window));
  std::vector<double> out;
  long last = -refractoryMs;
  for (size_t w = 0; w < levels.size(); ++w) {
    const double before = w >= 3 ? levels[w - 3] : 0;
    if (levels[w] >= threshold && levels[w] > 3 * before && static_cast<long>(w) - last >= refractoryMs) {
      out.push_back(double(w * window) / rate);
      last = static_cast<long>(w);
    }
  }
  return out;
}

double AlignedCorrelation(const std::vector<float>& a, size_t aStart, const std::vector<float>& b,
                          size_t bStart, size_t count, int maxLag) {
  double best = -1;
  for (int lag = -maxLag; lag <= maxLag; ++lag) {
    if (static_cast<long>(bStart) + lag < 0) continue;
    const size_t bs = bStart + lag;
    if (aStart + count > a.size() || bs + count > b.size()) continue;
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < count; ++i) {
      ab += double(a[aStart + i]) * b[bs + i];
      aa += double(a[aStart + i]) * a[aStart + i];
      bb += double(b[bs + i]) * b[bs + i];
    }
    if (aa > 0 && bb > 0) best = std::max(best, ab / std::sqrt(aa * bb));
  }
  return best;
}

}  // namespace cx::synth::test
