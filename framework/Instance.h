#pragma once
// The module this code is linked into: the program, or the control's DLL.
// Resources, window classes and dialogs are looked up there.

#include <windows.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;

inline HINSTANCE AfxGetInstanceHandle() {
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}
