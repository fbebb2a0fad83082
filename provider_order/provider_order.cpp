#include "provider_order.h"

#include "../shell/shell.h"

#include <stdlib.h>

// The two rights the repair needs and nothing else: the old value is never
// read, so it plays no part in the new one.
static const REGSAM kProvidersKeyAccess = KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS;

void RepairProviderOrder()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProvidersKeyPath, 0, kProvidersKeyAccess, &key) != ERROR_SUCCESS) {
        MessageBoxA(NULL, kOpenFailedText, kOpenFailedCaption, MB_OK);
        return;
    }

    // Only a complete, proven list is written: a partial list, or names
    // that open nothing, would silently drop providers from the spooler.
    // Otherwise the value is left as it stands, absent or not.
    OrderPlan plan;
    PlanProviderOrder(key, &plan);
    if (plan.decision == kWriteOrder) {
        // The write's result is not examined: there is no one to tell.
        RegSetValueExA(key, kOrderValueName, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE *>(plan.list.block),
                       plan.list.size);
    }
    RegCloseKey(key);
}

int TaskMain(int /*argc*/, char ** /*argv*/)
{
    RepairProviderOrder();
    // Callers may rely on 0 whatever happened.
    exit(0);
}
