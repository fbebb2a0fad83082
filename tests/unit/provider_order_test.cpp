#include "../../common/provider_list.h"
#include "../../provider_order/provider_order.h"
#include "../../shell/shell.h"
#include "../fakes/fake_platform.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

namespace {

class ProviderOrder : public ::testing::Test {
protected:
    void SetUp() override { ResetFakePlatform(); }
};

std::vector<std::string> Calls(std::initializer_list<const char *> names)
{
    return std::vector<std::string>(names.begin(), names.end());
}

TEST_F(ProviderOrder, WritesEveryNameInEnumerationOrder)
{
    const struct {
        const char *what;
        std::vector<std::string> subkeys;
        bool doubleByteCodePage;
    } rows[] = {
        {"one name", {"A"}, false},
        {"two names", {"A", "BC"}, false},
        {"enumeration order kept, not sorted", {"LanMan Print Services", "Internet Print Provider", "A"}, false},
        {"names with spaces", {" lead", "in side", "trail "}, false},
        {"exact fit: 1024 bytes with the final NUL", NamesFilling(kProviderListSize), false},
        {"a double-byte letter whose trail byte is a backslash's", {"\x95\x5C", "A"}, true},
        {"double-byte letters whose trail bytes differ as ASCII case does",
         {"\x83\x41", "\x83\x61",
          "\x83\x41"
          "B"},
         true},
        {"double-byte letters apart by their lead bytes, and a lone lead byte",
         {"\x83\x41", "\x84\x41", "A\x83"},
         true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        ResetFakePlatform();
        g_registry.subkeys = row.subkeys;
        g_doubleByteCodePage = row.doubleByteCodePage;

        RepairProviderOrder();

        EXPECT_EQ(HKEY_LOCAL_MACHINE, g_registry.openedRoot);
        EXPECT_EQ("SYSTEM\\CurrentControlSet\\Control\\Print\\Providers", g_registry.openedPath);
        EXPECT_EQ(0x000Au, g_registry.openedAccess);
        ASSERT_TRUE(g_registry.written);
        EXPECT_EQ("Order", g_registry.writtenName);
        EXPECT_EQ(7u, g_registry.writtenType);
        EXPECT_EQ(MultiString(row.subkeys), g_registry.writtenBytes);
        EXPECT_EQ(3 * row.subkeys.size() + 4, g_registry.calls.size())
            << "open, one enumeration per name and the last, an open and close per name, write, close";
        EXPECT_EQ(std::vector<REGSAM>(row.subkeys.size(), KEY_QUERY_VALUE), g_registry.subkeyAccess);
        EXPECT_EQ("RegCloseKey", g_registry.calls.back());
        EXPECT_EQ(0, g_registry.keysOpen);
        EXPECT_TRUE(g_messageBoxes.empty());
    }
}

TEST_F(ProviderOrder, TheBlockIsByteExact)
{
    g_registry.subkeys = {"A", "BC"};
    RepairProviderOrder();
    EXPECT_EQ(std::string("A\0BC\0\0", 6), g_registry.writtenBytes);

    ResetFakePlatform();
    g_registry.subkeys = {"A"};
    RepairProviderOrder();
    EXPECT_EQ(std::string("A\0\0", 3), g_registry.writtenBytes);
}

// Only a complete enumeration of names that are proven subkeys is written;
// anything else leaves the value as it stands, and the key is still closed
// without a word to the user. The plan says why, for the checker.
TEST_F(ProviderOrder, LeavesTheValueUntouchedUnlessTheListIsCompleteAndProven)
{
    const DWORD kNever = FakeRegistry::kNever;
    const struct {
        const char *what;
        std::vector<std::string> subkeys;
        DWORD failAt;
        LONG failWith;
        std::map<std::string, LONG> openFailures;
        OrderDecision decision;
        DWORD index;
        bool doubleByteCodePage = false;
    } rows[] = {
        {"no subkeys", {}, kNever, ERROR_SUCCESS, {}, kNoSubkeys, 0},
        {"one byte over 1024", NamesFilling(kProviderListSize + 1), kNever, ERROR_SUCCESS, {}, kNamesTooLong, 3},
        {"one long name over 1024",
         {std::string(600, 'x'), std::string(600, 'y')},
         kNever,
         ERROR_SUCCESS,
         {},
         kNamesTooLong,
         1},
        {"first call refused", {"A", "B"}, 0, ERROR_ACCESS_DENIED, {}, kEnumerationFailed, 0},
        {"fails after names", {"A", "B", "C"}, 2, ERROR_ACCESS_DENIED, {}, kEnumerationFailed, 2},
        {"handle gone mid-way", {"A", "B"}, 1, ERROR_INVALID_HANDLE, {}, kEnumerationFailed, 1},
        {"more data mid-way", {"A", "B"}, 1, ERROR_MORE_DATA, {}, kNamesTooLong, 1},
        {"a name that opens nothing",
         {"A", "??"},
         kNever,
         ERROR_SUCCESS,
         {{"??", ERROR_FILE_NOT_FOUND}},
         kNameNotASubkey,
         1},
        {"the same name twice", {"??", "B", "??"}, kNever, ERROR_SUCCESS, {}, kNameNotASubkey, 2},
        {"names equal but for ASCII case", {"Lodz", "lodz"}, kNever, ERROR_SUCCESS, {}, kNameNotASubkey, 1},
        {"an empty name", {"A", ""}, kNever, ERROR_SUCCESS, {}, kNameNotASubkey, 1},
        {"a path separator", {"A\\B", "A"}, kNever, ERROR_SUCCESS, {}, kNameNotASubkey, 0},
        {"a NUL inside a name",
         {"B", std::string("C\0D", 3)},
         kNever,
         ERROR_SUCCESS,
         {{"C", ERROR_ACCESS_DENIED}},
         kNameNotASubkey,
         1},
        {"names equal but for case, each ending in a lone lead byte",
         {"A\x83", "a\x83"},
         kNever,
         ERROR_SUCCESS,
         {},
         kNameNotASubkey,
         1,
         true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        ResetFakePlatform();
        g_registry.subkeys = row.subkeys;
        g_registry.subkeyOpenFailures = row.openFailures;
        g_doubleByteCodePage = row.doubleByteCodePage;
        if (row.failWith != ERROR_SUCCESS)
            g_registry.enumerationFailures[row.failAt] = row.failWith;

        RepairProviderOrder();

        EXPECT_FALSE(g_registry.written);
        EXPECT_EQ("RegCloseKey", g_registry.calls.back());
        EXPECT_EQ(0, g_registry.keysOpen);
        EXPECT_TRUE(g_messageBoxes.empty());

        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "", 0, 0, &key));
        OrderPlan plan;
        PlanProviderOrder(key, &plan);
        EXPECT_EQ(row.decision, plan.decision);
        EXPECT_EQ(row.index, plan.index);
        if (row.decision == kEnumerationFailed) {
            EXPECT_EQ(row.failWith, plan.result);
        }
    }
}

// Failures the task cannot do anything about pass unnoticed: no box, and
// the key is still closed.
TEST_F(ProviderOrder, AFailedWriteOrCloseIsPassedOverSilently)
{
    const struct {
        const char *what;
        LONG setValueResult;
        LONG closeResult;
    } rows[] = {
        {"write refused", ERROR_ACCESS_DENIED, ERROR_SUCCESS},
        {"close fails", ERROR_SUCCESS, ERROR_INVALID_HANDLE},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        ResetFakePlatform();
        g_registry.subkeys = {"A"};
        g_registry.setValueResult = row.setValueResult;
        g_registry.closeResult = row.closeResult;

        RepairProviderOrder();

        EXPECT_EQ(Calls({"RegOpenKeyExA", "RegEnumKeyExA", "RegEnumKeyExA", "RegOpenKeyExA A", "RegCloseKey A",
                         "RegSetValueExA", "RegCloseKey"}),
                  g_registry.calls);
        EXPECT_EQ(0, g_registry.keysOpen);
        EXPECT_TRUE(g_messageBoxes.empty());
    }
}

// A subkey whose permissions refuse the open is still there; each handle
// that opened is closed before the next name is tried.
TEST_F(ProviderOrder, ARefusedSubkeyOpenStillProvesTheName)
{
    g_registry.subkeys = {"A", "Locked", "B"};
    g_registry.subkeyOpenFailures["Locked"] = ERROR_ACCESS_DENIED;

    RepairProviderOrder();

    EXPECT_EQ(Calls({"RegOpenKeyExA", "RegEnumKeyExA", "RegEnumKeyExA", "RegEnumKeyExA", "RegEnumKeyExA",
                     "RegOpenKeyExA A", "RegCloseKey A", "RegOpenKeyExA Locked", "RegOpenKeyExA B", "RegCloseKey B",
                     "RegSetValueExA", "RegCloseKey"}),
              g_registry.calls);
    EXPECT_EQ(MultiString(g_registry.subkeys), g_registry.writtenBytes);
    EXPECT_EQ(0, g_registry.keysOpen);
}

TEST_F(ProviderOrder, TheBlockHoldsExactly1024BytesWithTheFinalNul)
{
    const struct {
        const char *what;
        size_t blockSize;
        LONG result;
    } rows[] = {
        {"exact fit", kProviderListSize, ERROR_SUCCESS},
        {"one byte over", kProviderListSize + 1, ERROR_MORE_DATA},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        ResetFakePlatform();
        g_registry.subkeys = NamesFilling(row.blockSize);
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "", 0, 0, &key));
        ProviderList list;
        memset(&list, 0xBD, sizeof list);  // so that a missing final NUL shows

