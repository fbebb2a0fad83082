#include "shell.h"

#include "../common/dll_search.h"

#include <stdlib.h>

AppStartupStateRecord AppStartupState;

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    AppStartupState.hInstance = hInstance;
    AppStartupState.hPrevInstance = hPrevInstance;
    AppStartupState.nCmdShow = nCmdShow;
    ConfineDllSearch();

    // The task runs inside this frame, so the vector and its text live for
    // as long as the task can use them.
    char pathText[kPathTextSize];
    char argumentText[kArgumentTextSize];
    char *argv[kArgumentVectorSize];

    // Windows XP leaves the buffer unterminated when the path fills it, and a
    // failed call (result 0) leaves it undefined: cut at the last byte, or
    // make the path empty.
    DWORD pathLength = GetModuleFileNameA(hInstance, pathText, kPathTextSize);
    if (pathLength >= static_cast<DWORD>(kPathTextSize))
        pathLength = kPathTextSize - 1;
    pathText[pathLength] = '\0';
    argv[0] = pathText;

    const int argc = SplitCommandLine(lpCmdLine, argumentText, argv);
    TaskMain(argc, argv);
    exit(RunMessageLoop());
}
