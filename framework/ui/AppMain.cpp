// The program's entry: the class library's WinMain, which hands the program
// to the global application object.
#include "WinApp.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    app->m_hInstance = hInstance;
    int code = 0;
    if (!app->InitInstance())
        code = app->ExitInstance();
    return code;
}
