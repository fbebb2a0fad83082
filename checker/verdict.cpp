#include "verdict.h"

#include "../common/provider_list.h"
#include "output.h"

#include <string.h>

namespace {

// Reading only: never KEY_SET_VALUE.
const REGSAM kReadAccess = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;

// More than the repair ever writes, so that a longer value shows as longer.
const DWORD kOrderReadSize = 4096;

// A subkey name as the 8-bit calls give it: 255 characters, each of at most
// two bytes in a double-byte code page, and its NUL.
const DWORD kNameScratchSize = 512;

// A DNS name's longest; NetBIOS names are shorter.
const size_t kComputerNameLimit = 255;
// Refused in computer names; a backslash would make a path of it.
const char kNotInComputerNames[] = "\\/:*?\"<>| ";

// "word: " and, for a named computer, "\\NAME: ": the start of its verdict.
void PrintVerdict(const char *word, const char *computer)
{
    Print(word);
    Print(": ");
    if (computer != NULL) {
        Print(computer);
        Print(": ");
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

Verdict Untouched(const char *computer, HKEY key, const OrderPlan &plan)
{
    PrintVerdict("untouched", computer);
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

// key: the providers key, opened for reading.
Verdict Check(const char *computer, HKEY key)
{
    OrderPlan plan;
    PlanProviderOrder(key, &plan);
    if (plan.decision != kWriteOrder)
        return Untouched(computer, key, plan);

    // Two bytes beyond what the call may fill, so that even unterminated
    // data ends in a NUL.
    char order[kOrderReadSize + 2];
    DWORD size = kOrderReadSize;
    DWORD type = REG_NONE;
    const LONG result = RegQueryValueExA(key, kOrderValueName, NULL, &type, reinterpret_cast<BYTE *>(order), &size);
    // Every byte, not up to the first NUL: a REG_MULTI_SZ is many strings.
    if (result == ERROR_SUCCESS && type == REG_MULTI_SZ && size == plan.list.size &&
        memcmp(order, plan.list.block, size) == 0) {
        PrintVerdict("current", computer);
        Print("Order lists every provider subkey\r\n");
        PrintNames(plan.list.block, plan.list.size);
        return kCurrent;
    }

    PrintVerdict("stale", computer);
    Print("the repair would rewrite Order\r\nnow:");
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

// The rest of an unreadable verdict, after what could not be read.
Verdict Unreadable(LONG code)
{
    Print(": ");
    PrintError(code);
    Print("\r\n");
    return kUnreadable;
}

}  // namespace

bool IsComputerArgument(const char *argument)
{
    if (argument[0] != '\\' || argument[1] != '\\')
        return false;
    const char *const name = argument + 2;
    const size_t length = strlen(name);
    if (length == 0 || length > kComputerNameLimit)
        return false;
    for (const char *at = name; *at != '\0'; ++at) {
        const BYTE character = static_cast<BYTE>(*at);
        // A double-byte letter's trail byte may be a backslash's: no path.
        if (IsDBCSLeadByte(character) && at[1] != '\0')
            ++at;
        else if (character < ' ' || strchr(kNotInComputerNames, character) != NULL)
            return false;
    }
    return true;
}

Verdict CheckComputer(const char *computer)
{
    HKEY root = HKEY_LOCAL_MACHINE;
    if (computer != NULL) {
        // Never this computer's registry in its place: a failure is the
        // verdict.
        const LONG connected = RegConnectRegistryA(computer, HKEY_LOCAL_MACHINE, &root);
        if (connected != ERROR_SUCCESS) {
            PrintVerdict("unreadable", computer);
            Print("remote registry");
            return Unreadable(connected);
        }
    }
    HKEY key;
    const LONG opened = RegOpenKeyExA(root, kProvidersKeyPath, 0, kReadAccess, &key);
    Verdict verdict;
    if (opened == ERROR_SUCCESS) {
        verdict = Check(computer, key);
        RegCloseKey(key);
    } else {
        PrintVerdict("unreadable", computer);
        Print("HKLM\\");
        Print(kProvidersKeyPath);
        verdict = Unreadable(opened);
    }
    if (computer != NULL)
        RegCloseKey(root);
    return verdict;
}

Verdict CheckComputers(char *const *computers, int count)
{
    Verdict highest = kCurrent;
    for (int index = 0; index < count; ++index) {
        const Verdict verdict = CheckComputer(computers[index]);
        if (verdict > highest)
            highest = verdict;
    }
    return highest;
}
