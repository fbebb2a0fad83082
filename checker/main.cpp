// provider-order-check: says, without writing anything, what the repair
// would do to Order on this machine, for an administrator at a console or a
// fleet engine that reads exit codes. It reaches its verdict with the
// repair's own routines, so that the two cannot disagree.
#include "../common/dll_search.h"
#include "../common/provider_list.h"

#include <string.h>

namespace {

enum Verdict {
    kCurrent = 0,     // running the repair changes nothing
    kStale = 1,       // the repair would rewrite Order
    kUntouched = 2,   // the repair would leave Order as it is, unvouched for
    kUnreadable = 3,  // the key cannot be opened for reading
    kUsage = 4,
};

// Reading only: never KEY_SET_VALUE.
const REGSAM kReadAccess = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;

// More than the repair ever writes, so that a longer value shows as longer.
const DWORD kOrderReadSize = 4096;

// A subkey name as the 8-bit calls give it: 255 characters, each of at most
// two bytes in a double-byte code page, and its NUL.
const DWORD kNameScratchSize = 512;

const char kUsageText[] = "usage: provider-order-check [/?]\r\n"
                          "Says what provider-order.exe would do to Order, changing nothing.\r\n"
                          "Exit code and first word: 0 current, 1 stale, 2 untouched, 3 unreadable;\r\n"
                          "4 for a wrong argument.\r\n";

// Text goes out in the ANSI code page, the one the registry's 8-bit calls
// use. A console shows its own code page, so there the text is converted;
// redirected, the bytes go as they are.
void Write(HANDLE out, const char *text, DWORD length)
{
    DWORD written;
    DWORD mode;
    if (GetConsoleMode(out, &mode)) {
        WCHAR wide[kProviderListSize];
        char converted[2 * kProviderListSize];
        const int wideLength =
            MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), wide, static_cast<int>(kProviderListSize));
        const int convertedLength = WideCharToMultiByte(GetConsoleOutputCP(), 0, wide, wideLength, converted,
                                                        static_cast<int>(sizeof converted), NULL, NULL);
        if (wideLength > 0 && convertedLength > 0) {
            WriteFile(out, converted, static_cast<DWORD>(convertedLength), &written, NULL);
            return;
        }
    }
    WriteFile(out, text, length, &written, NULL);
}

void Print(const char *text)
{
    Write(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(strlen(text)));
}

// A DWORD in decimal: at most ten digits, and the NUL.
const DWORD kDecimalBase = 10;
const size_t kDecimalTextSize = 11;

// Enough for any of the system's texts for a registry error.
const DWORD kErrorTextSize = 512;

void PrintNumber(DWORD value)
{
    char digits[kDecimalTextSize];
    char *at = digits + sizeof digits - 1;
    *at = '\0';
    do {
        *--at = static_cast<char>('0' + value % kDecimalBase);
        value /= kDecimalBase;
    } while (value != 0);
    Print(at);
}

// "code N: the system's text for it"
void PrintError(LONG code)
{
    Print("error ");
    PrintNumber(static_cast<DWORD>(code));
    char text[kErrorTextSize];
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK, NULL,
                       static_cast<DWORD>(code), 0, text, sizeof text, NULL);
    if (length == 0)
        return;
    DWORD end = length;
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\r' || text[end - 1] == '\n'))
        --end;
    text[end] = '\0';
    Print(": ");
    Print(text);
}

// Each string of a REG_MULTI_SZ block on its own indented line, up to the
// empty string that ends the list or the end of the data.
void PrintNames(const char *block, DWORD size)
{
    const char *name = block;
    while (name < block + size && *name != '\0') {
        Print("  ");
        Print(name);
        Print("\r\n");
        name += strlen(name) + 1;
    }
}

