#include "WebControlTestSupport.h"
#include "Fixtures.h"
#include "UniqueHandle.h"

#include <vector>

namespace wctest {

std::string OcxPath() {
    return testenv::BinDir() + "\\TavWebOmblet.ocx";
}

int Run(const std::string& commandLine, std::string* output, DWORD timeoutMs) {
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    unique_handle reader;
    unique_handle writer;
    if (output) {
        SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
        HANDLE readEnd = nullptr;
        HANDLE writeEnd = nullptr;
        if (!::CreatePipe(&readEnd, &writeEnd, &sa, 0))
            return -1;
        reader = unique_handle(readEnd);
        writer = unique_handle(writeEnd);
        ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = writeEnd;
        si.hStdError = writeEnd;
        si.hStdInput = nullptr;
    }
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, output ? TRUE : FALSE, 0, nullptr,
                          nullptr, &si, &pi))
        return -1;
    unique_handle process(pi.hProcess);
    unique_handle thread(pi.hThread);
    writer.reset();

    // Whatever the child started may still hold the pipe, so read only what
    // is there and stop when the child itself has ended.
    std::string text;
    auto drain = [&] {
        DWORD avail = 0;
        while (reader && ::PeekNamedPipe(reader.get(), nullptr, 0, nullptr, &avail, nullptr) &&
               avail > 0) {
            // Never ask for more than is there: a blocking read would hang the
            // test once the child has gone and a grandchild holds the pipe.
            char buffer[512];
            DWORD want = avail < sizeof(buffer) ? avail : static_cast<DWORD>(sizeof(buffer));
            DWORD got = 0;
            if (!::ReadFile(reader.get(), buffer, want, &got, nullptr) || got == 0)
                break;
            text.append(buffer, got);
        }
    };
    DWORD waited = 0;
    DWORD state = WAIT_TIMEOUT;
    while (waited < timeoutMs) {
        state = ::WaitForSingleObject(process.get(), 50);
        drain();
        if (state == WAIT_OBJECT_0)
            break;
        waited += 50;
    }
    if (output)
        *output = text;
    if (state != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 1);
        return -1;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    return static_cast<int>(code);
}

bool KeyExists(HKEY root, const std::string& path) {
    unique_hkey key;
    return ::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::string ReadString(HKEY root, const std::string& path, const char* valueName) {
    unique_hkey key;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return "<missing>";
    char value[1024] = {};
    DWORD size = sizeof(value) - 1;
    DWORD type = 0;
    if (::RegQueryValueExA(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(value),
                           &size) != ERROR_SUCCESS)
        return "<missing>";
    return value;
}

void DeleteTree(HKEY root, const std::string& path) {
    {
        unique_hkey key;
        if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | KEY_WRITE, key.put()) !=
            ERROR_SUCCESS)
            return;
        for (;;) {
            char child[256];
            DWORD len = sizeof(child);
            if (::RegEnumKeyExA(key.get(), 0, child, &len, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            DeleteTree(key.get(), child);
        }
    }
    ::RegDeleteKeyA(root, path.c_str());
}

std::string Narrow(const wchar_t* text) {
    if (!text)
        return std::string();
    int n = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 1), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

std::string GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    ::StringFromGUID2(guid, text, 40);
    return Narrow(text);
}

CLSID PropPageClsid() {
    CLSID clsid = {};
    ::CLSIDFromString(const_cast<LPOLESTR>(L"{FE4F5263-11D5-4724-95BA-A978983B6369}"), &clsid);
    return clsid;
}

Module::Module() {
    m_h = ::LoadLibraryA(OcxPath().c_str());
}

Module::~Module() {
    // Left loaded: objects of a failed test may still point into it.
}

HRESULT Module::GetClassObject(REFCLSID clsid, IClassFactory** factory) const {
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto fn =
        reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(Export("DllGetClassObject")));
    if (!fn)
        return E_FAIL;
    return fn(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory));
}

HRESULT Module::CanUnloadNow() const {
    using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();
    auto fn = reinterpret_cast<CanUnloadNowFn>(reinterpret_cast<void*>(Export("DllCanUnloadNow")));
    return fn ? fn() : E_FAIL;
}

HRESULT Module::Create(REFCLSID clsid, REFIID riid, void** ppv) const {
    IClassFactory* factory = nullptr;
    HRESULT hr = GetClassObject(clsid, &factory);
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(nullptr, riid, ppv);
    factory->Release();
    return hr;
}

} // namespace wctest
