// Order's names merged with the subkeys: for the checker, which keeps the
// order an administrator chose where the repair writes the registry's.
#include "provider_list.h"
#include "registry_name.h"

#include <string.h>

// The most subkeys a list holds: two bytes a name at least, a letter and
// its NUL.
static const DWORD kMostProviders = kProviderListSize / 2;

bool MergeProviderOrder(const ProviderList *subkeys, const char *order, DWORD size, ProviderList *merged)
{
    bool named[kMostProviders] = {};
    char *write = merged->block;
    DWORD namedCount = 0;
    bool complete = false;
    bool exact = true;
    const char *const end = order + size;
    for (const char *name = order; name < end;) {
        const char *const nul = static_cast<const char *>(memchr(name, '\0', static_cast<size_t>(end - name)));
        // A name without its NUL is no string of the list, whatever follows.
        if (nul == NULL)
            break;
        if (nul == name) {
            complete = true;
            break;
        }
        DWORD index = 0;
        const char *subkey = subkeys->block;
        while (index < subkeys->count && !SameNameIgnoringAsciiCase(subkey, name)) {
            subkey += strlen(subkey) + 1;
            ++index;
        }
        if (index == subkeys->count || named[index]) {
            exact = false;
        } else {
            named[index] = true;
            ++namedCount;
            const size_t length = strlen(subkey) + 1;
            memcpy(write, subkey, length);
            write += length;
        }
        name = nul + 1;
    }
    const char *subkey = subkeys->block;
    for (DWORD index = 0; index < subkeys->count; ++index) {
        const size_t length = strlen(subkey) + 1;
        if (!named[index]) {
            memcpy(write, subkey, length);
            write += length;
        }
        subkey += length;
    }
    *write = '\0';
    merged->count = subkeys->count;
    merged->size = subkeys->size;
    return complete && exact && namedCount == subkeys->count;
}
