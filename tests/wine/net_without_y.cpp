// Wine's net.exe refuses /y, which Windows' net.exe asks for when a service
// depends on the one it stops, and which the guide's recipes therefore use.
// As net.exe in the folder a recipe runs in, where cmd looks first, this
// hands the rest of its arguments to Wine's own net.exe and ends with its
// exit code. A program, not a batch file: cmd does not come back from a
// batch file run without "call".
#include <windows.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char **argv)
{
    char system[MAX_PATH];
    const UINT length = GetSystemDirectoryA(system, MAX_PATH);
    char line[1024];
    int used = snprintf(line, sizeof line, "\"%.*s\\net.exe\"", static_cast<int>(length), system);
    for (int index = 1; index < argc && used > 0 && used < static_cast<int>(sizeof line); ++index) {
        if (_stricmp(argv[index], "/y") != 0)
            used += snprintf(line + used, sizeof line - static_cast<size_t>(used), " \"%s\"", argv[index]);
    }
    if (length == 0 || length >= MAX_PATH || used <= 0 || used >= static_cast<int>(sizeof line)) {
        fprintf(stderr, "net_without_y: the command line does not fit\n");
        return 1;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        fprintf(stderr, "net_without_y: CreateProcess failed: %lu\n", GetLastError());
        return 1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}