        EXPECT_EQ(row.result, CollectProviderNames(key, &list));
        if (row.result == ERROR_SUCCESS) {
            EXPECT_EQ(kProviderListSize, list.size);
            EXPECT_EQ(MultiString(g_registry.subkeys), std::string(list.block, list.size));
        }
    }
}

// A length that could not have fit is not believed: moving past it would
// leave no room for the final NUL.
TEST_F(ProviderOrder, DoesNotBelieveANameLongerThanItsRoom)
{
    g_registry.subkeys = {"A", "B"};
    g_registry.lengthOverstatedAt = 1;

    RepairProviderOrder();

    EXPECT_FALSE(g_registry.written);
    EXPECT_EQ(0, g_registry.keysOpen);
}

TEST_F(ProviderOrder, AFailedOpenShowsOneBoxAndTouchesNothingElse)
{
    for (LONG refusal : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED}) {
        SCOPED_TRACE(refusal);
        ResetFakePlatform();
        g_registry.openResult = refusal;
        g_registry.subkeys = {"A"};

        RepairProviderOrder();

        ASSERT_EQ(1u, g_messageBoxes.size());
        EXPECT_EQ(NULL, g_messageBoxes[0].owner);
        EXPECT_EQ("Can't Enumerate Registry for Print Providers", g_messageBoxes[0].text);
        EXPECT_EQ("info", g_messageBoxes[0].caption);
        EXPECT_EQ(MB_OK, g_messageBoxes[0].type);
        EXPECT_EQ(Calls({"RegOpenKeyExA"}), g_registry.calls);
    }
}

