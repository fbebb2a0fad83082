// The repair's task: rebuilds the print spooler's provider Order value from
// the subkeys of the providers key.
#ifndef PROVIDER_ORDER_PROVIDER_ORDER_H
#define PROVIDER_ORDER_PROVIDER_ORDER_H

#include "../common/provider_list.h"

const char kOpenFailedText[] = "Can't Enumerate Registry for Print Providers";
const char kOpenFailedCaption[] = "info";

// One repair: open, collect, prove, write, close; the message box if the key
// cannot be opened. Returns instead of ending the process.
void RepairProviderOrder();

#endif
