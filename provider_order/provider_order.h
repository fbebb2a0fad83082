// Rebuilds the print spooler's provider Order value from the subkeys of the
// providers key.
#ifndef PROVIDER_ORDER_PROVIDER_ORDER_H
#define PROVIDER_ORDER_PROVIDER_ORDER_H

#include <windows.h>

const char kProvidersKeyPath[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Providers";
const char kOrderValueName[] = "Order";
const char kOpenFailedText[] = "Can't Enumerate Registry for Print Providers";
const char kOpenFailedCaption[] = "info";

// The whole REG_MULTI_SZ block, the list's final NUL included.
const DWORD kProviderListSize = 1024;

struct ProviderList {
    DWORD count;  // names collected
    DWORD size;   // bytes to write: each name, its NUL, and the final NUL
    char block[kProviderListSize];
};

// Fills the list from the subkeys of key in enumeration order. Returns
// ERROR_SUCCESS only when the enumeration ran to its end; anything else
// (names that do not fit, a failing call) means the list is incomplete.
LONG CollectProviderNames(HKEY key, ProviderList *list);

// One repair: open, collect, write, close; the message box if the key
// cannot be opened. Returns instead of ending the process.
void RepairProviderOrder();

#endif
