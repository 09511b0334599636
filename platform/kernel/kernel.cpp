// The kernel functions the system calls: debugger output, the module
// handle, the thread's last error, time and the processor's features.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "core/processor_features.h"
#include "core/trace.h"

namespace {

// The program's own module: a fixed handle, the platform's usual image base.
HINSTANCE const kProgramModule = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));

thread_local DWORD lastError = ERROR_SUCCESS;

std::chrono::steady_clock::time_point processStart() {
  static const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  return start;
}

// Started with static initialisation so that the tick count runs from the
// beginning of the process, not from its first use.
[[maybe_unused]] const auto startTouched = processStart();

}  // namespace

extern "C" {

void WINAPI OutputDebugStringA(LPCSTR text) {
  layer::traceCall("OutputDebugStringA", [&] { return layer::format("\"%s\"", text ? text : ""); });
  if (!text) text = "";
  layer::traceDebugOutput(text);
  if (!std::getenv("CORVANE_QUIET_DEBUG")) {
    std::fputs(text, stderr);
    std::fflush(stderr);
  }
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
  if (auto fault = layer::traceCall("GetModuleHandleA",
                                    [&] { return moduleName ? layer::format("\"%s\"", moduleName) : "NULL"; })) {
    SetLastError(static_cast<DWORD>(*fault));
    return nullptr;
  }
  if (moduleName == nullptr) return kProgramModule;
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

// The last error cannot fail; the calls are counted, not stored one by one.
DWORD WINAPI GetLastError(void) {
  layer::traceHotCall("GetLastError");
  return lastError;
}

void WINAPI SetLastError(DWORD error) {
  layer::traceHotCall("SetLastError");
  lastError = error;
}

void WINAPI Sleep(DWORD milliseconds) {
  layer::traceCall("Sleep", [&] { return layer::format("%u", static_cast<unsigned>(milliseconds)); });
  if (milliseconds == 0)
    std::this_thread::yield();
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Milliseconds since the process started, wrapping at 2^32 as on the platform.
DWORD WINAPI GetTickCount(void) {
  layer::traceHotCall("GetTickCount");
  auto elapsed = std::chrono::steady_clock::now() - processStart();
  return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

// Asked before each vector loop, so counted rather than stored.
BOOL WINAPI IsProcessorFeaturePresent(DWORD feature) {
  if (layer::traceHotCall("IsProcessorFeaturePresent")) return FALSE;
  return layer::processorFeaturePresent(feature) ? TRUE : FALSE;
}

}  // extern "C"

namespace {

void resetKernel() { lastError = ERROR_SUCCESS; }

[[maybe_unused]] const bool registered = (layer::registerReset(resetKernel), true);

}  // namespace
