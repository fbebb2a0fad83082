#include "computer_list.h"

#include "output.h"

#include <stdlib.h>
#include <string.h>

namespace {

// A DNS name's longest; NetBIOS names are shorter.
const size_t kComputerNameLimit = 255;
// A control character, like those below the blank.
const BYTE kDelete = 0x7F;
// Refused in computer names; a backslash would make a path of it.
const char kNotInComputerNames[] = "\\/:*?\"<>| ";

// Doubled each time it fills.
const DWORD kFirstRoom = 64;
// Far more than the longest list of computers there is; it keeps the sizes
// below from overflowing.
const DWORD kListFileLimit = 64 * 1024 * 1024;

const BYTE kUtf16LittleEndianMark[] = {0xFF, 0xFE};
const BYTE kUtf8Mark[] = {0xEF, 0xBB, 0xBF};

bool StartsWith(const BYTE *bytes, DWORD size, const BYTE *mark, DWORD markSize)
{
    return size >= markSize && memcmp(bytes, mark, markSize) == 0;
}

// UTF-16 text in the ANSI code page, as the registry's 8-bit calls take
// names. A character the code page lacks becomes "?", never a look-alike
// letter that may name another computer; "?" is no computer name's.
LONG WideToAnsi(const WCHAR *wide, int units, char **text, DWORD *length)
{
    const int size =
        units > 0 ? WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, units, NULL, 0, NULL, NULL) : 0;
    if (units > 0 && size == 0)
        return static_cast<LONG>(GetLastError());
    *text = static_cast<char *>(malloc(static_cast<size_t>(size) + 1));
    if (*text == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    if (size > 0)
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, units, *text, size, NULL, NULL);
    *length = static_cast<DWORD>(size);
    return ERROR_SUCCESS;
}

LONG ReadListText(const char *path, char **text, DWORD *length)
{
    const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return static_cast<LONG>(GetLastError());
    DWORD high = 0;
    const DWORD size = GetFileSize(file, &high);
    // INVALID_FILE_SIZE is also a size: only the error tells.
    LONG result = size == INVALID_FILE_SIZE ? static_cast<LONG>(GetLastError()) : ERROR_SUCCESS;
    if (result == ERROR_SUCCESS && (high != 0 || size > kListFileLimit))
        result = ERROR_FILE_TOO_LARGE;
    BYTE *const bytes = result == ERROR_SUCCESS ? static_cast<BYTE *>(malloc(size + 1)) : NULL;
    if (result == ERROR_SUCCESS && bytes == NULL)
        result = ERROR_NOT_ENOUGH_MEMORY;
    DWORD read = 0;
    if (bytes != NULL)
        result = ReadFile(file, bytes, size, &read, NULL) ? ERROR_SUCCESS : static_cast<LONG>(GetLastError());
    CloseHandle(file);
    if (result == ERROR_SUCCESS)
        result = read == size ? DecodeList(bytes, size, text, length) : ERROR_HANDLE_EOF;
    free(bytes);
    return result;
}

bool IsBlank(char character)
{
    return character == ' ' || character == '\t';
}

