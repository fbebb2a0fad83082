// The computers to check, as named on the command line or listed in files.
#ifndef PROVIDER_ORDER_CHECKER_COMPUTER_LIST_H
#define PROVIDER_ORDER_CHECKER_COMPUTER_LIST_H

#include <windows.h>

#include <stddef.h>

struct ComputerList {
    char **names;  // each "\\NAME", in the order named, owned by the list
    DWORD count;
    DWORD room;  // entries names has room for
};

// Whether the length bytes at name name a computer: 1 to 255 bytes, no
// blank, control character or any of \/:*?"<>|. Reads no further.
bool IsComputerName(const char *name, size_t length);
// Two backslashes, then a computer name.
bool IsComputerArgument(const char *argument);

// Adds "\\" and the length bytes at name; false when memory runs out.
bool AddComputer(ComputerList *list, const char *name, size_t length);

// A list file's bytes, size of them, as text in the ANSI code page, as the
// registry's 8-bit calls take names: UTF-16LE after its byte-order mark,
// UTF-8 after its mark or where the bytes are valid UTF-8, the checker's
// own CSV report in the console's code page, which it was written in, else
// ANSI as they are. *text is malloc's, with room for a NUL after *length
// bytes.
LONG DecodeList(const BYTE *bytes, DWORD size, char **text, DWORD *length);

// Adds the computers the file at path lists, as the directory's tools and
// the checker itself write lists:
// - one a line, with or without the leading "\\", in double quotes or
//   not, as a distinguished name (its first CN= value) or as an account
//   name (its "$" dropped); blanks and tabs around them and empty lines
//   ignored, CRLF or LF;
// - or a table, comma- or tab-separated, whose first line (after a "#TYPE"
//   line) is a header row naming a column of computer names: DNSHostName
//   where a row has one, else Name, Computer or ComputerName.
// The file may be ANSI, UTF-8 with or without a byte-order mark, or
// UTF-16LE with one, as Windows' tools write them. A file that cannot be
// read, a line or cell that names no computer, a table without a column
// of names, a quote that never closes, or a list that names none at all is
// said on standard error, naming the file (and the line, and the text),
// and gives false.
bool ReadComputerList(const char *path, ComputerList *list);

void ReleaseComputers(ComputerList *list);

#endif
