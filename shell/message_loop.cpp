#include "shell.h"

int RunMessageLoop()
{
    // The loop arrives with dialog routing; no task returns yet.
    return 0;
}
