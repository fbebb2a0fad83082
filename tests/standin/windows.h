// Test-only stand-in for the platform header: the types, constants and
// calls the product uses, with the platform's sizes and values, so the same
// sources build natively against the fakes. It brings in nothing of the C
// runtime: the product includes the runtime's headers itself.
#ifndef PROVIDER_ORDER_TESTS_STANDIN_WINDOWS_H
#define PROVIDER_ORDER_TESTS_STANDIN_WINDOWS_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#define WINAPI
#define FALSE 0
#define TRUE 1

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef uint16_t WCHAR;  // a UTF-16 unit
typedef WCHAR *LPWSTR;
typedef const WCHAR *LPCWSTR;
typedef void *HANDLE;
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

struct SC_HANDLE__;
typedef SC_HANDLE__ *SC_HANDLE;

struct SERVICE_STATUS {
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
};

struct QUERY_SERVICE_CONFIGA {
    DWORD dwServiceType;
    DWORD dwStartType;
    DWORD dwErrorControl;
    LPSTR lpBinaryPathName;
    LPSTR lpLoadOrderGroup;
    DWORD dwTagId;
    LPSTR lpDependencies;
    LPSTR lpServiceStartName;
    LPSTR lpDisplayName;
};

struct ENUM_SERVICE_STATUSA {
    LPSTR lpServiceName;
    LPSTR lpDisplayName;
    SERVICE_STATUS ServiceStatus;
};

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

typedef int16_t SHORT;
typedef uint16_t WORD;
struct COORD {
    SHORT X;
    SHORT Y;
};
struct SMALL_RECT {
    SHORT Left;
    SHORT Top;
    SHORT Right;
    SHORT Bottom;
};
struct CONSOLE_SCREEN_BUFFER_INFO {
    COORD dwSize;
    COORD dwCursorPosition;
    WORD wAttributes;
    SMALL_RECT srWindow;
    COORD dwMaximumWindowSize;
};

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};
// As the platform lays it out: the same fields first, then these.
struct OSVERSIONINFOEXA : OSVERSIONINFOA {
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};

typedef DWORD(WINAPI *LPTHREAD_START_ROUTINE)(void *parameter);
typedef BOOL(WINAPI *PHANDLER_ROUTINE)(DWORD controlType);

#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))
#define MAX_PATH 260
#define MAX_COMPUTERNAME_LENGTH 15
const DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))

const LONG ERROR_SUCCESS = 0;
const DWORD NO_ERROR = 0;
const LONG ERROR_FILE_NOT_FOUND = 2;
const LONG ERROR_ACCESS_DENIED = 5;
const LONG ERROR_INVALID_HANDLE = 6;
const LONG ERROR_NOT_ENOUGH_MEMORY = 8;
const LONG ERROR_HANDLE_EOF = 38;
const LONG ERROR_BAD_NETPATH = 53;
const LONG ERROR_INVALID_PARAMETER = 87;
const LONG ERROR_BUFFER_OVERFLOW = 111;
const LONG ERROR_INSUFFICIENT_BUFFER = 122;
const LONG ERROR_NO_UNICODE_TRANSLATION = 1113;
const LONG ERROR_DEPENDENT_SERVICES_RUNNING = 1051;
const LONG ERROR_SERVICE_REQUEST_TIMEOUT = 1053;
const LONG ERROR_SERVICE_ALREADY_RUNNING = 1056;
const LONG ERROR_SERVICE_DOES_NOT_EXIST = 1060;
const LONG ERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061;
const LONG ERROR_SERVICE_NOT_ACTIVE = 1062;
const LONG ERROR_SERVICE_DISABLED = 1058;
const LONG ERROR_OPERATION_ABORTED = 995;
const LONG ERROR_FILE_TOO_LARGE = 223;
const LONG ERROR_MORE_DATA = 234;
const LONG ERROR_NO_MORE_ITEMS = 259;
const LONG ERROR_TOO_MANY_POSTS = 298;

const REGSAM KEY_QUERY_VALUE = 0x0001;
const REGSAM KEY_SET_VALUE = 0x0002;
const REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
const DWORD REG_NONE = 0;
const DWORD REG_SZ = 1;
const DWORD REG_MULTI_SZ = 7;

const DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);
const DWORD STD_ERROR_HANDLE = static_cast<DWORD>(-12);
const UINT CP_ACP = 0;
const UINT CP_OEMCP = 1;
const UINT CP_UTF8 = 65001;
const DWORD MB_ERR_INVALID_CHARS = 0x0008;
const DWORD WC_NO_BEST_FIT_CHARS = 0x0400;
const DWORD FORMAT_MESSAGE_MAX_WIDTH_MASK = 0x00FF;
const DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x0200;
const DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x1000;

const DWORD GENERIC_READ = 0x80000000u;
const DWORD FILE_SHARE_READ = 0x00000001;
const DWORD OPEN_EXISTING = 3;

