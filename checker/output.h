// The checker's one way out for text.
#ifndef PROVIDER_ORDER_CHECKER_OUTPUT_H
#define PROVIDER_ORDER_CHECKER_OUTPUT_H

#include <windows.h>

// Writes text, which is in the ANSI code page as the registry's 8-bit calls
// give it, in the console's output code page, as Windows' own console tools
// do: a console shows it, and a pipe, findstr or a PowerShell capture reads
// it as a person would have seen it. With no console, in the OEM code page,
// which a console would have had.
void WriteText(HANDLE out, const char *text);

// To standard output.
void Print(const char *text);
void PrintNumber(DWORD value);
// "error N: the system's text for it"
void PrintError(LONG code);
// Each string of a REG_MULTI_SZ block on its own indented line, up to the
// empty string that ends the list or the end of the data.
void PrintNames(const char *block, DWORD size);

#endif
