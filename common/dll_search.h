// Shared by both programs' entries.
#ifndef PROVIDER_ORDER_COMMON_DLL_SEARCH_H
#define PROVIDER_ORDER_COMMON_DLL_SEARCH_H

// Windows looks for a DLL that is not a known system DLL in the program's
// own folder first, and an administrator runs the repair elevated from
// wherever it was downloaded to: a DLL planted there would load with the
// program's rights. From here on, DLLs load from System32 only, where
// Windows can (8 and later; Vista and 7 with KB2533623). Where it cannot,
// nothing changes. Call it first thing, before anything can load a DLL.
void ConfineDllSearch();

#endif
