// A program that crashes: under the cases' wrapper it must fail, with Wine's
// crash line, instead of waiting on a debugger's dialog.
#include <stdio.h>

int main()
{
    volatile int *const nowhere = NULL;
    puts("reading address 0");
    fflush(stdout);
    return *nowhere;
}
