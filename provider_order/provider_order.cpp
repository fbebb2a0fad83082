#include "provider_order.h"

#include "../shell/shell.h"

#include <stdlib.h>

// The two rights the repair needs and nothing else: the old value is never
// read, so it plays no part in the new one.
static const REGSAM kProvidersKeyAccess = KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS;

LONG CollectProviderNames(HKEY key, ProviderList *list)
{
    char *const start = list->block;
    char *write = start;
    list->count = 0;
    list->size = 0;

    for (;;) {
        // Room for the name and its NUL, keeping one byte for the final NUL.
        // The call overwrites the length, so it is set again on every pass.
        const DWORD room = kProviderListSize - static_cast<DWORD>(write - start) - 1;
        DWORD length = room;
        const LONG result = RegEnumKeyExA(key, list->count, write, &length, NULL, NULL, NULL, NULL);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS)
            return result;
        // The returned length excludes the NUL; one that would not have fit
        // is not believed.
        if (length >= room)
            return ERROR_MORE_DATA;
        write += length + 1;
        ++list->count;
    }
    *write = '\0';
    list->size = static_cast<DWORD>(write - start) + 1;
    return ERROR_SUCCESS;
}

void RepairProviderOrder()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProvidersKeyPath, 0, kProvidersKeyAccess, &key) != ERROR_SUCCESS) {
        MessageBoxA(NULL, kOpenFailedText, kOpenFailedCaption, MB_OK);
        return;
    }

    // Only a complete enumeration is written: a partial list written as if
    // whole would silently drop providers from the spooler. With no subkeys
    // the value is left as it stands, absent or not.
    ProviderList list = {};
    if (CollectProviderNames(key, &list) == ERROR_SUCCESS && list.count > 0) {
        // The write's result is not examined: there is no one to tell.
        RegSetValueExA(key, kOrderValueName, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE *>(list.block), list.size);
    }
    RegCloseKey(key);
}

int TaskMain(int /*argc*/, char ** /*argv*/)
{
    RepairProviderOrder();
    // Callers may rely on 0 whatever happened.
    exit(0);
}
