#pragma once
// The Win32 constants that the program logic uses. On Windows they come from
// the SDK headers; the native test build gets the same values from here.

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <wininet.h>
#else
#include <cstdint>

constexpr unsigned MB_OK = 0x00000000;
constexpr unsigned MB_YESNO = 0x00000004;
constexpr unsigned MB_ICONEXCLAMATION = 0x00000030;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

constexpr unsigned WM_SETICON = 0x0080;
constexpr unsigned WM_USER = 0x0400;
constexpr unsigned PBM_SETRANGE = WM_USER + 1;
constexpr unsigned PBM_SETPOS = WM_USER + 2;
constexpr unsigned MF_STRING = 0x0000;
constexpr unsigned MF_SEPARATOR = 0x0800;
constexpr int ICON_SMALL = 0;
constexpr int ICON_BIG = 1;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;

constexpr int CSIDL_WINDOWS = 0x0024;
constexpr int CSIDL_SYSTEM = 0x0025;

constexpr uint32_t VER_PLATFORM_WIN32_NT = 2;

constexpr uint32_t INTERNET_FLAG_DONT_CACHE = 0x04000000;
constexpr uint32_t INTERNET_FLAG_TRANSFER_BINARY = 0x00000002;
#endif
