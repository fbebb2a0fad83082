// Starts a program with slow_network.dll loaded into it before any of its
// own code runs, and ends with its exit code; its standard handles are this
// one's. The program ends with this one, whatever ends this one.
//
//   with_slow_network.exe DLL PROGRAM [ARGUMENT ...]
#include <windows.h>

#include <stdio.h>
#include <string.h>

namespace {

// As long as a command line may be.
const size_t kCommandLineSize = 32768;

// Appends the argument as the C runtime will split it back: quoted where
// it holds a blank. None of the cases' arguments holds a quote.
bool AppendQuoted(char *commandLine, const char *argument)
{
    const bool quoted = argument[0] == '\0' || strpbrk(argument, " \t") != NULL;
    if (strlen(commandLine) + strlen(argument) + 4 > kCommandLineSize)
        return false;
    if (commandLine[0] != '\0')
        strcat(commandLine, " ");
    strcat(commandLine, quoted ? "\"" : "");
    strcat(commandLine, argument);
    strcat(commandLine, quoted ? "\"" : "");
    return true;
}

int Fail(const char *what)
{
    fprintf(stderr, "with_slow_network: %s failed: %lu\n", what, GetLastError());
    return 99;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: with_slow_network DLL PROGRAM [ARGUMENT ...]\n");
        return 99;
    }
    char dll[MAX_PATH];
    if (GetFullPathNameA(argv[1], MAX_PATH, dll, NULL) == 0)
        return Fail("GetFullPathNameA");
    static char commandLine[kCommandLineSize];
    for (int index = 2; index < argc; ++index) {
        if (!AppendQuoted(commandLine, argv[index])) {
            fprintf(stderr, "with_slow_network: the command line is too long\n");
            return 99;
        }
    }

    // Killed with this one: a case that gives up on this one ends both.
    const HANDLE job = CreateJobObjectA(NULL, NULL);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job != NULL)
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, TRUE, CREATE_SUSPENDED, NULL, NULL, &startup, &process))
        return Fail("CreateProcessA");
    if (job != NULL)
        AssignProcessToJobObject(job, process.hProcess);

    // The first thread to run in a new process initialises it; this one
    // then loads the DLL, and only then does the program's own thread start.
    const SIZE_T size = strlen(dll) + 1;
    void *const remote = VirtualAllocEx(process.hProcess, NULL, size, MEM_COMMIT, PAGE_READWRITE);
    const LPTHREAD_START_ROUTINE loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA")));
    HANDLE loader = NULL;
    if (remote != NULL && WriteProcessMemory(process.hProcess, remote, dll, size, NULL))
        loader = CreateRemoteThread(process.hProcess, NULL, 0, loadLibrary, remote, 0, NULL);
    DWORD loaded = 0;
    if (loader == NULL || WaitForSingleObject(loader, 30000) != WAIT_OBJECT_0 || !GetExitCodeThread(loader, &loaded) ||
        loaded == 0) {
        TerminateProcess(process.hProcess, 99);
        return Fail("loading the DLL into the program");
    }
    CloseHandle(loader);

    ResumeThread(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    return static_cast<int>(code);
}
