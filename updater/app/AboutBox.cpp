#include "AboutBox.h"

#include "resource.h"

CAboutBox::CAboutBox() : CDialog(IDD_ABOUTBOX, nullptr) {}
