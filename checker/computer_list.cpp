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

// size bytes of text in codePage, in the ANSI code page. With
// MB_ERR_INVALID_CHARS in flags, bytes that are no text in it give
// ERROR_NO_UNICODE_TRANSLATION.
LONG CodePageToAnsi(UINT codePage, DWORD flags, const char *bytes, DWORD size, char **text, DWORD *length)
{
    const int units = size > 0 ? MultiByteToWideChar(codePage, flags, bytes, static_cast<int>(size), NULL, 0) : 0;
    if (size > 0 && units == 0)
        return ERROR_NO_UNICODE_TRANSLATION;
    WCHAR *const wide = static_cast<WCHAR *>(malloc(static_cast<size_t>(units) * sizeof(WCHAR) + 1));
    if (wide == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    if (units > 0)
        MultiByteToWideChar(codePage, flags, bytes, static_cast<int>(size), wide, units);
    const LONG result = WideToAnsi(wide, units, text, length);
    free(wide);
    return result;
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

// The columns a table's names are taken from, in the order they are
// preferred: a fully qualified name reaches a computer across domains, so
// DNSHostName comes first, passed over only where a row's cell is empty;
// then the directory tools' names for a computer, and the checker's own
// report's.
const char *const kNameColumns[] = {"DNSHostName", "Name", "Computer", "ComputerName"};
const int kNameColumnCount = sizeof kNameColumns / sizeof kNameColumns[0];
const char kColumnsLookedFor[] = "DNSHostName, Name, Computer or ComputerName";
const int kNoColumn = -1;
// Windows PowerShell 5.1's Export-Csv writes a line of this before the
// header row.
const char kTypeLine[] = "#TYPE";
// A distinguished name's first part, as dsquery writes a computer's.
const char kCommonName[] = "CN=";

// One line, cell or name: the text from first up to last.
struct Span {
    char *first;
    char *last;
};

size_t LengthOf(const Span &span)
{
    return static_cast<size_t>(span.last - span.first);
}

char Capital(char character)
{
    return character >= 'a' && character <= 'z' ? static_cast<char>(character - 'a' + 'A') : character;
}

// Whether span begins with prefix, in any ASCII letter case.
bool BeginsWith(const Span &span, const char *prefix)
{
    const size_t length = strlen(prefix);
    if (LengthOf(span) < length)
        return false;
    for (size_t at = 0; at < length; ++at) {
        if (Capital(span.first[at]) != Capital(prefix[at]))
            return false;
    }
    return true;
}

bool IsWord(const Span &span, const char *word)
{
    return LengthOf(span) == strlen(word) && BeginsWith(span, word);
}

void Trim(Span *span)
{
    while (span->first < span->last && IsBlank(*span->first))
        ++span->first;
    while (span->last > span->first && (IsBlank(span->last[-1]) || span->last[-1] == '\r'))
        --span->last;
}

// Within one pair of double quotes, where it has them.
Span Unquoted(Span span)
{
    if (LengthOf(span) >= 2 && *span.first == '"' && span.last[-1] == '"') {
        ++span.first;
        --span.last;
    }
    return span;
}

int HexDigit(char character)
{
    const int kDecimalDigits = 10;
    if (character >= '0' && character <= '9')
        return character - '0';
    if (character >= 'A' && character <= 'F')
        return character - 'A' + kDecimalDigits;
    if (character >= 'a' && character <= 'f')
        return character - 'a' + kDecimalDigits;
    return -1;
}

// A distinguished name's first value, after its "CN=", into scratch with
// its escapes undone: "\," and the like stand for the character, "\2C" for
// the byte. An escaped byte outside ASCII is a piece of UTF-8, which no
// name in the ANSI code page is spelled with: it stays a backslash, which
// no computer name holds. One longer than a name may be is cut a byte past
// that, which no name is either.
Span TakeCommonName(Span name, char *scratch)
{
    const int kNibbleBits = 4;
    const int kAsciiEnd = 0x80;
    size_t length = 0;
    for (const char *at = name.first + strlen(kCommonName);
         at < name.last && *at != ',' && *at != '+' && length <= kComputerNameLimit; ++at) {
        const int high = *at == '\\' && at + 2 < name.last ? HexDigit(at[1]) : -1;
        const int low = high >= 0 ? HexDigit(at[2]) : -1;
        if (low >= 0) {
            const int byte = high << kNibbleBits | low;
            scratch[length++] = byte < kAsciiEnd ? static_cast<char>(byte) : '\\';
            at += 2;
        } else {
            if (*at == '\\' && at + 1 < name.last)
                ++at;
            scratch[length++] = *at;
        }
    }
    const Span value = {scratch, scratch + length};
    return value;
}

// Room for a name taken out of a distinguished name, and a byte more.
const size_t kScratchSize = kComputerNameLimit + 1;

// The name a line or a cell holds: "\\NAME" or NAME, in double quotes or
// not (a cell's are gone already), as a distinguished name, or as an
// account name, whose "$" is dropped.
Span TakeName(Span text, char *scratch)
{
    Span name = Unquoted(text);
    if (BeginsWith(name, kCommonName))
        name = TakeCommonName(name, scratch);
    if (LengthOf(name) >= 2 && name.first[0] == '\\' && name.first[1] == '\\')
        name.first += 2;
    if (name.last > name.first && name.last[-1] == '$')
        --name.last;
    return name;
}

// Where the text is read, and the number of the line read last.
struct Reader {
    char *at;
    char *end;
    DWORD line;
};

// Says, into message, which line (and column) is wrong, and how.
bool Refuse(Phrase *message, DWORD line, const char *column, const char *what, const char *text)
{
    Add(message, ", line ");
    AddNumber(message, line);
    if (column != NULL) {
        Add(message, ", column ");
        Add(message, column);
    }
    Add(message, what);
    Add(message, text);
    return false;
}

// Adds the computer that text, on line, names.
bool AddNamed(Span text, DWORD line, const char *column, ComputerList *list, Phrase *message)
{
    char scratch[kScratchSize];
    const Span name = TakeName(text, scratch);
    if (!IsComputerName(name.first, LengthOf(name))) {
        // A row may end before the column does: no text at all.
        if (text.first == text.last)
            return Refuse(message, line, column, ": empty", "");
        *text.last = '\0';
        return Refuse(message, line, column, ": not a computer name: ", text.first);
    }
    if (!AddComputer(list, name.first, LengthOf(name))) {
        Add(message, ": ");
        AddError(message, ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
}

// The next line, without its line break.
Span NextLine(Reader *reader)
{
    Span line = {reader->at, reader->end};
    char *const lineEnd = static_cast<char *>(memchr(reader->at, '\n', LengthOf(line)));
    if (lineEnd != NULL)
        line.last = lineEnd;
    reader->at = lineEnd != NULL ? lineEnd + 1 : reader->end;
    ++reader->line;
    return line;
}

// A table's row, as Windows' CSV writers write one: each field in double
// quotes, a quote inside doubled and line breaks kept, or bare, its blanks
// trimmed; each unquoted in place and ended by a NUL. For the header row,
// the index of each column it names; for the rest, the cells in them.
struct Row {
    bool header;
    int columns[kNameColumnCount];
    Span cells[kNameColumnCount];
    bool empty;  // every field
};

// The column a header's field names, if it names one the reader knows.
int ColumnNamed(const Span &field)
{
    for (int column = 0; column < kNameColumnCount; ++column) {
        if (IsWord(field, kNameColumns[column]))
            return column;
    }
    return kNoColumn;
}

// A quoted field's text, from after its opening quote, unquoted into to;
// where it ends, after its closing quote, or NULL where none closes it.
char *ReadQuoted(Reader *reader, char *at, char **to)
{
    for (; at < reader->end; ++at) {
        if (*at == '"' && (at + 1 == reader->end || at[1] != '"'))
            return at + 1;
        if (*at == '"')
            ++at;
        else if (*at == '\n')
            ++reader->line;
        *(*to)++ = *at;
    }
    return NULL;
}

// Reads one field into row; false for a quote that never closes.
bool ReadField(Reader *reader, char delimiter, int index, Row *row, bool *rowEnds)
{
    char *at = reader->at;
    while (at < reader->end && IsBlank(*at) && *at != delimiter)
        ++at;
    Span field = {at, at};
    char *to = at;
    if (at < reader->end && *at == '"')
        at = ReadQuoted(reader, at + 1, &to);
    if (at == NULL)
        return false;
    // Bare text, or what follows a closing quote, up to the field's end.
    while (at < reader->end && *at != delimiter && *at != '\n')
        *to++ = *at++;
    field.last = to;
    Trim(&field);
    *field.last = '\0';
    *rowEnds = at == reader->end || *at == '\n';
    if (at < reader->end && *at == '\n')
        ++reader->line;
    reader->at = at < reader->end ? at + 1 : at;
    row->empty = row->empty && field.first == field.last;
    const int named = row->header ? ColumnNamed(field) : kNoColumn;
    if (named != kNoColumn && row->columns[named] == kNoColumn)
        row->columns[named] = index;
    for (int column = 0; column < kNameColumnCount && !row->header; ++column) {
        if (row->columns[column] == index)
            row->cells[column] = field;
    }
    return true;
}

bool ReadRow(Reader *reader, char delimiter, Row *row, Phrase *message)
{
    const DWORD line = reader->line + 1;
    row->empty = true;
    for (int column = 0; column < kNameColumnCount; ++column)
        row->cells[column] = Span();
    bool rowEnds = false;
    for (int index = 0; !rowEnds; ++index) {
        if (!ReadField(reader, delimiter, index, row, &rowEnds))
            return Refuse(message, line, NULL, ": a quote that never closes", "");
    }
    return true;
}

// The column a row's name is taken from: DNSHostName where it has one,
// else the first of the others the table has.
int ColumnOf(const Row &row)
{
    for (int column = 0; column < kNameColumnCount; ++column) {
        if (row.columns[column] != kNoColumn && (column != 0 || row.cells[0].first != row.cells[0].last))
            return column;
    }
    return 0;
}

// Adds each row's computer, the header row read from the first line that
// is not empty; else says, into message, what is wrong.
bool AddTabled(Reader *reader, char delimiter, ComputerList *list, Phrase *message)
{
    Row row = Row();
    row.header = true;
    for (int column = 0; column < kNameColumnCount; ++column)
        row.columns[column] = kNoColumn;
    if (!ReadRow(reader, delimiter, &row, message))
        return false;
    if (row.columns[ColumnOf(row)] == kNoColumn)
        return Refuse(message, reader->line, NULL, ": a table without a column of computer names: ", kColumnsLookedFor);
    row.header = false;
    while (reader->at < reader->end) {
        const DWORD line = reader->line + 1;
        if (!ReadRow(reader, delimiter, &row, message))
            return false;
        const int column = ColumnOf(row);
        if (!row.empty && !AddNamed(row.cells[column], line, kNameColumns[column], list, message))
            return false;
    }
    return true;
}

// Whether a line is a table's header row: fields apart by the delimiter
// outside quotes, or one field that names a column the reader knows. A
// distinguished name, quoted or bare, is a name.
bool IsHeaderRow(Span line, char delimiter)
{
    const Span only = Unquoted(line);
    if (BeginsWith(only, kCommonName))
        return false;
    bool quoted = false;
    for (const char *at = line.first; at < line.last; ++at) {
        quoted = *at == '"' ? !quoted : quoted;
        if (*at == delimiter && !quoted)
            return true;
    }
    return ColumnNamed(only) != kNoColumn;
}

// Adds each line's computer, or each row's of a table; else says, into
// message, what is wrong.
bool AddListed(Reader reader, ComputerList *list, Phrase *message)
{
    const DWORD before = list->count;
    // The first line that is not empty, after the type line that may start
    // the file, decides.
    Reader atFirst = reader;
    Span first = {reader.at, reader.at};
    while (reader.at < reader.end && first.first == first.last) {
        atFirst = reader;
        first = NextLine(&reader);
        Trim(&first);
        if (reader.line == 1 && BeginsWith(first, kTypeLine))
            first.last = first.first;
    }
    reader = atFirst;
    const char delimiter = memchr(first.first, '\t', LengthOf(first)) != NULL ? '\t' : ',';
    if (first.first != first.last && IsHeaderRow(first, delimiter)) {
        if (!AddTabled(&reader, delimiter, list, message))
            return false;
    } else {
        while (reader.at < reader.end) {
            Span line = NextLine(&reader);
            Trim(&line);
            if (line.first != line.last && !AddNamed(line, reader.line, NULL, list, message))
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
    const char *const chars = reinterpret_cast<const char *>(bytes);
    if (StartsWith(bytes, size, kUtf8Mark, sizeof kUtf8Mark))
        return CodePageToAnsi(CP_UTF8, 0, chars + sizeof kUtf8Mark, size - static_cast<DWORD>(sizeof kUtf8Mark), text,
                              length);
    LONG result = CodePageToAnsi(CP_UTF8, MB_ERR_INVALID_CHARS, chars, size, text, length);
    // The checker's own report, as it wrote it: in the console's code page.
    const DWORD headerLength = sizeof kCsvHeader - 1;
    if (result == ERROR_NO_UNICODE_TRANSLATION && size >= headerLength && memcmp(bytes, kCsvHeader, headerLength) == 0)
        result = CodePageToAnsi(ConsoleCodePage(), 0, chars, size, text, length);
    if (result != ERROR_NO_UNICODE_TRANSLATION)
        return result;
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
        const Reader reader = {text, text + length, 0};
        listed = AddListed(reader, list, &message);
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
