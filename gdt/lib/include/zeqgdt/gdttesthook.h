#pragma once
// For tests of a share that goes away at one exact moment: a function the library's file
// layer calls on its worker thread each time a copy has become whole under its name, with
// that path, before the copy returns. None is set in a product; nullptr removes it.
#include "zeqgdt/gdtdefs.h"

extern "C" ZEQGDT_API void ZeqGDTSetWrittenHook(void (*pfnWritten)(const char* pszPath));