// Adds each line's computer; else says, into message, what is wrong.
bool AddListed(char *text, DWORD length, ComputerList *list, Phrase *message)
{
    const DWORD before = list->count;
    char *const end = text + length;
    DWORD number = 0;
    for (char *line = text; line < end;) {
        ++number;
        char *lineEnd = static_cast<char *>(memchr(line, '\n', static_cast<size_t>(end - line)));
        if (lineEnd == NULL)
            lineEnd = end;
        char *first = line;
        char *last = lineEnd;
        line = lineEnd + 1;
        while (first < last && IsBlank(*first))
            ++first;
        while (last > first && (IsBlank(last[-1]) || last[-1] == '\r'))
            --last;
        if (first == last)
            continue;
        const char *name = first;
        if (last - first >= 2 && first[0] == '\\' && first[1] == '\\')
            name += 2;
        const size_t nameLength = static_cast<size_t>(last - name);
        if (!IsComputerName(name, nameLength)) {
            *last = '\0';
            Add(message, ", line ");
            AddNumber(message, number);
            Add(message, ": not a computer name: ");
            Add(message, first);
            return false;
        }
        if (!AddComputer(list, name, nameLength)) {
            Add(message, ": ");
            AddError(message, ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
    }
    if (list->count == before)
        Add(message, ": names no computer");
    return list->count != before;
}

}  // namespace

LONG DecodeList(const BYTE *bytes, DWORD size, char **text, DWORD *length)
{
    if (StartsWith(bytes, size, kUtf16LittleEndianMark, sizeof kUtf16LittleEndianMark))
        return WideToAnsi(reinterpret_cast<const WCHAR *>(bytes + 2), static_cast<int>((size - 2) / 2), text, length);
    const bool marked = StartsWith(bytes, size, kUtf8Mark, sizeof kUtf8Mark);
    const char *const utf8 = reinterpret_cast<const char *>(bytes) + (marked ? sizeof kUtf8Mark : 0);
    const int utf8Size = static_cast<int>(size - (marked ? sizeof kUtf8Mark : 0));
    const DWORD strict = marked ? 0 : MB_ERR_INVALID_CHARS;
    const int units = utf8Size > 0 ? MultiByteToWideChar(CP_UTF8, strict, utf8, utf8Size, NULL, 0) : 0;
    if (units > 0 || marked) {
        WCHAR *const wide = static_cast<WCHAR *>(malloc(static_cast<size_t>(units) * sizeof(WCHAR) + 1));
        if (wide == NULL)
            return ERROR_NOT_ENOUGH_MEMORY;
        if (units > 0)
            MultiByteToWideChar(CP_UTF8, strict, utf8, utf8Size, wide, units);
        const LONG result = WideToAnsi(wide, units, text, length);
        free(wide);
        return result;
    }
    *text = static_cast<char *>(malloc(size + 1));
    if (*text == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    memcpy(*text, bytes, size);
    *length = size;
    return ERROR_SUCCESS;
}

bool IsComputerName(const char *name, size_t length)
{
    if (length == 0 || length > kComputerNameLimit)
        return false;
    const char *const end = name + length;
    for (const char *at = name; at < end; ++at) {
        const BYTE character = static_cast<BYTE>(*at);
        // A double-byte letter's trail byte may be a backslash's: no path.
        if (IsDBCSLeadByte(character) && at + 1 < end)
            ++at;
        else if (character < ' ' || character == kDelete || strchr(kNotInComputerNames, character) != NULL)
            return false;
    }
    return true;
}

bool IsComputerArgument(const char *argument)
{
    return argument[0] == '\\' && argument[1] == '\\' && IsComputerName(argument + 2, strlen(argument + 2));
}

bool AddComputer(ComputerList *list, const char *name, size_t length)
{
    if (list->count == list->room) {
        const DWORD room = list->room != 0 ? 2 * list->room : kFirstRoom;
        char **const names = static_cast<char **>(realloc(list->names, room * sizeof *names));
        if (names == NULL)
            return false;
        list->names = names;
        list->room = room;
    }
    char *const copy = static_cast<char *>(malloc(length + 3));
    if (copy == NULL)
        return false;
    copy[0] = '\\';
    copy[1] = '\\';
    memcpy(copy + 2, name, length);
    copy[length + 2] = '\0';
    list->names[list->count++] = copy;
    return true;
}

bool ReadComputerList(const char *path, ComputerList *list)
{
    Phrase message;
    BeginMessage(&message);
    Add(&message, path);
    char *text = NULL;
    DWORD length = 0;
    const LONG result = ReadListText(path, &text, &length);
    bool listed = false;
    if (result != ERROR_SUCCESS) {
        Add(&message, ": ");
        AddError(&message, result);
    } else {
        listed = AddListed(text, length, list, &message);
    }
    free(text);
    if (!listed)
        WriteMessage(&message);
    return listed;
}

void ReleaseComputers(ComputerList *list)
{
    for (DWORD index = 0; index < list->count; ++index)
        free(list->names[index]);
    free(list->names);
    list->names = NULL;
    list->count = 0;
    list->room = 0;
}
