// Every fixture decodes to within 1 LSB of the reference decoder's output
// (mpg123; ffmpeg for the intensity-stereo files), with a PSNR of at least
// 96 dB over the whole file, sample for sample, with every kernel set. References are untrimmed,
// except those of the fixtures named "-gapless".
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/mpeg/test_files.h"

namespace cx::mpeg::test {
namespace {

TEST(MpegAccuracy, EveryFixtureMatchesTheReferenceDecoder) {
  std::vector<Fixture> fixtures = LoadFixtures();
  ASSERT_GE(fixtures.size(), 20u) << "fixtures missing; the build makes them";
  Layer3Stats total;
  // Once with each kernel set that this build and processor have.
  const Kernels chosen = ActiveKernels();
  int sets = 0;
  for (Kernels kernels : {Kernels::kAvx2, Kernels::kSse2, Kernels::kPortable}) {
    if (!UseKernels(kernels)) continue;
    ++sets;
    std::printf("%s kernels\n%-28s %8s %9s %10s\n", KernelsName(kernels), "fixture", "max diff", "PSNR dB",
                "samples");
    for (const Fixture& f : fixtures) {
      SCOPED_TRACE(f.name + " (" + KernelsName(kernels) + ")");
      MpegStream stream;
      const std::string suffix = "-gapless";
      stream.SetGapless(f.name.size() > suffix.size() &&
                        f.name.compare(f.name.size() - suffix.size(), suffix.size(), suffix) == 0);
      ASSERT_TRUE(stream.OpenStream(f.path));
      std::vector<int16_t> pcm = DecodeAll(stream);
      std::vector<int16_t> ref = ReadPcm(f.reference);
      ASSERT_FALSE(ref.empty());
      EXPECT_EQ(pcm.size(), ref.size()) << "different length";
      Difference d = Compare(pcm, 0, ref, 0);
      std::printf("%-28s %8d %9.1f %10zu\n", f.name.c_str(), d.maxDiff, d.psnr, d.compared);
      EXPECT_LE(d.maxDiff, 1);
      EXPECT_GE(d.psnr, 96.0);
      const Layer3Stats& s = stream.layer3().stats();
      total.granules += s.granules;
      total.shortGranules += s.shortGranules;
      total.switchedGranules += s.switchedGranules;
      total.msGranules += s.msGranules;
      total.intensityGranules += s.intensityGranules;
    }
  }
  UseKernels(chosen);
#if defined(__x86_64__) && !defined(_WIN32)
  EXPECT_EQ(sets, KernelsAvailable(Kernels::kAvx2) ? 3 : 2);
#endif
  std::printf("Layer III granules: %llu, short %llu, start/stop %llu, M/S %llu, intensity %llu\n",
              static_cast<unsigned long long>(total.granules),
              static_cast<unsigned long long>(total.shortGranules),
              static_cast<unsigned long long>(total.switchedGranules),
              static_cast<unsigned long long>(total.msGranules),
              static_cast<unsigned long long>(total.intensityGranules));
  // The attacks in the fixtures' signal must have made the encoder switch
  // blocks, or the short-block paths went untested.
  EXPECT_GT(total.shortGranules, 0u);
  EXPECT_GT(total.switchedGranules, 0u);
  EXPECT_GT(total.msGranules, 0u);
  EXPECT_GT(total.intensityGranules, 0u);
}

}  // namespace
}  // namespace cx::mpeg::test
