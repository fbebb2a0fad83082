#include "shell.h"

static bool IsBlank(char c)
{
    // Only space and tab separate arguments; other control bytes are text.
    return c == ' ' || c == '\t';
}

static bool EndsArgument(char c, bool quoted)
{
    return c == '\0' || (quoted ? c == '"' : IsBlank(c));
}

int SplitCommandLine(const char *tail, char *argumentText, char **argv)
{
    const char *read = tail;
    char *write = argumentText;
    int argc = 1;

    while (argc < kArgumentSlots) {
        while (IsBlank(*read))
            ++read;
        if (*read == '\0')
            break;

        // No escapes: a quoted argument runs to the next quote, and a quote
        // inside an unquoted argument is an ordinary byte.
        const bool quoted = (*read == '"');
        if (quoted)
            ++read;
        const char *const start = read;
        while (!EndsArgument(*read, quoted))
            ++read;
        const int length = static_cast<int>(read - start);

        // An argument that does not fit whole is dropped with everything
        // after it, rather than cut short: a task must never be handed a
        // value the user did not type, such as a truncated path.
        const int room = kArgumentTextSize - static_cast<int>(write - argumentText);
        if (length + 1 > room)
            break;

        argv[argc++] = write;
        for (int i = 0; i < length; ++i)
            *write++ = start[i];
        *write++ = '\0';

        // Step over the closing quote or the one blank that ended it.
        if (*read != '\0')
            ++read;
    }
    argv[argc] = NULL;
    return argc;
}
