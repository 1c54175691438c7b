#pragma once
// The control's (empty) property page, dialog 200.

#include "OleObjectFactory.h"
#include "OlePropertyPage.h"

extern const CLSID CLSID_TavWebOmbletPropPage;

class CTavWebOmbletPropPage : public COlePropertyPage {
public:
    CTavWebOmbletPropPage();

    static HRESULT UpdateRegistry(const COleObjectFactory& factory, BOOL bRegister);

protected:
    void DoDataExchange(bool bSaveAndValidate) override;
};
