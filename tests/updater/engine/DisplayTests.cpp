#include "EngineTest.h"

namespace {

// What the engine hands the update window for a file's progress.
class ProgressView : public IUpdateView {
public:
    void ShowStage(int, int, const std::string&) override {}
    void ShowFileName(const std::string&) override {}
    void ShowFileProgress(int shownPercent, const std::string& byteCount) override {
        percent = shownPercent;
        counter = byteCount;
    }
    void ShowNothingToRun(const std::string&) override {}

    int percent = -1;
    std::string counter;
};

// Faults: the percentage wrapping for files past 42 MB, a bar past full when
// more arrives than announced, a counter cut short, a body of no announced
// size shown against a total of 0.
TEST(Display, ProgressShowsTheFilesShareAndItsByteCounts) {
    ProgressView view;
    CAULMgr manager;
    manager.AttachView(&view);
    const struct {
        DWORD total, done;
        int percent;
        const char* counter;
    } cases[] = {{4096, 512, 12, "[       512/      4096]"},
                 {4294967295u, 4294967294u, 99, "[4294967294/4294967295]"},
                 {100, 250, 100, "[       250/       100]"},
                 {0, 5000, 0, "[      5000/         ?]"}};
    for (const auto& c : cases) {
        manager.ShowProgress("", c.total, c.done);
        EXPECT_EQ(c.percent, view.percent) << c.done;
        EXPECT_EQ(c.counter, view.counter);
    }
}

} // namespace
