// Windows Sockets: start-up and clean-up only, with the library's reference
// count and version negotiation. Programs start the library from static
// constructors, before main, so the state is built on first use and never
// destroyed.
#include <winsock.h>

#include <cstring>

#include "core/trace.h"
#include "winsock/winsock_internal.h"

namespace layer {
namespace {

constexpr WORD kHighestVersion = 0x0202;  // 2.2
constexpr WORD kLowestVersion = 0x0101;   // 1.1

struct WinsockState {
  int startups = 0;  // successful WSAStartup calls not yet cleaned up
  int lastError = 0;
  WORD grantedVersion = 0;  // 0: negotiate
};

void resetWinsock();

// Still there for clean-ups that run during static destruction.
WinsockState &state() { return lazyState<WinsockState>(resetWinsock); }

void resetWinsock() { state() = WinsockState{}; }

// Versions compare major first (low byte), then minor (high byte).
int versionOrder(WORD version) { return LOBYTE(version) * 256 + HIBYTE(version); }

void describe(LPWSADATA data, WORD version) {
  std::memset(data, 0, sizeof(WSADATA));
  data->wVersion = version;
  data->wHighVersion = kHighestVersion;
  std::strcpy(data->szDescription, "WinSock 2.0");
  std::strcpy(data->szSystemStatus, "Running");
  // Version 1 programs read the socket and datagram limits; version 2 ones must not.
  if (LOBYTE(version) == 1) {
    data->iMaxSockets = 32767;
    data->iMaxUdpDg = 65467;
  }
}

}  // namespace

namespace winsock {
int startupCount() { return state().startups; }
void grantVersion(WORD version) { state().grantedVersion = version; }
}  // namespace winsock

}  // namespace layer

extern "C" int WINAPI WSAStartup(WORD versionRequested, LPWSADATA data) {
  if (auto fault = layer::traceCall("WSAStartup", [&] { return layer::format("0x%04X", versionRequested); }))
    return *fault;
  layer::WinsockState &s = layer::state();
  if (!data) return WSAEFAULT;
  int asked = layer::versionOrder(versionRequested);
  if (asked < layer::versionOrder(layer::kLowestVersion)) {
    layer::describe(data, layer::kHighestVersion);
    return WSAVERNOTSUPPORTED;
  }
  WORD granted = asked > layer::versionOrder(layer::kHighestVersion) ? layer::kHighestVersion : versionRequested;
  if (s.grantedVersion != 0) granted = s.grantedVersion;
  layer::describe(data, granted);
  ++s.startups;
  return 0;
}

extern "C" int WINAPI WSACleanup(void) {
  layer::WinsockState &s = layer::state();
  if (auto fault = layer::traceCall("WSACleanup")) {
    s.lastError = *fault;
    return SOCKET_ERROR;
  }
  if (s.startups == 0) {
    s.lastError = WSANOTINITIALISED;
    return SOCKET_ERROR;
  }
  --s.startups;
  return 0;
}

extern "C" int WINAPI WSAGetLastError(void) {
  if (auto fault = layer::traceCall("WSAGetLastError")) return *fault;
  return layer::state().lastError;
}
