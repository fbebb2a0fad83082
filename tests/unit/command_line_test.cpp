#include "../../shell/shell.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

namespace {

const unsigned char kSentinel = 0xBD;
const int kGuardBytes = 16;
const int kGuardSlots = 4;
char kSentinelText[] = "sentinel";

// The argument text and the vector, each with guard bytes or slots on both
// sides, so that a write one past either end shows.
struct GuardedSplit {
    char arena[kGuardBytes + kArgumentTextSize + kGuardBytes];
    char *slots[kGuardSlots + kArgumentVectorSize + kGuardSlots];
    char *const text = arena + kGuardBytes;
    char **const argv = slots + kGuardSlots;

    GuardedSplit()
    {
        memset(arena, kSentinel, sizeof arena);
        for (char *&slot : slots)
            slot = kSentinelText;
    }

    bool GuardsIntact() const
    {
        for (int i = 0; i < kGuardBytes; ++i) {
            if (static_cast<unsigned char>(arena[i]) != kSentinel ||
                static_cast<unsigned char>(arena[kGuardBytes + kArgumentTextSize + i]) != kSentinel)
                return false;
        }
        for (int i = 0; i < kGuardSlots; ++i) {
            if (slots[i] != kSentinelText || slots[kGuardSlots + kArgumentVectorSize + i] != kSentinelText)
                return false;
        }
        return true;
    }
};

std::string Repeat(const std::string &word, int times, const std::string &separator = " ")
{
    std::string joined;
    for (int i = 0; i < times; ++i)
        joined += (i ? separator : "") + word;
    return joined;
}

// Nine arguments whose text, NULs included, needs exactly `bytes` bytes.
std::string NineArgumentsNeeding(int bytes)
{
    const std::string eight = Repeat(std::string(29, 'a'), 8);  // 8 x 30 bytes
    return eight + " " + std::string(static_cast<size_t>(bytes - 240 - 1), 'z');
}

std::vector<std::string> Words(int first, int last)
{
    std::vector<std::string> words;
    for (int i = first; i <= last; ++i)
        words.push_back(std::to_string(i));
    return words;
}

TEST(SplitCommandLine, SplitsLikeTheShellPromises)
{
    const std::string fillsExactly = NineArgumentsNeeding(kArgumentTextSize);
    const std::string oneByteOver = NineArgumentsNeeding(kArgumentTextSize + 1);
    const std::vector<std::string> eightOfThem(8, std::string(29, 'a'));

    const struct {
        const char *what;
        std::string tail;
        std::vector<std::string> arguments;
    } rows[] = {
        {"empty tail", "", {}},
        {"only blanks", " \t  \t", {}},
        {"blanks between and quotes", "  one  \"two three\"\tfour", {"one", "two three", "four"}},
        {"empty quoted argument", "\"\"", {""}},
        {"text after a closing quote starts the next", "\"x\"y", {"x", "y"}},
        {"quote inside unquoted opens nothing", "a\"b c\"", {"a\"b", "c\""}},
        {"unterminated quote", "\"open text", {"open text"}},
        {"backslash is no escape", "\"a\\\"b", {"a\\", "b"}},
        {"other control bytes are text", "a\nb\rc\vd", {"a\nb\rc\vd"}},
        {"trailing blanks", "x \t ", {"x"}},
        {"twelve arguments keep the first nine", "1 2 3 4 5 6 7 8 9 10 11 12", Words(1, 9)},
        {"one argument fills the text",
         std::string(kArgumentTextSize - 1, 'q'),
         {std::string(kArgumentTextSize - 1, 'q')}},
        {"one argument a byte over is dropped", std::string(kArgumentTextSize, 'q'), {}},
        {"nine arguments fill the text", fillsExactly,
         [&] {
             std::vector<std::string> nine = eightOfThem;
             nine.push_back(std::string(27, 'z'));
             return nine;
         }()},
        {"the ninth a byte over is dropped", oneByteOver, eightOfThem},
        {"arguments after a dropped one are not taken", std::string(300, 'q') + " short", {}},
        {"a tail of several kilobytes", Repeat(std::string(1000, 'k'), 5) + " " + Repeat("x", 20), {}},
        {"a quoted argument that does not fit", "a \"" + std::string(300, 'q') + "\" b", {"a"}},
    };

    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        GuardedSplit split;

        const int argc = SplitCommandLine(row.tail.c_str(), split.text, split.argv);

        ASSERT_EQ(static_cast<int>(row.arguments.size()) + 1, argc);
        for (int i = 1; i < argc; ++i) {
            EXPECT_EQ(row.arguments[static_cast<size_t>(i - 1)], split.argv[i]) << "argv[" << i << "]";
            EXPECT_TRUE(split.argv[i] >= split.text && split.argv[i] < split.text + kArgumentTextSize);
        }
        EXPECT_EQ(NULL, split.argv[argc]);
        EXPECT_EQ(kSentinelText, split.argv[0]) << "argv[0] is the entry's";
        EXPECT_TRUE(split.GuardsIntact());
    }
}

}  // namespace
