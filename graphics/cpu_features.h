// Whether to run the loops that are built twice, once for any x86-64 and
// once with AVX2: where the processor has AVX2 and nothing turned them off.
#pragma once

// Tests turn the AVX2 loops off to check the portable ones on the same
// processor.
inline bool &avx2LoopsAllowed() {
  static bool allowed = true;
  return allowed;
}

// The AVX2 loops use gcc's vector builtins, which clang does not have;
// clang builds (the fuzz tree) take the portable loops.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define CORVANE_X86_AVX2 1

inline bool useAvx2() {
  static const bool hasAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return hasAvx2 && avx2LoopsAllowed();
}
#endif
