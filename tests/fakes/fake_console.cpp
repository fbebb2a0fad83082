// Standard output and error, the code page conversions and the system's
// texts, as the checker relies on them: each conversion and each text
// honours the room it is given and answers 0 when it does not fit.
#include "fake_platform.h"

#include <string.h>

#include <map>

static HANDLE const kStandardOutput = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x11));
static HANDLE const kStandardError = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x12));

HANDLE GetStdHandle(DWORD which)
{
    return which == STD_OUTPUT_HANDLE ? kStandardOutput : which == STD_ERROR_HANDLE ? kStandardError : NULL;
}

BOOL WriteFile(HANDLE file, const void *buffer, DWORD size, LPDWORD written, void *)
{
    std::string *const to = file == kStandardOutput ? &g_console.out : file == kStandardError ? &g_console.err : NULL;
    if (to == NULL)
        return 0;
    to->append(static_cast<const char *>(buffer), size);
    *written = size;
    return 1;
}

UINT GetConsoleOutputCP()
{
    return g_console.outputCodePage;
}

// The ANSI code page's letters are Latin-1 here, as 1252's mostly are.
int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int length, LPWSTR wide, int wideSize)
{
    if (g_console.conversionsFail || codePage != CP_ACP || length > wideSize)
        return 0;
    for (int at = 0; at < length; ++at)
        wide[at] = static_cast<BYTE>(text[at]);
    return length;
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR wide, int length, LPSTR text, int size, LPCSTR, BOOL *)
{
    if (codePage == CP_OEMCP)
        codePage = 437;
    std::string bytes;
    for (int at = 0; at < length; ++at) {
        const WCHAR unit = wide[at];
        if (unit < 0x80) {
            bytes += static_cast<char>(unit);
        } else if (codePage == 65001) {  // Latin-1 takes two bytes in UTF-8
            bytes += static_cast<char>(0xC0 | unit >> 6);
            bytes += static_cast<char>(0x80 | (unit & 0x3F));
        } else if (codePage == 437) {
            bytes += unit == 0x00FC ? '\x81' : '?';  // its u with diaeresis
        } else {
            return 0;
        }
    }
    if (static_cast<int>(bytes.size()) > size)
        return 0;
    memcpy(text, bytes.data(), bytes.size());
    return static_cast<int>(bytes.size());
}

// The system's texts, as FORMAT_MESSAGE_MAX_WIDTH_MASK gives them: the line
// break turned into a space.
static const std::map<DWORD, std::string> kSystemTexts = {
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified. "},
    {ERROR_ACCESS_DENIED, "Access is denied. "},
    {ERROR_BAD_NETPATH, "The network path was not found. "},
};

DWORD FormatMessageA(DWORD flags, const void *, DWORD messageId, DWORD, LPSTR buffer, DWORD size, va_list *)
{
    const auto found = kSystemTexts.find(messageId);
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || found == kSystemTexts.end())
        return 0;
    const std::string &text = found->second;
    if (text.size() + 1 > size)
        return 0;
    memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}