using ProviderOrderDeathTest = ProviderOrder;

// Reports, as the process ends, what reached the registry and the screen,
// so that a death test can see past exit.
void ReportAtExit()
{
    std::string report = "calls:";
    for (const std::string &call : g_registry.calls)
        report += " " + call;
    report += g_registry.written ? " order:" + std::to_string(g_registry.writtenBytes.size()) : " unwritten";
    report += " boxes:" + std::to_string(g_messageBoxes.size());
    fprintf(stderr, "%s\n", report.c_str());
}

TEST_F(ProviderOrderDeathTest, TheTaskEndsTheProcessWithZeroOnEveryPathWhateverTheArguments)
{
    char program[] = "provider-order.exe";
    char option[] = "/quiet";
    char path[] = "C:\\Windows\\system32";
    char *noArguments[] = {program, NULL};
    char *nineArguments[] = {program, option, path, option, path, option, path, option, path, option, NULL};

    const struct {
        const char *what;
        LONG openResult;
        DWORD failAt;
        int boxResult;
        int argc;
        char **argv;
        const char *report;
    } rows[] = {
        {"repaired", ERROR_SUCCESS, FakeRegistry::kNever, 1, 1, noArguments,
         "calls: RegOpenKeyExA RegEnumKeyExA RegEnumKeyExA RegOpenKeyExA A RegCloseKey A RegSetValueExA RegCloseKey "
         "order:3 boxes:0"},
        {"arguments ignored", ERROR_SUCCESS, FakeRegistry::kNever, 1, 10, nineArguments,
         "calls: RegOpenKeyExA RegEnumKeyExA RegEnumKeyExA RegOpenKeyExA A RegCloseKey A RegSetValueExA RegCloseKey "
         "order:3 boxes:0"},
        {"open failed", ERROR_ACCESS_DENIED, FakeRegistry::kNever, 1, 1, noArguments,
         "calls: RegOpenKeyExA unwritten boxes:1"},
        {"open failed, no box could be shown", ERROR_FILE_NOT_FOUND, FakeRegistry::kNever, 0, 1, noArguments,
         "calls: RegOpenKeyExA unwritten boxes:1"},
        {"enumeration failed", ERROR_SUCCESS, 0, 1, 10, nineArguments,
         "calls: RegOpenKeyExA RegEnumKeyExA RegCloseKey unwritten boxes:0"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        ResetFakePlatform();
        g_registry.subkeys = {"A"};
        g_registry.openResult = row.openResult;
        g_registry.enumerationFailures[row.failAt] = ERROR_ACCESS_DENIED;
        g_messageBoxResult = row.boxResult;
        EXPECT_EXIT((atexit(ReportAtExit), TaskMain(row.argc, row.argv)), ::testing::ExitedWithCode(0), row.report);
    }
}

}  // namespace
