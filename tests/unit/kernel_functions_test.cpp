// The kernel functions: debugger output, the module handle, the thread's
// last error, the tick count and the processor's features.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <thread>

#include "layer_test.h"

namespace {

class Kernel : public ::testing::Test {
 protected:
  void SetUp() override {
    layer::reset();
    unsetenv("CORVANE_QUIET_DEBUG");
  }
  void TearDown() override { unsetenv("CORVANE_QUIET_DEBUG"); }
};

TEST_F(Kernel, DebugOutputIsRecordedAndWrittenToStandardError) {
  testing::internal::CaptureStderr();
  OutputDebugStringA("pitch: 1920\n");
  OutputDebugStringA(nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "pitch: 1920\n");
  ASSERT_EQ(layer::debugOutput().size(), 2u);
  EXPECT_EQ(layer::debugOutput()[0], "pitch: 1920\n");
  EXPECT_EQ(layer::debugOutput()[1], "");
}

TEST_F(Kernel, QuietDebugKeepsStandardErrorClearButStillRecords) {
  setenv("CORVANE_QUIET_DEBUG", "1", 1);
  testing::internal::CaptureStderr();
  OutputDebugStringA("handle is null\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  ASSERT_EQ(layer::debugOutput().size(), 1u);
  EXPECT_EQ(layer::debugOutput()[0], "handle is null\n");
}

TEST_F(Kernel, ModuleHandleOfTheProgramOnly) {
  HMODULE self = GetModuleHandleA(nullptr);
  EXPECT_NE(self, nullptr);
  EXPECT_EQ(GetModuleHandleA(nullptr), self);
  SetLastError(0);
  EXPECT_EQ(GetModuleHandleA("kernel32.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(GetLastError(), 126u);
}

TEST_F(Kernel, InjectedFaultFailsTheModuleHandleWithItsCode) {
  layer::injectFault("GetModuleHandleA", E_FAIL);
  EXPECT_EQ(GetModuleHandleA(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(E_FAIL));
  EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
}

TEST_F(Kernel, LastErrorBelongsToEachThreadAndResets) {
  SetLastError(5);
  DWORD seenByOther = 99, afterOwnSet = 0;
  std::thread other([&] {
    seenByOther = GetLastError();
    SetLastError(7);
    afterOwnSet = GetLastError();
  });
  other.join();
  EXPECT_EQ(seenByOther, 0u);
  EXPECT_EQ(afterOwnSet, 7u);
  EXPECT_EQ(GetLastError(), 5u);
  layer::reset();
  EXPECT_EQ(GetLastError(), 0u);
}

TEST_F(Kernel, TickCountAdvancesAcrossSleep) {
  DWORD before = GetTickCount();
  Sleep(30);
  DWORD elapsed = GetTickCount() - before;
  EXPECT_GE(elapsed, 29u);
  EXPECT_EQ(layer::countCalls("Sleep"), 1u);
}

// The answer agrees with the compiler's own view of the processor, unknown
// codes and hidden features are FALSE, and a fault answers FALSE too.
TEST_F(Kernel, ProcessorFeaturesAsTheProcessorHasThemUnlessHidden) {
  __builtin_cpu_init();
  EXPECT_EQ(IsProcessorFeaturePresent(PF_SSSE3_INSTRUCTIONS_AVAILABLE), __builtin_cpu_supports("ssse3") ? TRUE : FALSE);
  EXPECT_EQ(IsProcessorFeaturePresent(PF_AVX2_INSTRUCTIONS_AVAILABLE), __builtin_cpu_supports("avx2") ? TRUE : FALSE);
  EXPECT_EQ(IsProcessorFeaturePresent(1000), FALSE);
  EXPECT_EQ(layer::countCalls("IsProcessorFeaturePresent"), 3u);
  layer::hideProcessorFeatures(true);
  EXPECT_EQ(IsProcessorFeaturePresent(PF_SSSE3_INSTRUCTIONS_AVAILABLE), FALSE);
  layer::hideProcessorFeatures(false);
  layer::injectFault("IsProcessorFeaturePresent", E_FAIL);
  EXPECT_EQ(IsProcessorFeaturePresent(PF_SSSE3_INSTRUCTIONS_AVAILABLE), FALSE);
}

}  // namespace
