// Standard output and error, the code page conversions and the system's
// texts, as the checker relies on them: each conversion and each text
// honours the room it is given and answers 0 when it does not fit.
#include "fake_platform.h"

#include <string.h>

#include <map>
#include <string>
#include <vector>

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
    g_console.screen.append(static_cast<const char *>(buffer), size);
    *written = size;
    if (file == kStandardOutput && g_console.afterWritingOut)
        g_console.afterWritingOut();
    return 1;
}

// A file or a pipe has no screen buffer: the call fails, as on Windows.
BOOL GetConsoleScreenBufferInfo(HANDLE console, CONSOLE_SCREEN_BUFFER_INFO *info)
{
    if (console != kStandardError || g_console.errColumns == 0) {
        SetFakeLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    *info = CONSOLE_SCREEN_BUFFER_INFO();
    info->dwSize.X = g_console.errColumns;
    info->dwSize.Y = 9001;
    info->srWindow.Left = 0;
    info->srWindow.Right = static_cast<SHORT>(g_console.errColumns - 1);
    return 1;
}

UINT GetConsoleOutputCP()
{
    return g_console.outputCodePage;
}

// The ANSI code page's letters are Latin-1 here, as 1252's mostly are, and
// the OEM code page has its u with diaeresis; UTF-8 is decoded for real. As
// the platform does, a length of 0 fails, a room of 0 asks for the room
// needed, and too little room fails.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide, int wideSize)
{
    if (codePage == CP_OEMCP)
        codePage = 437;
    if (g_console.conversionsFail || length <= 0 || (codePage != CP_ACP && codePage != CP_UTF8 && codePage != 437)) {
        SetFakeLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::vector<WCHAR> units;
    const BYTE *const bytes = reinterpret_cast<const BYTE *>(text);
    for (int at = 0; at < length;) {
        uint32_t point = bytes[at];
        int follow = 0;
        if (codePage == CP_UTF8 && point >= 0x80) {
            follow = point >= 0xF0 ? 3 : point >= 0xE0 ? 2 : point >= 0xC0 ? 1 : -1;
            point &= follow == 3 ? 0x07 : follow == 2 ? 0x0F : 0x1F;
            for (int next = 1; follow > 0 && next <= follow; ++next) {
                if (at + next >= length || (bytes[at + next] & 0xC0) != 0x80) {
                    follow = -1;
                    break;
                }
                point = point << 6 | (bytes[at + next] & 0x3F);
            }
            if (follow < 0) {
                if (flags & MB_ERR_INVALID_CHARS) {
                    SetFakeLastError(ERROR_NO_UNICODE_TRANSLATION);
                    return 0;
                }
                point = 0xFFFD;
                follow = 0;
            }
        }
        if (codePage == 437 && point >= 0x80)
            point = point == 0x81 ? 0x00FC : 0xFFFD;
        at += 1 + follow;
        if (point >= 0x10000) {
            units.push_back(static_cast<WCHAR>(0xD800 + ((point - 0x10000) >> 10)));
            units.push_back(static_cast<WCHAR>(0xDC00 + (point & 0x3FF)));
        } else {
            units.push_back(static_cast<WCHAR>(point));
        }
    }
    const int needed = static_cast<int>(units.size());
    if (wideSize == 0)
        return needed;
    if (needed > wideSize) {
        SetFakeLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(wide, units.data(), units.size() * sizeof(WCHAR));
    return needed;
}

namespace {

// Letters the ANSI code page lacks and the platform writes as look-alikes
// unless WC_NO_BEST_FIT_CHARS says not to.
const std::map<WCHAR, char> kBestFit = {{0x0141, 'L'}, {0x0142, 'l'}, {0x0179, 'Z'}, {0x017A, 'z'}};

void AppendUtf8(std::string *bytes, uint32_t point)
{
    if (point < 0x80) {
        *bytes += static_cast<char>(point);
    } else if (point < 0x800) {
        *bytes += static_cast<char>(0xC0 | point >> 6);
        *bytes += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        *bytes += static_cast<char>(0xE0 | point >> 12);
        *bytes += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        *bytes += static_cast<char>(0x80 | (point & 0x3F));
    }
}

}  // namespace

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int length, LPSTR text, int size, LPCSTR, BOOL *)
{
    if (codePage == CP_OEMCP)
        codePage = 437;
    if (length <= 0) {
        SetFakeLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string bytes;
    for (int at = 0; at < length; ++at) {
        const WCHAR unit = wide[at];
        if (unit < 0x80) {
            bytes += static_cast<char>(unit);
        } else if (codePage == CP_UTF8) {
            AppendUtf8(&bytes, unit);
        } else if (codePage == CP_ACP) {
            const auto fit = kBestFit.find(unit);
            bytes += unit <= 0xFF                                               ? static_cast<char>(unit)
                     : fit != kBestFit.end() && !(flags & WC_NO_BEST_FIT_CHARS) ? fit->second
                                                                                : '?';
        } else if (codePage == 437) {
            bytes += unit == 0x00FC ? '\x81' : '?';  // its u with diaeresis
        } else {
            SetFakeLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
    }
    if (size == 0)
        return static_cast<int>(bytes.size());
    if (static_cast<int>(bytes.size()) > size) {
        SetFakeLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(text, bytes.data(), bytes.size());
    return static_cast<int>(bytes.size());
}

// The system's texts as the message table holds them, each line ending in a
// line break; FORMAT_MESSAGE_MAX_WIDTH_MASK turns each break into a space.
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add)
{
    if (add)
        g_console.controlHandler = handler;
    else if (g_console.controlHandler == handler)
        g_console.controlHandler = NULL;
    return 1;
}

static const std::map<DWORD, std::string> kSystemTexts = {
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
    {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough memory resources are available to process this command.\r\n"},
    {ERROR_BAD_NETPATH, "The network path was not found.\r\n"},
    {ERROR_FILE_TOO_LARGE, "The file size exceeds the limit allowed and cannot be saved.\r\n"},
    // Some run over two lines.
    {1219, "Multiple connections to a server or shared resource by the same user, using more than one user\r\n"
           "name, are not allowed.\r\n"},
};

DWORD FormatMessageA(DWORD flags, const void *, DWORD messageId, DWORD, LPSTR buffer, DWORD size, va_list *)
{
    const auto found = kSystemTexts.find(messageId);
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || found == kSystemTexts.end())
        return 0;
    std::string text = found->second;
    if (flags & FORMAT_MESSAGE_MAX_WIDTH_MASK) {
        for (size_t at; (at = text.find("\r\n")) != std::string::npos;)
            text.replace(at, 2, " ");
    }
    if (text.size() + 1 > size)
        return 0;
    memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}