// The bytes the names would take as Order, found by enumerating them once
// more; 0 if the enumeration does not end cleanly.
DWORD BytesNeeded(HKEY key)
{
    DWORD total = 1;
    for (DWORD index = 0;; ++index) {
        char name[kNameScratchSize];
        DWORD length = sizeof name;
        const LONG result = RegEnumKeyExA(key, index, name, &length, NULL, NULL, NULL, NULL);
        if (result == ERROR_NO_MORE_ITEMS)
            return total;
        if (result != ERROR_SUCCESS)
            return 0;
        total += length + 1;
    }
}

Verdict Untouched(HKEY key, const OrderPlan &plan)
{
    Print("untouched: ");
    switch (plan.decision) {
    case kNoSubkeys:
        Print("no provider subkeys");
        break;
    case kNamesTooLong: {
        const DWORD needed = BytesNeeded(key);
        Print("the names take ");
        if (needed != 0) {
            PrintNumber(needed);
            Print(" bytes, ");
        }
        Print("over 1024");
        break;
    }
    case kEnumerationFailed:
        Print("listing subkey ");
        PrintNumber(plan.index);
        Print(": ");
        PrintError(plan.result);
        break;
    default: {
        const char *name = plan.list.block;
        for (DWORD index = 0; index < plan.index; ++index)
            name += strlen(name) + 1;
        Print("subkey ");
        PrintNumber(plan.index);
        Print(" reads as \"");
        Print(name);
        Print("\", outside the code page");
        break;
    }
    }
    Print("\r\n");
    return kUntouched;
}

Verdict Check(HKEY key)
{
    OrderPlan plan;
    PlanProviderOrder(key, &plan);
    if (plan.decision != kWriteOrder)
        return Untouched(key, plan);

    // Two bytes beyond what the call may fill, so that even unterminated
    // data ends in a NUL.
    char order[kOrderReadSize + 2];
    DWORD size = kOrderReadSize;
    DWORD type = REG_NONE;
    const LONG result = RegQueryValueExA(key, kOrderValueName, NULL, &type, reinterpret_cast<BYTE *>(order), &size);
    if (result == ERROR_SUCCESS && type == REG_MULTI_SZ && size == plan.list.size &&
        memcmp(order, plan.list.block, size) == 0) {
        Print("current: Order lists every provider subkey\r\n");
        PrintNames(plan.list.block, plan.list.size);
        return kCurrent;
    }

    Print("stale: the repair would rewrite Order\r\nnow:");
    if (result == ERROR_FILE_NOT_FOUND) {
        Print(" absent\r\n");
    } else if (result == ERROR_MORE_DATA) {
        Print(" ");
        PrintNumber(size);
        Print(" bytes\r\n");
    } else if (result != ERROR_SUCCESS) {
        Print(" ");
        PrintError(result);
        Print("\r\n");
    } else if (type != REG_MULTI_SZ) {
        Print(" type ");
        PrintNumber(type);
        Print("\r\n");
    } else {
        Print("\r\n");
        order[size] = '\0';
        order[size + 1] = '\0';
        PrintNames(order, size);
    }
    Print("after:\r\n");
    PrintNames(plan.list.block, plan.list.size);
    return kStale;
}

}  // namespace

int main(int argc, char **argv)
{
    ConfineDllSearch();

    if (argc > 1) {
        const bool help =
            argc == 2 && (strcmp(argv[1], "/?") == 0 || strcmp(argv[1], "-h") == 0 || strcmp(argv[1], "--help") == 0);
        const HANDLE out = GetStdHandle(help ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
        Write(out, kUsageText, sizeof kUsageText - 1);
        return help ? 0 : kUsage;
    }

    HKEY key;
    const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProvidersKeyPath, 0, kReadAccess, &key);
    if (opened != ERROR_SUCCESS) {
        Print("unreadable: ");
        PrintError(opened);
        Print("\r\n");
        return kUnreadable;
    }
    const Verdict verdict = Check(key);
    RegCloseKey(key);
    return verdict;
}
