// The call record and fault injection behind every entry point of the
// layer's test build, armed also before main through the environment
// (CORVANE_FAULTS, and CORVANE_WSA_REFUSE / CORVANE_WSA_GRANT for the socket
// library's start-up), and layer::reset().
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "core/trace.h"
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
  bool faultsRead = false;
  bool socketHooksRead = false;  // read again after each reset, as by a fresh process
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
      if (*rest == '*')
        count = static_cast<int>(std::strtol(rest + 1, &rest, 10));
      else if (*rest == '@')
        skip = static_cast<int>(std::strtol(rest + 1, &rest, 10));
      else
        break;
    }
    state().faults[name] = Fault{result, count, skip};
  }
}

// CORVANE_WSA_REFUSE=<error>[*count] and CORVANE_WSA_GRANT=<version>.
void parseEnvironmentSocketHooks() {
  if (const char *refuse = std::getenv("CORVANE_WSA_REFUSE")) {
    char *rest = nullptr;
    int error = static_cast<int>(std::strtol(refuse, &rest, 0));
    int count = 1;
    if (rest && *rest == '*') count = static_cast<int>(std::strtol(rest + 1, nullptr, 10));
    refuseSocketStartup(error, count);
  }
  if (const char *grant = std::getenv("CORVANE_WSA_GRANT"))
    grantSocketVersion(static_cast<WORD>(std::strtoul(grant, nullptr, 0)));
}

void readEnvironment() {
  TraceState &s = state();
  if (!s.faultsRead) {
    s.faultsRead = true;
    parseEnvironmentFaults();
  }
  if (!s.socketHooksRead) {
    s.socketHooksRead = true;
    parseEnvironmentSocketHooks();
  }
}

void store(const char *name, std::string arguments) {
  TraceState &s = state();
  if (s.calls.size() >= kRecordLimit) s.calls.erase(s.calls.begin(), s.calls.begin() + kRecordLimit / 2);
  s.calls.push_back(Call{name, std::move(arguments)});
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

namespace testing {

std::optional<HRESULT> enterCall(const char *name, std::string arguments) {
  readEnvironment();
  TraceState &s = state();
  auto it = s.counts.find(std::string_view(name));
  if (it == s.counts.end())
    s.counts.emplace(name, 1);
  else
    ++it->second;
  store(name, std::move(arguments));
  return takeFault(name);
}

std::optional<HRESULT> enterHotCall(const char *name) {
  readEnvironment();
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

void noteCall(const char *name, std::string arguments) {
  TraceState &s = state();
  ++s.counts[name];
  store(name, std::move(arguments));
}

void noteDebugOutput(const char *text) {
  TraceState &s = state();
  if (s.debugOutput.size() >= kRecordLimit)
    s.debugOutput.erase(s.debugOutput.begin(), s.debugOutput.begin() + kRecordLimit / 2);
  s.debugOutput.emplace_back(text ? text : "");
}

void noteMessageBox(HWND owner, const char *text, const char *caption, UINT type) {
  state().messageBoxes.push_back(
      MessageBoxRecord{owner, text ? text : "", caption ? caption : "(null)", caption == nullptr, type});
}

}  // namespace testing

// ---- the test API ----

void reset() {
  TraceState &s = state();
  runResets();
  s.calls.clear();
  s.counts.clear();
  s.hotName = nullptr;
  s.faults.clear();
  s.debugOutput.clear();
  s.messageBoxes.clear();
  s.socketHooksRead = false;
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
  readEnvironment();
  state().faults[name] = Fault{result, count, skip};
}

void clearFaults() { state().faults.clear(); }

// The socket library refusing to start is a fault of WSAStartup.
void refuseSocketStartup(int error, int count) {
  if (count > 0)
    state().faults["WSAStartup"] = Fault{error, count, 0};
  else
    state().faults.erase("WSAStartup");
}

const std::vector<std::string> &debugOutput() { return state().debugOutput; }
const std::vector<MessageBoxRecord> &messageBoxes() { return state().messageBoxes; }

}  // namespace layer
