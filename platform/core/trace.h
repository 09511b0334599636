// The hook every platform entry point passes through first. In the program
// people run it is nothing: the calls below compile away, arguments and all.
// In the layer's test build (CORVANE_LAYER_TESTING) it records the call and
// applies injected faults (platform/testing/call_record.cpp).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <type_traits>

#include "core/format.h"
#include "core/reset.h"

namespace layer {

#ifdef CORVANE_LAYER_TESTING
namespace testing {
std::optional<HRESULT> enterCall(const char *name, std::string arguments);
std::optional<HRESULT> enterHotCall(const char *name);
void noteCall(const char *name, std::string arguments);
void noteDebugOutput(const char *text);
void noteMessageBox(HWND owner, const char *text, const char *caption, UINT type);
}  // namespace testing
#endif

// Arguments are a string or a function making one: the function runs only
// where calls are recorded, so building the text costs nothing elsewhere.
template <class Arguments>
std::string argumentText(Arguments &&arguments) {
  if constexpr (std::is_invocable_v<Arguments>)
    return arguments();
  else
    return std::string(arguments);
}

// Records the call and, if a fault is armed for this operation, consumes it
// and returns its result code. Names are the platform's own, with the
// interface for methods ("IDirectDrawSurface::Lock"). The arguments are a
// short human-readable text; objects appear by their label ("primary",
// "backbuffer", "offscreen#3", "window#1", "dc#5").
template <class Arguments = const char *>
inline std::optional<HRESULT> traceCall([[maybe_unused]] const char *name,
                                        [[maybe_unused]] Arguments &&arguments = "") {
#ifdef CORVANE_LAYER_TESTING
  return testing::enterCall(name, argumentText(arguments));
#else
  return std::nullopt;
#endif
}

// For calls made thousands of times a frame (SetPixel, GetPixel): counted,
// and faults honoured, but not stored one by one. The name must be a string
// literal: its address finds the counter.
inline std::optional<HRESULT> traceHotCall([[maybe_unused]] const char *name) {
#ifdef CORVANE_LAYER_TESTING
  return testing::enterHotCall(name);
#else
  return std::nullopt;
#endif
}

// Records without consulting faults.
template <class Arguments = const char *>
inline void traceNote([[maybe_unused]] const char *name, [[maybe_unused]] Arguments &&arguments = "") {
#ifdef CORVANE_LAYER_TESTING
  testing::noteCall(name, argumentText(arguments));
#endif
}

// What OutputDebugStringA and MessageBoxA leave for tests to read.
inline void traceDebugOutput([[maybe_unused]] const char *text) {
#ifdef CORVANE_LAYER_TESTING
  testing::noteDebugOutput(text);
#endif
}
inline void traceMessageBox([[maybe_unused]] HWND owner, [[maybe_unused]] const char *text,
                            [[maybe_unused]] const char *caption, [[maybe_unused]] UINT type) {
#ifdef CORVANE_LAYER_TESTING
  testing::noteMessageBox(owner, text, caption, type);
#endif
}

}  // namespace layer
