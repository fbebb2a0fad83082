// The routines both programs share: what the providers key holds, and
// whether it may be written as Order.
#include "provider_list.h"

#include "registry_name.h"

#include <string.h>

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

// One right, the least there is to ask for: a subkey whose permissions
// refuse even this one has still been found.
static const REGSAM kSubkeyProofAccess = KEY_QUERY_VALUE;

// A backslash would make the open follow a path. In a double-byte code page
// its byte can also be a trail byte, which is no separator.
static bool HoldsPathSeparator(const char *name)
{
    for (const char *at = name; *at != '\0'; ++at) {
        if (IsDBCSLeadByte(static_cast<BYTE>(*at))) {
            if (at[1] == '\0')
                break;
            ++at;
        } else if (*at == '\\') {
            return true;
        }
    }
    return false;
}

DWORD FindUnprovenName(HKEY key, const ProviderList *list)
{
    const char *name = list->block;
    for (DWORD index = 0; index < list->count; ++index) {
        if (*name == '\0' || HoldsPathSeparator(name))
            return index;
        for (const char *earlier = list->block; earlier != name; earlier += strlen(earlier) + 1) {
            if (SameNameIgnoringAsciiCase(earlier, name))
                return index;
        }
        HKEY subkey;
        const LONG result = RegOpenKeyExA(key, name, 0, kSubkeyProofAccess, &subkey);
        if (result == ERROR_FILE_NOT_FOUND)
            return index;
        if (result == ERROR_SUCCESS)
            RegCloseKey(subkey);
        name += strlen(name) + 1;
    }
    // A name with a NUL inside reads as more names than were counted, so
    // the walk ends short of the final NUL.
    if (name != list->block + list->size - 1)
        return list->count - 1;
    return list->count;
}

void PlanProviderOrder(HKEY key, OrderPlan *plan)
{
    plan->result = CollectProviderNames(key, &plan->list);
    plan->index = plan->list.count;
    if (plan->result == ERROR_MORE_DATA) {
        plan->decision = kNamesTooLong;
    } else if (plan->result != ERROR_SUCCESS) {
        plan->decision = kEnumerationFailed;
    } else if (plan->list.count == 0) {
        plan->decision = kNoSubkeys;
    } else {
        plan->index = FindUnprovenName(key, &plan->list);
        plan->decision = plan->index < plan->list.count ? kNameNotASubkey : kWriteOrder;
    }
}
