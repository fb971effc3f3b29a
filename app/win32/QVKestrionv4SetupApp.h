#pragma once
#include <string>

#include "platform/win32/Win32Platform.h"

// The application: sets up the controls and runs the main dialog.
class CQVKestrionv4SetupApp {
public:
    CQVKestrionv4SetupApp() = default;
    virtual ~CQVKestrionv4SetupApp() = default;

    void SetPlatform(qv::win32::Win32Platform& platform) { m_pPlatform = &platform; }
    // False: the application ends once the dialog does; no message loop follows.
    virtual bool InitInstance();

private:
    void SetRegistryKey(const char* key) { m_strRegistryKey = key; }

    qv::win32::Win32Platform* m_pPlatform = nullptr;
    // Where settings would go; the program keeps none.
    std::string m_strRegistryKey;
};

extern CQVKestrionv4SetupApp theApp;
