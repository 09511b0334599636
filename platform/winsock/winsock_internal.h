// What Windows Sockets offers the rest of the layer and its test build.
#pragma once

#include <windows.h>

namespace layer::winsock {

// Successful WSAStartup calls not yet cleaned up.
int startupCount();

// Grants this version to every WSAStartup whatever it asks (0: negotiate),
// to stand in for a socket library of another version.
void grantVersion(WORD version);

}  // namespace layer::winsock
