#include "TavWebOmblet_h.h"
#include "WebControlTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace wctest;

namespace {

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

// The type library embedded in the module against the published interface.
TEST(TypeLibraryTest, NineMethodsWithTheirIdsParameterNamesAndTypes) {
    const std::string ocx = OcxPath();
    com_ptr<ITypeLib> lib;
    ASSERT_EQ(S_OK, ::LoadTypeLibEx(std::wstring(ocx.begin(), ocx.end()).c_str(), REGKIND_NONE,
                                    lib.put()));
    com_ptr<ITypeInfo> disp;
    ASSERT_EQ(S_OK, lib->GetTypeInfoOfGuid(DIID__DTavWebOmblet, disp.put()));
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, disp->GetTypeAttr(&attr));
    EXPECT_EQ(9, attr->cFuncs);
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
