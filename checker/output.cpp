#include "output.h"

#include <string.h>

// Room for the longest text converted at once of the checker's own: a
// subkey name of 255 double-byte characters, the system's text for an
// error, the usage. Longer text, such as a string of a crafted Order value,
// cannot be converted and goes out as it is.
const int kPrintableSize = 1024;
// UTF-8 (chcp 65001) takes up to three bytes for a UTF-16 unit.
const int kConvertedSize = 3 * kPrintableSize;

// A DWORD in decimal: at most ten digits, and the NUL.
const DWORD kDecimalBase = 10;
const size_t kDecimalTextSize = 11;

// Enough for any of the system's texts for a registry, file or network error.
const DWORD kErrorTextSize = 512;

void Clear(Phrase *phrase)
{
    phrase->length = 0;
    phrase->text[0] = '\0';
}

void Add(Phrase *phrase, const char *text)
{
    while (*text != '\0' && phrase->length < kPhraseSize - 1)
        phrase->text[phrase->length++] = *text++;
    phrase->text[phrase->length] = '\0';
}

void AddClause(Phrase *phrase, const char *clause)
{
    if (phrase->length != 0)
        Add(phrase, phrase->text[phrase->length - 1] == '.' ? " " : "; ");
    Add(phrase, clause);
}

// By hand: FormatMessageA, the one formatter imported here (user32's
// wsprintfA is not, nor mingw's printf), would cost more code.
void AddNumber(Phrase *phrase, DWORD value)
{
    char digits[kDecimalTextSize];
    char *at = digits + sizeof digits - 1;
    *at = '\0';
    do {
        *--at = static_cast<char>('0' + value % kDecimalBase);
        value /= kDecimalBase;
    } while (value != 0);
    Add(phrase, at);
}

void AddError(Phrase *phrase, LONG code)
{
    Add(phrase, "error ");
    AddNumber(phrase, static_cast<DWORD>(code));
    char text[kErrorTextSize];
    // One line: the system's texts end in a line break, and some have more.
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK, NULL,
                       static_cast<DWORD>(code), 0, text, kErrorTextSize, NULL);
    if (length == 0)
        return;
    DWORD end = length;
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\r' || text[end - 1] == '\n'))
        --end;
    text[end] = '\0';
    Add(phrase, ": ");
    Add(phrase, text);
}

void BeginMessage(Phrase *message)
{
    Clear(message);
    Add(message, "provider-order-check: ");
}

void WriteMessage(Phrase *message)
{
    Add(message, "\r\n");
    WriteText(GetStdHandle(STD_ERROR_HANDLE), message->text);
}

UINT ConsoleCodePage()
{
    const UINT codePage = GetConsoleOutputCP();
    return codePage != 0 ? codePage : CP_OEMCP;
}

// Text in the ANSI code page into the console's output code page; returns
// the converted length, or 0 where it cannot be converted.
static int Convert(const char *text, int length, char *converted)
{
    WCHAR wide[kPrintableSize];
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, text, length, wide, kPrintableSize);
    return wideLength > 0
               ? WideCharToMultiByte(ConsoleCodePage(), 0, wide, wideLength, converted, kConvertedSize, NULL, NULL)
               : 0;
}

void Append(Report *report, const char *text, bool quoted)
{
    const int length = static_cast<int>(strlen(text));
    char converted[kConvertedSize];
    int convertedLength = Convert(text, length, converted);
    // Text that cannot be converted still goes out, as it is.
    const char *from = converted;
    if (convertedLength <= 0) {
        from = text;
        convertedLength = length;
    }
    for (const char *at = from; at < from + convertedLength; ++at) {
        const int copies = quoted && *at == '"' ? 2 : 1;
        for (int copy = 0; copy < copies && report->length < kReportSize; ++copy)
            report->text[report->length++] = *at;
    }
}

void WriteReport(HANDLE out, const char *text, DWORD length)
{
    DWORD written;
    WriteFile(out, text, length, &written, NULL);
}

void WriteText(HANDLE out, const char *text)
{
    const int length = static_cast<int>(strlen(text));
    char converted[kConvertedSize];
    const int convertedLength = Convert(text, length, converted);
    if (convertedLength > 0)
        WriteReport(out, converted, static_cast<DWORD>(convertedLength));
    else
        WriteReport(out, text, static_cast<DWORD>(length));
}
