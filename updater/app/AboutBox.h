#pragma once
// The About box opened from the update window's system menu.

#include "Dialog.h"

class CAboutBox : public CDialog {
public:
    CAboutBox();
    ~CAboutBox() override = default;

    void DoDataExchange() override {}
};
