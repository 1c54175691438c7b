#pragma once
// What a pass shows while it runs: the stage line, the file being received
// with its bar and byte counter, and the one notice a pass gives. The update
// window implements it; the engine calls it from the worker thread, and each
// call returns once the window has shown it.

#include <string>

class IUpdateView {
public:
    // The stage's text, and the stage bar at code of lastCode.
    virtual void ShowStage(int code, int lastCode, const std::string& text) = 0;
    // The file being received, as its text reads.
    virtual void ShowFileName(const std::string& text) = 0;
    // The download bar at percent of 100, and the byte counter's text.
    virtual void ShowFileProgress(int percent, const std::string& byteCount) = 0;
    // Nothing to start: returns once the user has dismissed the message.
    virtual void ShowNothingToRun(const std::string& message) = 0;

protected:
    ~IUpdateView() = default;
};
