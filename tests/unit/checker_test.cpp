#include "../../checker/output.h"
#include "../../checker/verdict.h"
#include "../fakes/fake_platform.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class Checker : public ::testing::Test {
protected:
    void SetUp() override { ResetFakePlatform(); }
};

enum Failing { kNothing, kTheOpen, kTheListing, kTheRead };

bool Called(const char *call)
{
    return std::find(g_registry.calls.begin(), g_registry.calls.end(), call) != g_registry.calls.end();
}

// Each verdict, word for word, here and on a named computer; every handle
// it opened is closed, and nothing is ever written.
TEST_F(Checker, EachVerdictAndItsText)
{
    const std::vector<std::string> ab = {"A", "B"};
    const std::string key = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Providers: ";
    const std::string longOrder(5000, 'x');
    const struct {
        const char *what;
        const char *computer;
        std::vector<std::string> subkeys;
        const char *order;  // NULL: absent
        size_t orderSize;
        Verdict verdict;
        std::string text;
        DWORD orderType = REG_MULTI_SZ;
        Failing failing = kNothing;
        LONG failure = ERROR_SUCCESS;
        DWORD listedUpTo = 1;  // the index the listing fails at
    } rows[] = {
        {"current", NULL, ab, "A\0B\0\0", 5, kCurrent, "current: Order lists every provider subkey\r\n  A\r\n  B\r\n"},
        {"the same first name and size", NULL, ab, "A\0C\0\0", 5, kStale,
         "stale: the repair would rewrite Order\r\nnow:\r\n  A\r\n  C\r\nafter:\r\n  A\r\n  B\r\n"},
        {"absent", NULL, ab, NULL, 0, kStale,
         "stale: the repair would rewrite Order\r\nnow: absent\r\nafter:\r\n  A\r\n  B\r\n"},
        {"another type",
         NULL,
         {"A"},
         "A\0\0",
         3,
         kStale,
         "stale: the repair would rewrite Order\r\nnow: type 1\r\nafter:\r\n  A\r\n",
         REG_SZ},
        {"longer than is read",
         NULL,
         {"A"},
         longOrder.c_str(),
         longOrder.size(),
         kStale,
         "stale: the repair would rewrite Order\r\nnow: 5000 bytes\r\nafter:\r\n  A\r\n"},
        {"a value that cannot be read",
         NULL,
         {"A"},
         "A\0\0",
         3,
         kStale,
         "stale: the repair would rewrite Order\r\nnow: error 5: Access is denied.\r\nafter:\r\n  A\r\n",
         REG_MULTI_SZ,
         kTheRead,
         ERROR_ACCESS_DENIED},
        {"no subkeys", NULL, {}, NULL, 0, kUntouched, "untouched: no provider subkeys\r\n"},
        {"over 1024", NULL, NamesFilling(1025), NULL, 0, kUntouched,
         "untouched: the names take 1025 bytes, over 1024\r\n"},
        {"over 1024, and the count fails past them", NULL, NamesFilling(1025), NULL, 0, kUntouched,
         "untouched: the names take over 1024\r\n", REG_MULTI_SZ, kTheListing, ERROR_ACCESS_DENIED, 4},
        {"a listing that fails", NULL, ab, NULL, 0, kUntouched,
         "untouched: listing subkey 1: error 5: Access is denied.\r\n", REG_MULTI_SZ, kTheListing, ERROR_ACCESS_DENIED},
        {"an error without a text", NULL, ab, NULL, 0, kUntouched, "untouched: listing subkey 1: error 1234\r\n",
         REG_MULTI_SZ, kTheListing, 1234},
        {"a name read substituted",
         NULL,
         {"A", "A"},
         NULL,
         0,
         kUntouched,
         "untouched: subkey 1 reads as \"A\", outside the code page\r\n"},
        {"no key", NULL, ab, NULL, 0, kUnreadable,
         "unreadable: " + key + "error 2: The system cannot find the file specified.\r\n", REG_MULTI_SZ, kTheOpen,
         ERROR_FILE_NOT_FOUND},
        {"current there", "\\\\PRN1", ab, "A\0B\0\0", 5, kCurrent,
         "current: \\\\PRN1: Order lists every provider subkey\r\n  A\r\n  B\r\n"},
        {"stale there",
         "\\\\PRN1",
         {"A"},
         NULL,
         0,
         kStale,
         "stale: \\\\PRN1: the repair would rewrite Order\r\nnow: absent\r\nafter:\r\n  A\r\n"},
        {"no key there", "\\\\PRN1", ab, NULL, 0, kUnreadable,
         "unreadable: \\\\PRN1: " + key + "error 5: Access is denied.\r\n", REG_MULTI_SZ, kTheOpen,
         ERROR_ACCESS_DENIED},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        ResetFakePlatform();
        g_registry.subkeys = row.subkeys;
        g_registry.hasOrder = row.order != NULL;
        g_registry.order.assign(row.order != NULL ? row.order : "", row.orderSize);
        g_registry.orderType = row.orderType;
        if (row.failing == kTheOpen)
            g_registry.openResult = row.failure;
        else if (row.failing == kTheListing)
            g_registry.enumerationFailures[row.listedUpTo] = row.failure;
        else if (row.failing == kTheRead)
            g_registry.queryResult = row.failure;

        EXPECT_EQ(row.verdict, CheckComputer(row.computer));

        EXPECT_EQ(row.text, g_console.out);
        EXPECT_EQ(KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, g_registry.openedAccess);
        EXPECT_EQ(row.computer != NULL, Called("RegConnectRegistryA \\\\PRN1"));
        EXPECT_EQ(0, g_registry.keysOpen);
        EXPECT_FALSE(Called("RegSetValueExA"));
    }
}

