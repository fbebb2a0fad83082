// How two subkey names compare, for the routines that prove and merge them.
#ifndef PROVIDER_ORDER_COMMON_REGISTRY_NAME_H
#define PROVIDER_ORDER_COMMON_REGISTRY_NAME_H

#include <windows.h>

// ASCII letters compare without regard to case; a double-byte letter's
// trail byte may fall among them, and compares exactly.
static inline bool SameNameIgnoringAsciiCase(const char *left, const char *right)
{
    for (;; ++left, ++right) {
        char a = *left;
        char b = *right;
        if (a == '\0' || b == '\0')
            return a == b;
        if (IsDBCSLeadByte(static_cast<BYTE>(a))) {
            if (a != b || left[1] != right[1])
                return false;
            if (left[1] == '\0')
                return true;
            ++left;
            ++right;
            continue;
        }
        if (a >= 'a' && a <= 'z')
            a = static_cast<char>(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z')
            b = static_cast<char>(b - 'a' + 'A');
        if (a != b)
            return false;
    }
}

#endif
