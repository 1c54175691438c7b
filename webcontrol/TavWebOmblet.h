#pragma once
// The module object of TavWebOmblet.ocx.

#include "OleControlModule.h"

class CTavWebOmbletApp : public COleControlModule {
public:
    BOOL InitInstance() override;
    int ExitInstance() override;
};

extern const GUID kTypeLibID;
extern const WORD kVerMajor;
extern const WORD kVerMinor;
