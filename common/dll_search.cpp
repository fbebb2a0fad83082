#include "dll_search.h"

#include <windows.h>

// LOAD_LIBRARY_SEARCH_SYSTEM32, which headers pinned to Windows XP lack.
static const DWORD kSearchSystem32Only = 0x00000800;

typedef BOOL(WINAPI *SetDefaultDllDirectoriesCall)(DWORD directoryFlags);

void ConfineDllSearch()
{
    // Looked up rather than imported, so that the program still starts
    // where kernel32 does not have it.
    const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    if (kernel32 == NULL)
        return;
    const FARPROC found = GetProcAddress(kernel32, "SetDefaultDllDirectories");
    if (found == NULL)
        return;
    // Through a plain function pointer: FARPROC's own type says nothing of
    // the call's real one.
    const SetDefaultDllDirectoriesCall confine =
        reinterpret_cast<SetDefaultDllDirectoriesCall>(reinterpret_cast<void (*)()>(found));
    confine(kSearchSystem32Only);
}
