// What the print providers key holds, and whether it may be written as its
// Order value: shared by the repair and the checker, so that the two cannot
// disagree.
#ifndef PROVIDER_ORDER_COMMON_PROVIDER_LIST_H
#define PROVIDER_ORDER_COMMON_PROVIDER_LIST_H

#include <windows.h>

const char kProvidersKeyPath[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Providers";
const char kOrderValueName[] = "Order";

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

// The 8-bit calls hand back a name outside the code page substituted, with
// success ("?" or a best-fit letter). Proves that each collected name opens
// a subkey of key, which must allow KEY_QUERY_VALUE or refuse it (a refusal
// still proves the subkey is there): a name that is empty, holds a path
// separator, equals an earlier one without regard to ASCII case (the
// registry ignores case, so two real subkeys never do) or opens nothing is
// unproven. Returns the first unproven name's index, or list->count.
DWORD FindUnprovenName(HKEY key, const ProviderList *list);

enum OrderDecision {
    kWriteOrder,         // the list is complete and proven
    kNoSubkeys,          // nothing to write
    kNamesTooLong,       // the names do not fit in kProviderListSize bytes
    kEnumerationFailed,  // result: the call's code; index: the call's index
    kNameNotASubkey,     // index: the first unproven name
};

struct OrderPlan {
    OrderDecision decision;
    LONG result;
    DWORD index;
    ProviderList list;
};

// What a repair does with key, opened with KEY_ENUMERATE_SUB_KEYS: only
// kWriteOrder writes plan->list.
void PlanProviderOrder(HKEY key, OrderPlan *plan);

// The spooler loads the providers Order names, in its order, up to the
// empty string that ends the list, opening each subkey by name, which the
// registry matches without regard to letter case. Here a name names a
// subkey as the proof compares them, without regard to ASCII case: a name
// differing in another letter's case alone names none, which errs towards
// a rewrite, never towards calling a list complete that is not. Fills merged
// with the names of subkeys, a proven list (kWriteOrder), in the order an
// administrator keeps: each name of the order block (its size bytes) that
// names a subkey, in the block's order, once, spelled as the subkey is;
// then every subkey it leaves out, in enumeration order. So merged holds
// the same names as subkeys, in as many bytes; with no block (size 0),
// exactly subkeys. Returns whether the block is already a complete list:
// ended by its empty string, naming each subkey exactly once and nothing
// else.
bool MergeProviderOrder(const ProviderList *subkeys, const char *order, DWORD size, ProviderList *merged);

#endif
