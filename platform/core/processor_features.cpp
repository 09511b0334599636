#include "core/processor_features.h"

namespace layer {
namespace {

bool featuresHidden = false, avx512Hidden = false;

struct Features {
  bool ssse3 = false, sse41 = false, sse42 = false, avx = false, avx2 = false, avx512 = false;
};

// __builtin_cpu_supports also checks that the system saves the AVX
// registers, as the platform's answer does.
Features detect() {
  Features f;
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  f.ssse3 = __builtin_cpu_supports("ssse3");
  f.sse41 = __builtin_cpu_supports("sse4.1");
  f.sse42 = __builtin_cpu_supports("sse4.2");
  f.avx = __builtin_cpu_supports("avx");
  f.avx2 = __builtin_cpu_supports("avx2");
  // The platform's AVX-512 answer names only the foundation, but code that
  // asks for it uses the byte and word instructions (BW) and the shorter
  // vectors (VL) too. Every processor with F has both but the discontinued
  // Xeon Phi, so the answer asks for all three rather than let it fault.
  f.avx512 =
      __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
#endif
  return f;
}

}  // namespace

bool processorFeaturePresent(DWORD feature) {
  static const Features features = detect();
  if (featuresHidden) return false;
  switch (feature) {
    case PF_SSSE3_INSTRUCTIONS_AVAILABLE:
      return features.ssse3;
    case PF_SSE4_1_INSTRUCTIONS_AVAILABLE:
      return features.sse41;
    case PF_SSE4_2_INSTRUCTIONS_AVAILABLE:
      return features.sse42;
    case PF_AVX_INSTRUCTIONS_AVAILABLE:
      return features.avx;
    case PF_AVX2_INSTRUCTIONS_AVAILABLE:
      return features.avx2;
    case PF_AVX512F_INSTRUCTIONS_AVAILABLE:
      return features.avx512 && !avx512Hidden;
    default:
      return false;
  }
}

void setProcessorFeaturesHidden(bool hidden) { featuresHidden = hidden; }
void setAvx512Hidden(bool hidden) { avx512Hidden = hidden; }

}  // namespace layer
