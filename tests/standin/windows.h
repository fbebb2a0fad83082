// Test-only stand-in for the platform header: the types, constants and
// calls the product uses, with the platform's sizes and values, so the same
// sources build natively against the fakes. It brings in nothing of the C
// runtime: the product includes the runtime's headers itself.
#ifndef PROVIDER_ORDER_TESTS_STANDIN_WINDOWS_H
#define PROVIDER_ORDER_TESTS_STANDIN_WINDOWS_H

#include <stddef.h>
#include <stdint.h>

#define WINAPI

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef DWORD *LPDWORD;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef DWORD REGSAM;

struct HINSTANCE__;
typedef HINSTANCE__ *HINSTANCE;
typedef HINSTANCE HMODULE;
typedef intptr_t(WINAPI *FARPROC)();
struct HKEY__;
typedef HKEY__ *HKEY;
typedef HKEY *PHKEY;
struct HWND__;
typedef HWND__ *HWND;

struct POINT {
    LONG x;
    LONG y;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))
#define MAX_PATH 260

const LONG ERROR_SUCCESS = 0;
const LONG ERROR_FILE_NOT_FOUND = 2;
const LONG ERROR_ACCESS_DENIED = 5;
const LONG ERROR_INVALID_HANDLE = 6;
const LONG ERROR_MORE_DATA = 234;
const LONG ERROR_NO_MORE_ITEMS = 259;

const REGSAM KEY_QUERY_VALUE = 0x0001;
const REGSAM KEY_SET_VALUE = 0x0002;
const REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
const DWORD REG_MULTI_SZ = 7;

const UINT MB_OK = 0x0000;
const UINT WM_USER = 0x0400;
const int GWL_STYLE = -16;
const LONG WS_CHILD = 0x40000000;

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

BOOL IsDBCSLeadByte(BYTE testChar);
HMODULE GetModuleHandleA(LPCSTR moduleName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved, LPSTR className,
                   LPDWORD classLength, void *lastWriteTime);
LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE *data, DWORD size);
LONG RegCloseKey(HKEY key);

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

BOOL GetMessageA(MSG *msg, HWND window, UINT filterMin, UINT filterMax);
BOOL TranslateMessage(const MSG *msg);
LRESULT DispatchMessageA(const MSG *msg);
HWND GetParent(HWND window);
LONG GetWindowLongA(HWND window, int index);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL IsDialogMessageA(HWND dialog, MSG *msg);

#endif
