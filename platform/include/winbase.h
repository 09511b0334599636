/* Kernel functions of the platform that the system calls. */
#pragma once

#include "windef.h"

#ifdef __cplusplus
extern "C" {
#endif

void WINAPI OutputDebugStringA(LPCSTR text);
HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName);
DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD error);
void WINAPI Sleep(DWORD milliseconds);
DWORD WINAPI GetTickCount(void);

/* The program's GUI entry point; on Linux the layer's main() calls it. */
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);

#ifdef __cplusplus
}
#endif
