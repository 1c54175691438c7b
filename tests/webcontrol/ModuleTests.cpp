#include "TavWebOmblet_h.h"
#include "WebControlTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace wctest;

namespace {

std::string LoadText(HMODULE module, UINT id) {
    wchar_t text[256] = {};
    ::LoadStringW(module, id, text, 256);
    return Narrow(text);
}

TEST(ModuleResourceTest, StringsNameTheControlPageAndCaption) {
    Module module;
    ASSERT_TRUE(module.Ok());
    EXPECT_EQ("TavWebOmblet Control", LoadText(module.Handle(), 1));
    EXPECT_EQ("TavWebOmblet Property Page", LoadText(module.Handle(), 2));
    EXPECT_EQ("General", LoadText(module.Handle(), 200));
}

TEST(ModuleResourceTest, ToolboxBitmapIs16By15In16Colours) {
    Module module;
    HRSRC res = ::FindResourceA(module.Handle(), MAKEINTRESOURCEA(1), RT_BITMAP);
    ASSERT_NE(nullptr, res);
    auto* info =
        static_cast<const BITMAPINFOHEADER*>(::LockResource(::LoadResource(module.Handle(), res)));
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(16, info->biWidth);
    EXPECT_EQ(15, info->biHeight);
    EXPECT_EQ(4, info->biBitCount);
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colors, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct GroupIcon {
    WORD reserved, type, count;
    GroupIconEntry entries[1];
};
#pragma pack(pop)

TEST(ModuleResourceTest, IconsAre32And16PixelsIn16Colours) {
    Module module;
    const struct {
        int id;
        BYTE size;
    } icons[] = {{1, 32}, {2, 16}};
    for (const auto& icon : icons) {
        HRSRC res = ::FindResourceA(module.Handle(), MAKEINTRESOURCEA(icon.id), RT_GROUP_ICON);
        ASSERT_NE(nullptr, res) << icon.id;
        auto* group =
            static_cast<const GroupIcon*>(::LockResource(::LoadResource(module.Handle(), res)));
        ASSERT_EQ(1, group->count);
        EXPECT_EQ(icon.size, group->entries[0].width);
        EXPECT_EQ(icon.size, group->entries[0].height);
        EXPECT_EQ(16, group->entries[0].colors);
        EXPECT_EQ(4, group->entries[0].bitCount);
    }
}

TEST(ModuleResourceTest, VersionBlockIs1_1_1_27AndAsksForSelfRegistration) {
    std::string path = OcxPath();
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(MAKELONG(1, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(27, 1), fixed->dwFileVersionLS);
    EXPECT_EQ(MAKELONG(1, 1), fixed->dwProductVersionMS);
    EXPECT_EQ(MAKELONG(27, 1), fixed->dwProductVersionLS);

    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&translation), &len));
    ASSERT_GE(len, 4u);
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(1200, translation[1]);

    char* value = nullptr;
    EXPECT_TRUE(::VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\OLESelfRegister",
                                 reinterpret_cast<void**>(&value), &len));
}

// The embedded type library against the published dispatch interface.
class TypeLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string ocx = OcxPath();
        std::wstring path(ocx.begin(), ocx.end());
        ASSERT_EQ(S_OK, ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.put()));
    }
    ComPtr<ITypeLib> lib;

    std::string Doc(int index) {
        BSTR help = nullptr;
        std::string text;
        if (SUCCEEDED(lib->GetDocumentation(index, nullptr, &help, nullptr, nullptr))) {
            text = Narrow(help);
            ::SysFreeString(help);
        }
        return text;
    }
};

TEST_F(TypeLibraryTest, LibraryIdentityVersionLocaleAndHelp) {
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, lib->GetLibAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(LIBID_TAVWEBOMBLETLib, attr->guid));
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    EXPECT_EQ(0x0409u, attr->lcid);
    EXPECT_TRUE(attr->wLibFlags & LIBFLAG_FCONTROL);
    lib->ReleaseTLibAttr(attr);

    BSTR name = nullptr, help = nullptr, file = nullptr;
    ASSERT_EQ(S_OK, lib->GetDocumentation(-1, &name, &help, nullptr, &file));
    EXPECT_EQ("TAVWEBOMBLETLib", Narrow(name));
    EXPECT_EQ("TavWebOmblet ActiveX Control module", Narrow(help));
    EXPECT_EQ("TavWebOmblet.hlp", Narrow(file));
    ::SysFreeString(name);
    ::SysFreeString(help);
    ::SysFreeString(file);
}

