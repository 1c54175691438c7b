#pragma once
// Component categories through the standard categories manager: the two
// safety categories and the control's marks as implementing them.

#include <windows.h>
#include <comcat.h>

HRESULT CreateComponentCategory(REFCATID catid, const char* description);
HRESULT RegisterCLSIDInCategory(REFCLSID clsid, REFCATID catid);
