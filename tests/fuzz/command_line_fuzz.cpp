// Any bytes as a command-line tail: the split never reads or writes outside
// the tail, the argument text or the vector (each is exactly its size on the
// heap, so AddressSanitizer sees one byte past), and it agrees with a plain
// model of the splitting rules: the longest run of whole arguments that fits.
#include "../../shell/shell.h"

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::vector<std::string> ModelSplit(const std::string &tail)
{
    std::vector<std::string> arguments;
    size_t at = 0;
    while (arguments.size() < static_cast<size_t>(kArgumentSlots - 1)) {
        while (at < tail.size() && IsBlank(tail[at]))
            ++at;
        if (at == tail.size())
            break;
        size_t end;
        size_t next;
        if (tail[at] == '"') {
            ++at;
            end = tail.find('"', at);
        } else {
            end = tail.find_first_of(" \t", at);
        }
        if (end == std::string::npos)
            end = next = tail.size();
        else
            next = end + 1;
        arguments.push_back(tail.substr(at, end - at));
        at = next;
    }
    // Whole arguments only, as many as fit with their NULs.
    size_t used = 0;
    for (size_t i = 0; i < arguments.size(); ++i) {
        used += arguments[i].size() + 1;
        if (used > static_cast<size_t>(kArgumentTextSize)) {
            arguments.resize(i);
            break;
        }
    }
    return arguments;
}

void Require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string tail(reinterpret_cast<const char *>(data), strnlen(reinterpret_cast<const char *>(data), size));
    std::vector<char> tailBytes(tail.begin(), tail.end());
    tailBytes.push_back('\0');
    std::vector<char> text(kArgumentTextSize);
    std::vector<char *> argv(kArgumentVectorSize);

    const int argc = SplitCommandLine(tailBytes.data(), text.data(), argv.data());

    Require(argc >= 1 && argc <= kArgumentSlots);
    Require(argv[static_cast<size_t>(argc)] == nullptr);
    const std::vector<std::string> expected = ModelSplit(tail);
    Require(static_cast<size_t>(argc - 1) == expected.size());
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[static_cast<size_t>(i)];
        Require(argument >= text.data() && argument < text.data() + text.size());
        const size_t room = static_cast<size_t>(text.data() + text.size() - argument);
        Require(memchr(argument, '\0', room) != nullptr);
        Require(expected[static_cast<size_t>(i - 1)] == argument);
    }
    return 0;
}
