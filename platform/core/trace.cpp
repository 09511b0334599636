// The call record, fault injection and reset registry behind layer_test.h.
#include "core/trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "layer_test.h"

namespace layer {
namespace {

struct Fault {
  HRESULT result;
  int count;
  int skip;
};

// Kept bounded so that long runs stay flat in memory: past the limit the
// older half of the record is dropped (counts are kept whole).
constexpr size_t kRecordLimit = 200000;

struct TraceState {
  std::vector<Call> calls;
  std::map<std::string, size_t, std::less<>> counts;
  std::map<std::string, Fault, std::less<>> faults;
  std::vector<std::string> debugOutput;
  std::vector<MessageBoxRecord> messageBoxes;
  std::vector<void (*)()> resets;
  bool environmentRead = false;
  // Hot calls come in runs of one name, a string literal: its counter is
  // kept by the name's address. Cleared whenever `counts` is.
  const char *hotName = nullptr;
  size_t *hotCount = nullptr;
};

TraceState &state() {
  static TraceState *s = new TraceState;  // never destroyed: used during static destruction
  return *s;
}

void parseEnvironmentFaults() {
  TraceState &s = state();
  if (s.environmentRead) return;
  s.environmentRead = true;
  const char *armed = std::getenv("CORVANE_FAULTS");
  if (!armed) return;
  std::string all(armed);
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find(';', start);
    if (end == std::string::npos) end = all.size();
    std::string item = all.substr(start, end - start);
    start = end + 1;
    size_t eq = item.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    std::string name = item.substr(0, eq);
    const char *p = item.c_str() + eq + 1;
    char *rest = nullptr;
    HRESULT result = static_cast<HRESULT>(std::strtoul(p, &rest, 0));
    int count = 1, skip = 0;
    while (rest && *rest) {
      if (*rest == '*') count = static_cast<int>(std::strtol(rest + 1, &rest, 10));
      else if (*rest == '@') skip = static_cast<int>(std::strtol(rest + 1, &rest, 10));
      else break;
    }
    s.faults[name] = Fault{result, count, skip};
  }
}

void store(const char *name, const std::string &arguments) {
  TraceState &s = state();
  if (s.calls.size() >= kRecordLimit) s.calls.erase(s.calls.begin(), s.calls.begin() + kRecordLimit / 2);
  s.calls.push_back(Call{name, arguments});
}

std::optional<HRESULT> takeFault(const char *name) {
  TraceState &s = state();
  if (s.faults.empty()) return std::nullopt;
  auto it = s.faults.find(std::string_view(name));
  if (it == s.faults.end()) return std::nullopt;
  Fault &f = it->second;
  if (f.skip > 0) {
    --f.skip;
    return std::nullopt;
  }
  HRESULT result = f.result;
  if (--f.count <= 0) s.faults.erase(it);
  return result;
}

}  // namespace

std::optional<HRESULT> traceCall(const char *name, const std::string &arguments) {
  parseEnvironmentFaults();
  TraceState &s = state();
  auto it = s.counts.find(std::string_view(name));
  if (it == s.counts.end()) s.counts.emplace(name, 1);
  else ++it->second;
  store(name, arguments);
  return takeFault(name);
}

std::optional<HRESULT> traceHotCall(const char *name) {
  parseEnvironmentFaults();
  TraceState &s = state();
  if (name == s.hotName) {
    ++*s.hotCount;
  } else {
    auto it = s.counts.find(std::string_view(name));
    if (it == s.counts.end()) it = s.counts.emplace(name, 0).first;
    ++it->second;
    s.hotName = name;
    s.hotCount = &it->second;
  }
  return takeFault(name);
}

void traceNote(const char *name, const std::string &arguments) {
  TraceState &s = state();
  ++s.counts[name];
  store(name, arguments);
}

void registerReset(void (*resetFunction)()) {
  for (auto f : state().resets)
    if (f == resetFunction) return;
  state().resets.push_back(resetFunction);
}

void recordDebugOutput(const char *text) {
  TraceState &s = state();
  if (s.debugOutput.size() >= kRecordLimit) s.debugOutput.erase(s.debugOutput.begin(), s.debugOutput.begin() + kRecordLimit / 2);
  s.debugOutput.emplace_back(text ? text : "");
}

void recordMessageBox(HWND owner, const char *text, const char *caption, UINT type) {
  state().messageBoxes.push_back(
      MessageBoxRecord{owner, text ? text : "", caption ? caption : "(null)", caption == nullptr, type});
}

std::string format(const char *fmt, ...) {
  char small[256];
  va_list args;
  va_start(args, fmt);
  int n = std::vsnprintf(small, sizeof small, fmt, args);
  va_end(args);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string big(static_cast<size_t>(n), '\0');
  va_start(args, fmt);
  std::vsnprintf(big.data(), big.size() + 1, fmt, args);
  va_end(args);
  return big;
}

// ---- the test API ----

void reset() {
  TraceState &s = state();
  for (auto f : s.resets) f();
  s.calls.clear();
  s.counts.clear();
  s.hotName = nullptr;
  s.faults.clear();
  s.debugOutput.clear();
  s.messageBoxes.clear();
}

const std::vector<Call> &calls() { return state().calls; }

void clearCalls() {
  state().calls.clear();
  state().counts.clear();
  state().hotName = nullptr;
}

std::vector<std::string> callTexts(const std::vector<std::string> &prefixes) {
  std::vector<std::string> out;
  for (const Call &c : state().calls) {
    bool keep = prefixes.empty();
    for (const std::string &p : prefixes)
      if (c.name.compare(0, p.size(), p) == 0) keep = true;
    if (keep) out.push_back(c.text());
  }
  return out;
}

size_t countCalls(const std::string &name) {
  auto it = state().counts.find(name);
  return it == state().counts.end() ? 0 : it->second;
}

void injectFault(const std::string &name, HRESULT result, int count, int skip) {
  parseEnvironmentFaults();
  state().faults[name] = Fault{result, count, skip};
}

void clearFaults() { state().faults.clear(); }

const std::vector<std::string> &debugOutput() { return state().debugOutput; }
const std::vector<MessageBoxRecord> &messageBoxes() { return state().messageBoxes; }

}  // namespace layer
