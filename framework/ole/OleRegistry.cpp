#include "OleRegistry.h"
#include "OleControlModule.h"
#include "ComPtr.h"
#include "UniqueHandle.h"
#include "Widen.h"

#include <cstring>
#include <iterator>
#include <vector>

namespace {

// "%1" class ID, "%2" ProgID, "%3" type name, "%4" module path, "%5" toolbox
// bitmap, "%6" misc status, "%7" type library ID, "%8" its version.
struct RegEntry {
    const wchar_t* key;
    const wchar_t* valueName; // null: the key's default value
    const wchar_t* value;
};

const RegEntry kControlEntries[] = {
    {L"CLSID\\%1", nullptr, L"%3"},
    {L"CLSID\\%1\\ProgID", nullptr, L"%2"},
    {L"CLSID\\%1\\InprocServer32", nullptr, L"%4"},
    {L"CLSID\\%1\\ToolboxBitmap32", nullptr, L"%4, %5"},
    {L"CLSID\\%1\\MiscStatus", nullptr, L"0"},
    {L"CLSID\\%1\\MiscStatus\\1", nullptr, L"%6"},
    {L"CLSID\\%1\\Control", nullptr, L""},
    {L"CLSID\\%1\\TypeLib", nullptr, L"%7"},
    {L"CLSID\\%1\\Version", nullptr, L"%8"},
};

const RegEntry kProgIDEntries[] = {
    {L"%2", nullptr, L"%3"},
    {L"%2\\CLSID", nullptr, L"%1"},
};

const RegEntry kPageEntries[] = {
    {L"CLSID\\%1", nullptr, L"%3"},
    {L"CLSID\\%1\\InprocServer32", nullptr, L"%4"},
};

const RegEntry kApartmentEntry = {L"CLSID\\%1\\InprocServer32", L"ThreadingModel", L"Apartment"};

// Subkeys any of the tables above may have written, deepest first.
const wchar_t* const kClassSubkeys[] = {
    L"InprocServer32", L"ProgID",  L"ToolboxBitmap32", L"MiscStatus\\1",
    L"MiscStatus",     L"Control", L"TypeLib",         L"Version",
};

std::wstring Expand(const wchar_t* pattern, const std::vector<std::wstring>& args) {
    std::wstring out;
    for (const wchar_t* p = pattern; *p; ++p) {
        if (p[0] == L'%' && p[1] >= L'1' && p[1] <= L'9') {
            size_t index = static_cast<size_t>(p[1] - L'1');
            if (index < args.size())
                out += args[index];
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

HRESULT WriteEntry(const RegEntry& entry, const std::vector<std::wstring>& args) {
    unique_hkey key;
    std::wstring path = Expand(entry.key, args);
    LONG rc = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.put(), nullptr);
    if (rc != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(rc);
    std::wstring value = Expand(entry.value, args);
    rc = ::RegSetValueExW(key.get(), entry.valueName, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return HRESULT_FROM_WIN32(rc);
}

template <size_t N>
HRESULT WriteEntries(const RegEntry (&entries)[N], const std::vector<std::wstring>& args) {
    for (const RegEntry& entry : entries) {
        const HRESULT hr = WriteEntry(entry, args);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

bool Gone(LONG rc) {
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

// Deletes a key with all its subkeys.
LONG DeleteTree(HKEY parent, const std::wstring& name) {
    {
        unique_hkey key;
        LONG rc = ::RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, key.put());
        if (rc != ERROR_SUCCESS)
            return rc;
        for (;;) {
            wchar_t child[256];
            DWORD len = static_cast<DWORD>(std::size(child));
            if (::RegEnumKeyExW(key.get(), 0, child, &len, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            rc = DeleteTree(key.get(), child);
            if (rc != ERROR_SUCCESS)
                return rc;
        }
    }
    return ::RegDeleteKeyW(parent, name.c_str());
}

} // namespace

std::wstring AfxGuidToString(REFGUID guid) {
    wchar_t text[40] = {};
    ::StringFromGUID2(guid, text, static_cast<int>(std::size(text)));
    return text;
}

std::wstring AfxLoadStringW(HINSTANCE hInstance, UINT id) {
    const wchar_t* text = nullptr;
    // With a zero buffer size LoadStringW hands out the resource text itself.
    int n = ::LoadStringW(hInstance, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (n <= 0 || !text)
        return std::wstring();
    return std::wstring(text, static_cast<size_t>(n));
}

LPOLESTR AfxCoTaskStrDup(const std::wstring& text) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
    if (copy)
        std::memcpy(copy, text.c_str(), bytes);
    return copy;
}

HRESULT AfxOleRegisterControlClass(HINSTANCE hInstance, REFCLSID clsid, const char* pszProgID,
                                   UINT idTypeName, UINT idBitmap, int nRegFlags,
                                   DWORD dwMiscStatus, REFGUID tlid, WORD wVerMajor,
                                   WORD wVerMinor) {
    std::wstring path;
    HRESULT hr = AfxGetModuleFileName(hInstance, &path);
    if (FAILED(hr))
        return hr;
    std::vector<std::wstring> args = {
        AfxGuidToString(clsid),
        WidenAnsi(pszProgID),
        AfxLoadStringW(hInstance, idTypeName),
        path,
        std::to_wstring(idBitmap),
        std::to_wstring(dwMiscStatus),
        AfxGuidToString(tlid),
        std::to_wstring(wVerMajor) + L"." + std::to_wstring(wVerMinor),
    };
    hr = WriteEntries(kControlEntries, args);
    if (FAILED(hr))
        return hr;
    if (nRegFlags & afxRegApartmentThreading) {
        hr = WriteEntry(kApartmentEntry, args);
        if (FAILED(hr))
            return hr;
    }
    if (pszProgID && *pszProgID)
        return WriteEntries(kProgIDEntries, args);
    return S_OK;
}

HRESULT AfxOleRegisterPropertyPageClass(HINSTANCE hInstance, REFCLSID clsid, UINT idTypeName,
                                        int nRegFlags) {
    std::wstring path;
    HRESULT hr = AfxGetModuleFileName(hInstance, &path);
    if (FAILED(hr))
        return hr;
    std::vector<std::wstring> args = {AfxGuidToString(clsid), std::wstring(),
                                      AfxLoadStringW(hInstance, idTypeName), path};
    hr = WriteEntries(kPageEntries, args);
    if (FAILED(hr))
        return hr;
    if (nRegFlags & afxRegApartmentThreading)
        return WriteEntry(kApartmentEntry, args);
    return S_OK;
}

HRESULT AfxOleUnregisterClass(REFCLSID clsid, const char* pszProgID) {
    // Every entry is tried; the first failure is the one reported.
    HRESULT result = S_OK;
    auto note = [&result](LONG rc) {
        if (!Gone(rc) && SUCCEEDED(result))
            result = HRESULT_FROM_WIN32(rc);
    };
    std::wstring progID = WidenAnsi(pszProgID);
    if (!progID.empty())
        note(DeleteTree(HKEY_CLASSES_ROOT, progID));

    std::wstring classKey = L"CLSID\\" + AfxGuidToString(clsid);
    unique_hkey key;
    LONG rc =
        ::RegOpenKeyExW(HKEY_CLASSES_ROOT, classKey.c_str(), 0, KEY_READ | KEY_WRITE, key.put());
    if (rc == ERROR_FILE_NOT_FOUND)
        return result;
    if (rc != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(rc);
    for (const wchar_t* subkey : kClassSubkeys)
        note(::RegDeleteKeyW(key.get(), subkey));
    note(::RegDeleteValueW(key.get(), nullptr));
    key.reset();
    // Fails while the category marks are below it; that is meant.
    ::RegDeleteKeyW(HKEY_CLASSES_ROOT, classKey.c_str());
    return result;
}

HRESULT AfxLoadModuleTypeLib(HINSTANCE hInstance, ITypeLib** ppTypeLib) {
    *ppTypeLib = nullptr;
    std::wstring path;
    const HRESULT hr = AfxGetModuleFileName(hInstance, &path);
    if (FAILED(hr))
        return hr;
    return ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, ppTypeLib);
}

namespace {

// The module's own type library, when it is the one named; its attributes
// are copied out.
HRESULT LoadOwnTypeLib(HINSTANCE hInstance, REFGUID tlid, com_ptr<ITypeLib>* typeLib,
                       TLIBATTR* attributes) {
    HRESULT hr = AfxLoadModuleTypeLib(hInstance, typeLib->put());
    if (FAILED(hr))
        return hr;
    TLIBATTR* attr = nullptr;
    hr = (*typeLib)->GetLibAttr(&attr);
    if (FAILED(hr))
        return hr;
    *attributes = *attr;
    (*typeLib)->ReleaseTLibAttr(attr);
    // The module holds another library than the one named.
    return IsEqualGUID(attributes->guid, tlid) ? S_OK : E_INVALIDARG;
}

} // namespace

HRESULT AfxOleRegisterTypeLib(HINSTANCE hInstance, REFGUID tlid) {
    std::wstring path;
    HRESULT hr = AfxGetModuleFileName(hInstance, &path);
    if (FAILED(hr))
        return hr;
    com_ptr<ITypeLib> typeLib;
    TLIBATTR attr;
    hr = LoadOwnTypeLib(hInstance, tlid, &typeLib, &attr);
    if (FAILED(hr))
        return hr;
    std::wstring helpDir = path.substr(0, path.find_last_of(L'\\'));
    return ::RegisterTypeLib(typeLib.get(), &path[0], &helpDir[0]);
}

HRESULT AfxOleUnregisterTypeLib(REFGUID tlid, WORD wVerMajor, WORD wVerMinor, LCID lcid) {
#ifdef _WIN64
    const SYSKIND kind = SYS_WIN64;
#else
    const SYSKIND kind = SYS_WIN32;
#endif
    const HRESULT hr = ::UnRegisterTypeLib(tlid, wVerMajor, wVerMinor, lcid, kind);
    if (SUCCEEDED(hr))
        return hr;
    // RegisterTypeLib filed the library under its own locale; removal must
    // find it there, or the classes would never be removed after it. Where
    // that does not apply, the first refusal is the answer.
    com_ptr<ITypeLib> typeLib;
    TLIBATTR attr;
    if (FAILED(LoadOwnTypeLib(AfxGetInstanceHandle(), tlid, &typeLib, &attr)) ||
        attr.wMajorVerNum != wVerMajor || attr.wMinorVerNum != wVerMinor || attr.lcid == lcid)
        return hr;
    return ::UnRegisterTypeLib(tlid, wVerMajor, wVerMinor, attr.lcid, kind);
}
