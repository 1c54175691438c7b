#pragma once
// The client side of the web control: where the messenger client is
// installed, starting the updater and the client, the client's messages, and
// the scripted methods built on them. The control class derives from it.

#include <windows.h>

#include <string>

class COmbletClient {
public:
    COmbletClient();

    // Scripted methods; text arrives in the ANSI code page.
    long TavOBInstalled();
    void TavOmbletInstall();
    void TavStartOmblet(const char* strID, const char* strName, const char* strPassword);
    void TavStopOmblet();
    long TavOpenMeetingWindow(const char* strID, const char* strName, const char* strPassword);
    long TavOpenP2PCall(const char* strID, const char* strName, const char* strPassword,
                        const char* strUserID, const char* strUserName);
    long TavOpenMeetingRoom(const char* strID, const char* strName, const char* strPassword,
                            const char* strUser);
    void TavIntoMeetingRoom(const char* strID, const char* strName, const char* strPassword,
                            const char* strkey);

    long LocateClient();
    void InstallClient();
    void StartClient(const char* id, const char* name, const char* password);
    void StopClient();
    void JoinConference(const char* key);
    void StoreLogin(const char* id, const char* name, const char* password);
    bool EnsureClientRunning();
    // 1 when the client window took the message, 0 when there was none or it
    // did not take it within the time-out. An empty payload goes out as none
    // (cbData 0, no data).
    long SendToClient(unsigned long code, const std::string& payload);

    std::string m_strUserID;
    std::string m_strUserName;
    std::string m_strPassword;
    std::string m_strClientDir;
    char m_szSystemDir[MAX_PATH];

    // Every look for the client window counts here; the start-up wait is
    // judged by it.
    unsigned m_nWindowLookups = 0;

private:
    HWND _FindClientWindow();
    // The client's program file; when its folder is not known as a full path
    // it is looked up first, and without one nothing may be started.
    bool ClientProgram(std::string& program);
};
