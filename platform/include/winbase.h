/* Kernel functions of the platform that the system calls. */
#pragma once

#include "windef.h"

/* IsProcessorFeaturePresent: instruction set extensions of x86 processors. */
#define PF_SSSE3_INSTRUCTIONS_AVAILABLE 36
#define PF_SSE4_1_INSTRUCTIONS_AVAILABLE 37
#define PF_SSE4_2_INSTRUCTIONS_AVAILABLE 38
#define PF_AVX_INSTRUCTIONS_AVAILABLE 39
#define PF_AVX2_INSTRUCTIONS_AVAILABLE 40
#define PF_AVX512F_INSTRUCTIONS_AVAILABLE 41

#ifdef __cplusplus
extern "C" {
#endif

void WINAPI OutputDebugStringA(LPCSTR text);
HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName);
DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD error);
void WINAPI Sleep(DWORD milliseconds);
DWORD WINAPI GetTickCount(void);
BOOL WINAPI IsProcessorFeaturePresent(DWORD feature);

/* The program's GUI entry point; on Linux the layer's main() calls it. */
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);

#ifdef __cplusplus
}
#endif
