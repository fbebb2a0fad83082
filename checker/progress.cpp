#include "progress.h"

#include "output.h"

namespace {

// Overwrites the line with text, padded with blanks over what was there:
// a carriage return alone goes back without erasing.
void Draw(ProgressLine *line, const char *text)
{
    Phrase drawn;
    Clear(&drawn);
    Add(&drawn, "\r");
    Add(&drawn, text);
    while (drawn.length <= line->width)
        Add(&drawn, " ");
    Add(&drawn, "\r");
    WriteText(line->console, drawn.text);
}

}  // namespace

void BeginProgress(ProgressLine *line)
{
    line->console = NULL;
    line->shown = false;
    line->drawn = 0;
    // Only a console's screen buffer answers: a file or a pipe fails.
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO screen;
    if (!GetConsoleScreenBufferInfo(error, &screen))
        return;
    const LONG columns = screen.srWindow.Right - screen.srWindow.Left + 1;
    // One column short of the edge, where some consoles wrap at once; the
    // line's carriage returns take two bytes more.
    if (columns < 2)
        return;
    line->width = static_cast<DWORD>(columns) - 1;
    if (line->width > kPhraseSize - 3)
        line->width = kPhraseSize - 3;
    line->console = error;
}

void ShowProgress(ProgressLine *line, DWORD checked, DWORD count, const char *computer, DWORD seconds)
{
    const DWORD now = GetTickCount();
    if (line->console == NULL || (line->shown && now - line->drawn < kProgressInterval))
        return;
    Phrase text;
    Clear(&text);
    Add(&text, "Checked ");
    AddNumber(&text, checked);
    Add(&text, " of ");
    AddNumber(&text, count);
    Add(&text, " computers");
    if (computer != NULL) {
        Add(&text, "; waiting for ");
        Add(&text, computer);
        Add(&text, " (");
        AddNumber(&text, seconds);
        Add(&text, " s)");
    }
    // What does not fit is cut: the count matters more than a long name.
    if (text.length > line->width)
        text.text[line->width] = '\0';
    Draw(line, text.text);
    line->drawn = now;
    line->shown = true;
}

void ClearProgress(ProgressLine *line)
{
    if (!line->shown)
        return;
    Draw(line, "");
    line->shown = false;
}
