#include "fake_platform.h"

#include <string.h>

FakeRegistry g_registry;
FakeModule g_module;
std::vector<ShownMessageBox> g_messageBoxes;
int g_messageBoxResult = 1;

static HKEY const kProvidersKey = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x5150));

void ResetFakePlatform()
{
    g_registry = FakeRegistry();
    g_module = FakeModule();
    g_messageBoxes.clear();
    g_messageBoxResult = 1;
}

DWORD GetModuleFileNameA(HMODULE, LPSTR fileName, DWORD size)
{
    if (g_module.fails) {
        memset(fileName, 0xBD, size);  // the platform promises nothing here
        return 0;
    }
    const DWORD length = static_cast<DWORD>(g_module.path.size());
    if (length < size) {
        memcpy(fileName, g_module.path.c_str(), length + 1);
        return length;
    }
    memcpy(fileName, g_module.path.c_str(), size);
    if (!g_module.unterminatedWhenFull)
        fileName[size - 1] = '\0';
    return size;
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result)
{
    g_registry.calls.push_back("RegOpenKeyExA");
    g_registry.openedRoot = key;
    g_registry.openedPath = subKey;
    g_registry.openedAccess = access;
    if (g_registry.openResult != ERROR_SUCCESS)
        return g_registry.openResult;
    ++g_registry.keysOpen;
    *result = kProvidersKey;
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD, LPSTR, LPDWORD, void *)
{
    g_registry.calls.push_back("RegEnumKeyExA");
    if (key != kProvidersKey)
        return ERROR_INVALID_HANDLE;
    const auto failure = g_registry.enumerationFailures.find(index);
    if (failure != g_registry.enumerationFailures.end())
        return failure->second;
    if (index >= g_registry.subkeys.size())
        return ERROR_NO_MORE_ITEMS;
    if (index == g_registry.lengthOverstatedAt)
        return ERROR_SUCCESS;  // *nameLength left as the room it was given
    const std::string &subkey = g_registry.subkeys[index];
    if (subkey.size() + 1 > *nameLength)
        return ERROR_MORE_DATA;
    memcpy(name, subkey.c_str(), subkey.size() + 1);
    *nameLength = static_cast<DWORD>(subkey.size());
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE *data, DWORD size)
{
    g_registry.calls.push_back("RegSetValueExA");
    if (key != kProvidersKey)
        return ERROR_INVALID_HANDLE;
    if (g_registry.setValueResult != ERROR_SUCCESS)
        return g_registry.setValueResult;
    g_registry.written = true;
    g_registry.writtenName = valueName;
    g_registry.writtenType = type;
    g_registry.writtenBytes.assign(reinterpret_cast<const char *>(data), size);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    g_registry.calls.push_back("RegCloseKey");
    if (key != kProvidersKey)
        return ERROR_INVALID_HANDLE;
    --g_registry.keysOpen;
    return g_registry.closeResult;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    g_messageBoxes.push_back({owner, text, caption, type});
    return g_messageBoxResult;
}