const DWORD INFINITE = 0xFFFFFFFFu;
const DWORD WAIT_OBJECT_0 = 0;
const DWORD WAIT_TIMEOUT = 258;
const DWORD STACK_SIZE_PARAM_IS_A_RESERVATION = 0x00010000;

const DWORD SC_MANAGER_CONNECT = 0x0001;
const DWORD SERVICE_QUERY_CONFIG = 0x0001;
const DWORD SERVICE_CHANGE_CONFIG = 0x0002;
const DWORD SERVICE_QUERY_STATUS = 0x0004;
const DWORD SERVICE_ENUMERATE_DEPENDENTS = 0x0008;
const DWORD SERVICE_START = 0x0010;
const DWORD SERVICE_STOP = 0x0020;
const DWORD SERVICE_CONTROL_STOP = 0x00000001;
const DWORD SERVICE_ACTIVE = 0x00000001;
const DWORD SERVICE_STOPPED = 0x00000001;
const DWORD SERVICE_START_PENDING = 0x00000002;
const DWORD SERVICE_STOP_PENDING = 0x00000003;
const DWORD SERVICE_RUNNING = 0x00000004;
const DWORD SERVICE_NO_CHANGE = 0xFFFFFFFFu;
const DWORD SERVICE_AUTO_START = 0x00000002;
const DWORD SERVICE_DEMAND_START = 0x00000003;
const DWORD SERVICE_DISABLED = 0x00000004;
const DWORD CTRL_C_EVENT = 0;
const DWORD CTRL_CLOSE_EVENT = 2;

const UINT MB_OK = 0x0000;
const UINT WM_USER = 0x0400;
const int GWL_STYLE = -16;
const LONG WS_CHILD = 0x40000000;

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

BOOL IsDBCSLeadByte(BYTE testChar);
HMODULE GetModuleHandleA(LPCSTR moduleName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);

HANDLE GetStdHandle(DWORD which);
BOOL WriteFile(HANDLE file, const void *buffer, DWORD size, LPDWORD written, void *overlapped);
UINT GetConsoleOutputCP();
BOOL GetConsoleScreenBufferInfo(HANDLE console, CONSOLE_SCREEN_BUFFER_INFO *info);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide, int wideSize);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int length, LPSTR text, int size, LPCSTR defaultChar,
                        BOOL *usedDefaultChar);
DWORD FormatMessageA(DWORD flags, const void *source, DWORD messageId, DWORD languageId, LPSTR buffer, DWORD size,
                     va_list *arguments);

DWORD GetLastError();
BOOL GetComputerNameA(LPSTR buffer, LPDWORD size);
HANDLE CreateFileA(LPCSTR fileName, DWORD access, DWORD shareMode, void *security, DWORD disposition, DWORD flags,
                   HANDLE templateFile);
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
BOOL ReadFile(HANDLE file, void *buffer, DWORD size, LPDWORD read, void *overlapped);
BOOL CloseHandle(HANDLE object);

HANDLE CreateThread(void *security, size_t stackSize, LPTHREAD_START_ROUTINE start, void *parameter, DWORD flags,
                    LPDWORD threadId);
HANDLE CreateEventA(void *security, BOOL manualReset, BOOL initialState, LPCSTR name);
HANDLE CreateSemaphoreA(void *security, LONG initialCount, LONG maximumCount, LPCSTR name);
BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG *previousCount);
BOOL GetVersionExA(OSVERSIONINFOA *version);
BOOL SetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
DWORD GetTickCount();
LONG InterlockedIncrement(volatile LONG *addend);
LONG InterlockedDecrement(volatile LONG *addend);
LONG InterlockedExchange(volatile LONG *target, LONG value);
LONG InterlockedCompareExchange(volatile LONG *destination, LONG exchange, LONG comparand);

void Sleep(DWORD milliseconds);

SC_HANDLE OpenSCManagerA(LPCSTR machineName, LPCSTR databaseName, DWORD access);
SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR serviceName, DWORD access);
BOOL CloseServiceHandle(SC_HANDLE service);
BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS *status);
BOOL ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS *status);
BOOL StartServiceA(SC_HANDLE service, DWORD argumentCount, LPCSTR *arguments);
BOOL QueryServiceConfigA(SC_HANDLE service, QUERY_SERVICE_CONFIGA *config, DWORD size, LPDWORD needed);
BOOL ChangeServiceConfigA(SC_HANDLE service, DWORD serviceType, DWORD startType, DWORD errorControl,
                          LPCSTR binaryPathName, LPCSTR loadOrderGroup, LPDWORD tagId, LPCSTR dependencies,
                          LPCSTR serviceStartName, LPCSTR password, LPCSTR displayName);
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add);
BOOL EnumDependentServicesA(SC_HANDLE service, DWORD state, ENUM_SERVICE_STATUSA *services, DWORD size, LPDWORD needed,
                            LPDWORD returned);

LONG RegConnectRegistryA(LPCSTR machineName, HKEY key, PHKEY result);
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved, LPSTR className,
                   LPDWORD classLength, void *lastWriteTime);
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, BYTE *data, LPDWORD size);
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
