#include "report.h"

#include <string.h>

const char *const kVerdictWords[kVerdictCount + 1] = {"current", "stale", "untouched", "unreadable", "repaired"};

int WordOf(const Finding &finding)
{
    return finding.repaired ? kRepairedWord : finding.verdict;
}

namespace {
const char *const kExitCodes[kVerdictCount] = {"0", "1", "2", "3"};

// Each string of a REG_MULTI_SZ block, up to the empty string that ends
// the list or the end of the data: in text, each on its own indented line;
// in CSV, separated by line feeds.
void AppendNames(Report *report, const char *block, DWORD size, ReportFormat format)
{
    for (const char *name = block; name != NULL && name < block + size && *name != '\0'; name += strlen(name) + 1) {
        if (format == kTextReport) {
            Append(report, "  ");
            Append(report, name);
            Append(report, "\r\n");
        } else {
            if (name != block)
                Append(report, "\n");
            Append(report, name, true);
        }
    }
}

void AppendField(Report *report, const char *text, const char *after)
{
    Append(report, "\"");
    Append(report, text, true);
    Append(report, after);
}

}  // namespace

void ReportFinding(const Finding &finding, const char *computer, ReportFormat format, Report *report)
{
    const char *const word = kVerdictWords[WordOf(finding)];
    // Order as it stands, or as it stood before it was rewritten.
    const bool changes = finding.verdict == kStale || finding.repaired;
    const char *const label = finding.repaired ? "was:" : "now:";
    if (format == kTextReport) {
        Append(report, word);
        Append(report, ": ");
        if (computer != NULL) {
            Append(report, computer);
            Append(report, ": ");
        }
        Append(report, finding.reason.text);
        Append(report, "\r\n");
        if (changes) {
            Append(report, label);
            Append(report, finding.now.length != 0 ? " " : "");
            Append(report, finding.now.text);
            Append(report, "\r\n");
            AppendNames(report, finding.nowNames, finding.nowSize, format);
            Append(report, "after:\r\n");
        }
        AppendNames(report, finding.afterNames, finding.afterSize, format);
        return;
    }
    char thisComputer[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD length = sizeof thisComputer;
    if (computer == NULL)
        GetComputerNameA(thisComputer, &length);
    AppendField(report, computer != NULL ? computer + 2 : thisComputer, "\",");
    AppendField(report, word, "\",");
    AppendField(report, kExitCodes[finding.verdict], "\",\"");
    Append(report, finding.reason.text, true);
    if (changes && finding.now.length != 0) {
        Append(report, "; ");
        Append(report, label);
        Append(report, " ");
        Append(report, finding.now.text, true);
    }
    Append(report, "\",\"");
    AppendNames(report, finding.nowNames, finding.nowSize, format);
    Append(report, "\",\"");
    AppendNames(report, finding.afterNames, finding.afterSize, format);
    Append(report, "\"\r\n");
}
