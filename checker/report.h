// A verdict put into words: the checker's text, or a row of CSV.
#ifndef PROVIDER_ORDER_CHECKER_REPORT_H
#define PROVIDER_ORDER_CHECKER_REPORT_H

#include "output.h"
#include "verdict.h"

enum ReportFormat {
    kTextReport,  // "stale: \\PRN1: Order does not name ...", then "now:" and "after:"
    kCsvReport,   // as tasklist /FO CSV writes: every field quoted, CRLF line ends
};

// Each verdict's first word, and last "repaired", whatever its exit code.
const int kRepairedWord = kVerdictCount;
extern const char *const kVerdictWords[kVerdictCount + 1];

// The word a finding begins with.
int WordOf(const Finding &finding);

// Appends the verdict for computer ("\\NAME", or NULL for this computer).
// In a CSV row each list is one field, its names separated by line feeds:
// a spreadsheet shows them one a line in the cell, and PowerShell splits
// them back with -split "`n" (a name never holds one).
void ReportFinding(const Finding &finding, const char *computer, ReportFormat format, Report *report);

#endif
