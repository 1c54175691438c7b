#include "EngineTest.h"

#include <commctrl.h>

namespace {

// Faults: the percentage wrapping for files past 42 MB, a bar past full when
// more arrives than announced, a counter cut short.
TEST(Display, ProgressShowsTheFilesShareAndItsByteCounts) {
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&init);
    CProgressCtrl bar;
    CStatic counter;
    bar.Attach(::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP, 0, 0, 300, 20, nullptr, nullptr,
                                 nullptr, nullptr));
    counter.Attach(::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 20, nullptr, nullptr,
                                     nullptr, nullptr));
    CAULMgr manager;
    manager.AttachControls(nullptr, nullptr, &bar, nullptr, &counter);
    const struct {
        DWORD total, done;
        LRESULT percent;
        const char* counter;
    } cases[] = {{4096, 512, 12, "[       512/      4096]"},
                 {4294967295u, 4294967294u, 99, "[4294967294/4294967295]"},
                 {100, 250, 100, "[       250/       100]"}};
    for (const auto& c : cases) {
        manager.ShowProgress("", c.total, c.done);
        EXPECT_EQ(c.percent, bar.SendMessage(PBM_GETPOS)) << c.done;
        EXPECT_EQ(c.counter, counter.GetWindowText());
    }
    ::DestroyWindow(bar.GetSafeHwnd());
    ::DestroyWindow(counter.GetSafeHwnd());
}

} // namespace
