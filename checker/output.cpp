#include "output.h"

#include <string.h>

// Room for the longest text printed at once of the checker's own: a
// subkey name of 255 double-byte characters, the system's text for an
// error, the usage. Longer text, such as a string of a crafted Order value,
// cannot be converted and goes out as it is.
const int kPrintableSize = 1024;
// UTF-8 (chcp 65001) takes up to three bytes for a UTF-16 unit.
const int kConvertedSize = 3 * kPrintableSize;

// A DWORD in decimal: at most ten digits, and the NUL.
const DWORD kDecimalBase = 10;
const size_t kDecimalTextSize = 11;

// Enough for any of the system's texts for a registry or network error.
const DWORD kErrorTextSize = 512;

void WriteText(HANDLE out, const char *text)
{
    const int length = static_cast<int>(strlen(text));
    UINT codePage = GetConsoleOutputCP();
    if (codePage == 0)
        codePage = CP_OEMCP;
    WCHAR wide[kPrintableSize];
    char converted[kConvertedSize];
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, text, length, wide, kPrintableSize);
    const int convertedLength =
        wideLength > 0 ? WideCharToMultiByte(codePage, 0, wide, wideLength, converted, kConvertedSize, NULL, NULL) : 0;
    DWORD written;
    // Text that cannot be converted still goes out, as it is.
    if (convertedLength > 0)
        WriteFile(out, converted, static_cast<DWORD>(convertedLength), &written, NULL);
    else
        WriteFile(out, text, static_cast<DWORD>(length), &written, NULL);
}

void Print(const char *text)
{
    WriteText(GetStdHandle(STD_OUTPUT_HANDLE), text);
}

// By hand: FormatMessageA, the one formatter imported here (user32's
// wsprintfA is not, nor mingw's printf), would cost 32 bytes more code.
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

void PrintError(LONG code)
{
    Print("error ");
    PrintNumber(static_cast<DWORD>(code));
    char text[kErrorTextSize];
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK, NULL,
                       static_cast<DWORD>(code), 0, text, kErrorTextSize, NULL);
    if (length == 0)
        return;
    DWORD end = length;
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\r' || text[end - 1] == '\n'))
        --end;
    text[end] = '\0';
    Print(": ");
    Print(text);
}

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
