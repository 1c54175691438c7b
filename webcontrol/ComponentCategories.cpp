#include "ComponentCategories.h"
#include "ComPtr.h"
#include "Widen.h"

#include <cstring>
#include <iterator>
#include <string>

namespace {

// Description as wide text in the category record, cut to what fits.
void FillCategoryInfo(CATEGORYINFO& info, REFCATID catid, const char* description) {
    std::memset(&info, 0, sizeof(info));
    info.catid = catid;
    info.lcid = 0x0409;
    // At most 127 wide characters, always terminated.
    std::wstring wide = WidenAnsi(description);
    const size_t capacity = std::size(info.szDescription) - 1;
    if (wide.size() > capacity)
        wide.resize(capacity);
    std::memcpy(info.szDescription, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
}

HRESULT CreateCategoryManager(com_ptr<ICatRegister>* manager) {
    return ::CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ICatRegister, manager->put_void());
}

} // namespace

HRESULT CreateComponentCategory(REFCATID catid, const char* description) {
    com_ptr<ICatRegister> manager;
    HRESULT hr = CreateCategoryManager(&manager);
    if (FAILED(hr))
        return hr;
    CATEGORYINFO info;
    FillCategoryInfo(info, catid, description);
    return manager->RegisterCategories(1, &info);
}

HRESULT RegisterCLSIDInCategory(REFCLSID clsid, REFCATID catid) {
    com_ptr<ICatRegister> manager;
    HRESULT hr = CreateCategoryManager(&manager);
    if (FAILED(hr))
        return hr;
    CATID ids[1] = {catid};
    return manager->RegisterClassImplCategories(clsid, 1, ids);
}
