// Standard output and error, the code page conversions and the system's
// texts, as the checker relies on them: each conversion and each text
// honours the room it is given and answers 0 when it does not fit.
#include "fake_platform.h"

#include <stdio.h>
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

// Code page 437's bytes for the letters the tests use; 1252's are Latin-1.
static const std::map<WCHAR, char> kOem437 = {
    {0x00FC, '\x81'}, {0x00E9, '\x82'}, {0x00E4, '\x84'}, {0x00F6, '\x94'}, {0x00DC, '\x9A'}, {0x00DF, '\xE1'},
};

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int length, LPWSTR wide, int wideSize)
{
    if (g_console.conversionsFail || codePage != CP_ACP || length > wideSize)
        return 0;
    for (int at = 0; at < length; ++at) {
        const BYTE byte = static_cast<BYTE>(text[at]);
        wide[at] = byte == 0x80 ? 0x20AC : byte;  // the euro sign, else Latin-1
    }
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
        } else if (codePage == 65001) {
            if (unit >= 0x800)
                bytes += static_cast<char>(0xE0 | unit >> 12);
            bytes += static_cast<char>((unit >= 0x800 ? 0x80 : 0xC0) | (unit >> 6 & 0x3F));
            bytes += static_cast<char>(0x80 | (unit & 0x3F));
        } else if (codePage == 1252) {
            bytes += unit == 0x20AC ? '\x80' : unit <= 0xFF ? static_cast<char>(unit) : '?';
        } else if (codePage == 437) {
            const auto found = kOem437.find(unit);
            bytes += found != kOem437.end() ? found->second : '?';
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

// %1 to %9 with an optional printf format between exclamation marks, %n
// for a line break and %% for a percent sign, from an argument array.
static std::string FormatFromString(const char *message, const DWORD_PTR *inserts)
{
    std::string text;
    for (const char *at = message; *at != '\0'; ++at) {
        if (*at != '%') {
            text += *at;
            continue;
        }
        ++at;
        if (*at == 'n') {
            text += "\r\n";
        } else if (*at >= '1' && *at <= '9') {
            const DWORD_PTR insert = inserts[*at - '1'];
            std::string format = "%s";
            if (at[1] == '!') {
                const char *const end = strchr(at + 2, '!');
                format = "%" + std::string(at + 2, end);
                at = end;
            }
            char formatted[64];
            if (format.back() == 's')
                snprintf(formatted, sizeof formatted, format.c_str(), reinterpret_cast<const char *>(insert));
            else
                snprintf(formatted, sizeof formatted, format.c_str(), static_cast<unsigned long>(insert));
            text += formatted;
        } else {
            text += *at;
        }
    }
    return text;
}

DWORD FormatMessageA(DWORD flags, const void *source, DWORD messageId, DWORD, LPSTR buffer, DWORD size,
                     va_list *arguments)
{
    std::string text;
    if (flags & FORMAT_MESSAGE_FROM_SYSTEM) {
        const auto found = kSystemTexts.find(messageId);
        if (found == kSystemTexts.end())
            return 0;
        text = found->second;
    } else if ((flags & FORMAT_MESSAGE_FROM_STRING) && (flags & FORMAT_MESSAGE_ARGUMENT_ARRAY)) {
        text = FormatFromString(static_cast<const char *>(source), reinterpret_cast<const DWORD_PTR *>(arguments));
    } else {
        return 0;
    }
    if (text.size() + 1 > size)
        return 0;
    memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}
