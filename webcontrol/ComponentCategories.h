#pragma once
// Component categories through the standard categories manager: the two
// safety categories and the control's marks as implementing them.

#include <windows.h>
#include <comcat.h>

// Description as wide text in the category record, cut to what fits.
void FillCategoryInfo(CATEGORYINFO& info, REFCATID catid, const char* description);
HRESULT CreateComponentCategory(REFCATID catid, const char* description);
HRESULT RegisterCLSIDInCategory(REFCLSID clsid, REFCATID catid);