TEST_F(TypeLibraryTest, ThreeTypesWithTheirKindsFlagsAndHelpStrings) {
    const struct {
        const GUID* guid;
        TYPEKIND kind;
        WORD flags;
        const char* help;
    } types[] = {
        {&DIID__DTavWebOmblet, TKIND_DISPATCH, TYPEFLAG_FHIDDEN | TYPEFLAG_FDISPATCHABLE,
         "Dispatch interface for TavWebOmblet Control"},
        {&DIID__DTavWebOmbletEvents, TKIND_DISPATCH, TYPEFLAG_FDISPATCHABLE,
         "Event interface for TavWebOmblet Control"},
        {&CLSID_TavWebOmblet, TKIND_COCLASS, TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL,
         "TavWebOmblet Control"},
    };
    EXPECT_EQ(3u, lib->GetTypeInfoCount());
    for (const auto& t : types) {
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(S_OK, lib->GetTypeInfoOfGuid(*t.guid, info.put())) << t.help;
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
        EXPECT_EQ(t.kind, attr->typekind) << t.help;
        EXPECT_EQ(t.flags, attr->wTypeFlags & (TYPEFLAG_FHIDDEN | TYPEFLAG_FDISPATCHABLE |
                                               TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL))
            << t.help;
        if (IsEqualGUID(*t.guid, DIID__DTavWebOmbletEvents)) {
            EXPECT_EQ(0, attr->cFuncs);
        }
        info->ReleaseTypeAttr(attr);
        BSTR help = nullptr;
        ASSERT_EQ(S_OK, info->GetDocumentation(MEMBERID_NIL, nullptr, &help, nullptr, nullptr));
        EXPECT_EQ(t.help, Narrow(help));
        ::SysFreeString(help);
    }
}

TEST_F(TypeLibraryTest, CoclassDefaultInterfaceAndDefaultSource) {
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(S_OK, lib->GetTypeInfoOfGuid(CLSID_TavWebOmblet, coclass.put()));
    bool sawDefault = false, sawSource = false;
    for (UINT i = 0; i < 2; ++i) {
        INT flags = 0;
        ASSERT_EQ(S_OK, coclass->GetImplTypeFlags(i, &flags));
        HREFTYPE ref = 0;
        ASSERT_EQ(S_OK, coclass->GetRefTypeOfImplType(i, &ref));
        ComPtr<ITypeInfo> iface;
        ASSERT_EQ(S_OK, coclass->GetRefTypeInfo(ref, iface.put()));
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(S_OK, iface->GetTypeAttr(&attr));
        if (flags == IMPLTYPEFLAG_FDEFAULT) {
            EXPECT_TRUE(IsEqualGUID(DIID__DTavWebOmblet, attr->guid));
            sawDefault = true;
        } else if (flags == (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) {
            EXPECT_TRUE(IsEqualGUID(DIID__DTavWebOmbletEvents, attr->guid));
            sawSource = true;
        }
        iface->ReleaseTypeAttr(attr);
    }
    EXPECT_TRUE(sawDefault);
    EXPECT_TRUE(sawSource);
}

struct Method {
    DISPID id;
    const char* name;
    std::vector<const char*> params;
    VARTYPE result;
};

const Method kMethods[] = {
    {1, "TavOBInstalled", {}, VT_I4},
    {2, "TavOmbletInstall", {}, VT_VOID},
    {3, "TavStartOmblet", {"strID", "strName", "strPassword"}, VT_VOID},
    {4, "TavStopOmblet", {}, VT_VOID},
    {5, "TavOpenMeetingWindow", {"strID", "strName", "strPassword"}, VT_I4},
    {6, "TavOpenP2PCall", {"strID", "strName", "strPassword", "strUserID", "strUserName"}, VT_I4},
    {7, "TavOpenMeetingRoom", {"strID", "strName", "strPassword", "strUser"}, VT_I4},
    {8, "TavIntoMeetingRoom", {"strID", "strName", "strPassword", "strkey"}, VT_VOID},
    {-552, "AboutBox", {}, VT_VOID},
};

TEST_F(TypeLibraryTest, NineMethodsWithTheirIdsParameterNamesAndTypes) {
    ComPtr<ITypeInfo> disp;
    ASSERT_EQ(S_OK, lib->GetTypeInfoOfGuid(DIID__DTavWebOmblet, disp.put()));
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, disp->GetTypeAttr(&attr));
    EXPECT_EQ(9, attr->cFuncs);
    EXPECT_EQ(0, attr->cVars);
    UINT funcs = attr->cFuncs;
    disp->ReleaseTypeAttr(attr);

    for (const Method& m : kMethods) {
        FUNCDESC* found = nullptr;
        for (UINT i = 0; i < funcs && !found; ++i) {
            FUNCDESC* fd = nullptr;
            ASSERT_EQ(S_OK, disp->GetFuncDesc(i, &fd));
            if (fd->memid == m.id)
                found = fd;
            else
                disp->ReleaseFuncDesc(fd);
        }
        ASSERT_NE(nullptr, found) << m.name;
        EXPECT_EQ(INVOKE_FUNC, found->invkind) << m.name;
        EXPECT_EQ(FUNC_DISPATCH, found->funckind) << m.name;
        EXPECT_EQ(m.result, found->elemdescFunc.tdesc.vt) << m.name;
        ASSERT_EQ(static_cast<SHORT>(m.params.size()), found->cParams) << m.name;
        BSTR names[8] = {};
        UINT got = 0;
        ASSERT_EQ(S_OK, disp->GetNames(m.id, names, 8, &got));
        ASSERT_EQ(m.params.size() + 1, got) << m.name;
        EXPECT_EQ(m.name, Narrow(names[0]));
        for (size_t p = 0; p < m.params.size(); ++p) {
            EXPECT_EQ(m.params[p], Narrow(names[p + 1])) << m.name;
            EXPECT_EQ(VT_BSTR, found->lprgelemdescParam[p].tdesc.vt) << m.name;
        }
        for (UINT n = 0; n < got; ++n)
            ::SysFreeString(names[n]);
        disp->ReleaseFuncDesc(found);
    }
}

} // namespace
