// Starts the socket library (version 1.1) when constructed and cleans it up
// when destroyed. Meant for objects of static storage duration, so it runs
// before the program's main function and after it.
#pragma once

void socketStartup();
void socketCleanup();

class SocketLibraryGuard {
 public:
  SocketLibraryGuard() { socketStartup(); }
  ~SocketLibraryGuard() { socketCleanup(); }
  SocketLibraryGuard(const SocketLibraryGuard &) = delete;
  SocketLibraryGuard &operator=(const SocketLibraryGuard &) = delete;
};
