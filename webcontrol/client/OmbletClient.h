#pragma once
// The client side of the web control: where the messenger client is
// installed, starting the updater and the client, the client's messages, and
// the scripted methods built on them. The control class derives from it.

#include <windows.h>

#include <memory>
#include <string>

class CLogFile;

class COmbletClient {
public:
    COmbletClient();
    ~COmbletClient();

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

protected:
    // The administrator's log (HKLM\SOFTWARE\Tav\TavWebOmblet, TraceLevel and
    // TraceFile), read once per control. Below the level nothing is formatted.
    bool Logs(int level) const { return m_pLogFile && level <= m_nLogLevel; }
    void Log(int level, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 3, 4)))
#endif
        ;

private:
    HWND FindClientWindow();
    // Starts the program through the shell; a failure is only logged.
    void Launch(const char* caller, const std::string& program, const std::string& parameters);
    // The client's program file; when its folder is not known as a full path
    // it is looked up first, and without one nothing may be started.
    bool ClientProgram(std::string& program);

    std::unique_ptr<CLogFile> m_pLogFile;
    int m_nLogLevel = 0;
};
