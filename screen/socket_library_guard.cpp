// The socket library's start-up and clean-up. Only version 1.1 is kept: a
// library that grants another version is released again at once. A refused
// start-up is reported and asks the program to quit with exit code 0.
#include "screen/socket_library_guard.h"

#include <windows.h>
#include <winsock.h>

void socketStartup() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
    MessageBoxA(nullptr, "Error Couldnt Init Winsock!", "Aborting", MB_ICONINFORMATION | MB_OK);
    PostQuitMessage(0);
    return;
  }
  if (LOBYTE(data.wVersion) != 1 || HIBYTE(data.wVersion) != LOBYTE(data.wVersion)) WSACleanup();
}

void socketCleanup() { WSACleanup(); }