// A computer that cannot be reached is unreadable, and never stands in for
// this one; the others are still checked, and the highest verdict is
// returned, wherever it stands.
TEST_F(Checker, EachComputerInTurnTheHighestVerdictReturned)
{
    g_registry.subkeys = {"A"};
    g_registry.hasOrder = true;
    g_registry.order.assign("A\0\0", 3);
    g_registry.connectFailures["\\\\DOWN"] = ERROR_BAD_NETPATH;
    char up[] = "\\\\UP";
    char down[] = "\\\\DOWN";
    char *computers[] = {down, up};

    EXPECT_EQ(kUnreadable, CheckComputers(computers, 2));

    EXPECT_EQ("unreadable: \\\\DOWN: remote registry: error 53: The network path was not found.\r\n"
              "current: \\\\UP: Order lists every provider subkey\r\n  A\r\n",
              g_console.out);
    EXPECT_EQ(std::vector<std::string>(
                  {"RegConnectRegistryA \\\\DOWN", "RegConnectRegistryA \\\\UP", "RegOpenKeyExA remote"}),
              std::vector<std::string>(g_registry.calls.begin(), g_registry.calls.begin() + 3));
    EXPECT_EQ("RegCloseKey remote", g_registry.calls.back());
    EXPECT_EQ(0, g_registry.keysOpen);
}

TEST_F(Checker, AComputerIsTwoBackslashesAndAName)
{
    const struct {
        std::string argument;
        bool computer;
        bool doubleByteCodePage = false;
    } rows[] = {
        {"\\\\PRN1", true},
        {"\\\\prn-1.example.com", true},
        {"\\\\" + std::string(255, 'n'), true},
        {"\\\\" + std::string(256, 'n'), false},
        {"\\\\", false},
        {"\\PRN1", false},
        {"PRN1", false},
        {"\\\\PRN1\\share", false},
        {"\\\\PRN 1", false},
        {"\\\\PRN\t1", false},
        {"\\\\PRN1:445", false},
        {"\\\\*", false},
        {"\\\\\x95\x5C", true, true},  // a double-byte letter whose trail byte is a backslash's
        {"\\\\\x95\x5C", false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.argument);
        g_doubleByteCodePage = row.doubleByteCodePage;
        EXPECT_EQ(row.computer, IsComputerArgument(row.argument.c_str()));
    }
}

// Text leaves in the console's output code page, whether the handle is a
// console or a pipe: with no console, the OEM code page; text that cannot
// be converted, as it is.
TEST_F(Checker, TextInTheConsolesCodePage)
{
    const std::string longText(1500, 'x');
    const struct {
        const char *what;
        UINT outputCodePage;
        bool conversionsFail;
        std::string text;
        std::string written;
    } rows[] = {
        {"the OEM code page", 437, false,
         "Dr\xfc"
         "cker",
         "Dr\x81"
         "cker"},
        {"no console: the OEM code page", 0, false, "Dr\xfc", "Dr\x81"},
        {"chcp 65001", 65001, false, "Dr\xfc", "Dr\xc3\xbc"},
        {"a code page that cannot be converted to", 50220, false, "Dr\xfc", "Dr\xfc"},
        {"a conversion that fails", 437, true, "Dr\xfc", "Dr\xfc"},
        {"longer than the conversion's room", 437, false, longText, longText},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        ResetFakePlatform();
        g_console.outputCodePage = row.outputCodePage;
        g_console.conversionsFail = row.conversionsFail;

        WriteText(GetStdHandle(STD_ERROR_HANDLE), row.text.c_str());

        EXPECT_EQ(row.written, g_console.err);
        EXPECT_TRUE(g_console.out.empty());
    }
}

}  // namespace
