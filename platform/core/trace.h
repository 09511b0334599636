// The layer's record of platform calls and its fault injection, as used from
// inside the layer. Every platform entry point that a program calls goes
// through traceCall(), which records it and says whether an injected fault
// should make it fail.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace layer {

// Records the call and, if a fault is armed for this operation, consumes it
// and returns its result code. Names are the platform's own, with the
// interface for methods ("IDirectDrawSurface::Lock"). The arguments are a
// short human-readable string; objects appear by their label ("primary",
// "backbuffer", "offscreen#3", "window#1", "dc#5").
std::optional<HRESULT> traceCall(const char *name, const std::string &arguments = {});

// For calls made thousands of times a frame (SetPixel, GetPixel): counted,
// and faults honoured, but not stored one by one. The name must be a string
// literal: its address finds the counter.
std::optional<HRESULT> traceHotCall(const char *name);

// Records without consulting faults.
void traceNote(const char *name, const std::string &arguments = {});

// Subsystems register a function that returns their process-wide state to
// its start; layer::reset() runs them all.
void registerReset(void (*resetFunction)());

// What OutputDebugStringA and MessageBoxA leave for tests to read.
void recordDebugOutput(const char *text);
void recordMessageBox(HWND owner, const char *text, const char *caption, UINT type);

// printf into a std::string, for building argument strings.
std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace layer
