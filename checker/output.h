// The checker's one way out for text, and the text it is made of.
#ifndef PROVIDER_ORDER_CHECKER_OUTPUT_H
#define PROVIDER_ORDER_CHECKER_OUTPUT_H

#include <windows.h>

// Text of the checker's own making, in the ANSI code page as the registry's
// 8-bit calls give it: a verdict's reason, a message. Always NUL-terminated;
// what does not fit is cut off.
const DWORD kPhraseSize = 1024;
struct Phrase {
    DWORD length;
    char text[kPhraseSize];
};

void Clear(Phrase *phrase);
void Add(Phrase *phrase, const char *text);
void AddNumber(Phrase *phrase, DWORD value);
// Adds a clause after what the phrase holds: after a full stop (a system
// text's), a space; after anything else, a semicolon.
void AddClause(Phrase *phrase, const char *clause);
// "error N: the system's text for it"
void AddError(Phrase *phrase, LONG code);

// A message for standard error starts with the program's name, and ends
// with a line break when it is written.
void BeginMessage(Phrase *message);
void WriteMessage(Phrase *message);

// One computer's lines, as they will be written: in the console's output
// code page. Room for the longest there is: a verdict, an Order of 4096
// bytes of one-letter names, each on a line of its own, and the 1024 bytes
// the repair writes, each byte taking up to three in UTF-8.
const DWORD kReportSize = 48 * 1024;
struct Report {
    DWORD length;
    char text[kReportSize];
};

// Appends text converted as WriteText converts it; quoted, it doubles each
// double quote, as a quoted CSV field does. What does not fit is cut off.
void Append(Report *report, const char *text, bool quoted = false);

// The console's output code page; with no console, the OEM code page, which
// a console would have had.
UINT ConsoleCodePage();

// Writes text, which is in the ANSI code page, in the console's output code
// page, as Windows' own console tools do: a console shows it, and a pipe,
// findstr or a PowerShell capture reads it as a person would have seen it.
// With no console, in the OEM code page, which a console would have had.
void WriteText(HANDLE out, const char *text);
void WriteReport(HANDLE out, const char *text, DWORD length);

// The columns of /FO CSV, as its header row names them: the list reader
// knows its own report by them.
const char kCsvHeader[] = "\"Computer\",\"Verdict\",\"Exit code\",\"Reason\",\"Order now\",\"Order after\"\r\n";

#endif
