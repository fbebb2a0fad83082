#include "../../checker/output.h"
#include "../../checker/plan.h"
#include "../../checker/pool.h"
#include "../../checker/remote_registry.h"
#include "../../checker/report.h"
#include "../../checker/spooler.h"
#include "../../checker/verdict.h"
#include "../fakes/fake_platform.h"

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

namespace {

class Checker : public ::testing::Test {
protected:
    void SetUp() override { ResetFakePlatform(); }
    void TearDown() override { JoinFakeThreads(); }
};

enum Failing { kNothing, kTheOpen, kTheListing, kTheRead };

bool Called(const char *call)
{
    return std::find(g_registry.calls.begin(), g_registry.calls.end(), call) != g_registry.calls.end();
}

// The providers key's subkeys, and Order's bytes (NULL: absent).
void Seed(const std::vector<std::string> &subkeys, const char *order, size_t orderSize)
{
    g_registry.subkeys = subkeys;
    g_registry.hasOrder = order != NULL;
    g_registry.order.assign(order != NULL ? order : "", orderSize);
}

// One computer's verdict in words, as the checker writes it.
std::string Described(const char *computer, ReportFormat format, Verdict *verdict, DWORD actions = 0)
{
    // As a thread's, reused from the computer before: what the check does
    // not write shows. mayWrite NULL, so a repair always may.
    std::unique_ptr<CheckWork> work(new CheckWork());
    memset(work.get(), 0xBD, sizeof *work);
    work->mayWrite = NULL;
    work->answered = false;
    std::unique_ptr<Report> report(new Report());
    *verdict = CheckComputer(computer, actions, work.get());
    ReportFinding(work->finding, computer, format, report.get());
    return std::string(report->text, report->length);
}

// A run of the checker, from its arguments on.
struct CheckerRun {
    PlanOutcome outcome;
    Verdict verdict = kUsage;
};

// As the entry has it: the plan is gone, its frame returned and its names
// released, while a thread given up on under /T may still be checking.
CheckerRun CheckThenReturn(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "provider-order-check.exe");
    std::vector<char *> argv;
    for (std::string &argument : arguments)
        argv.push_back(&argument[0]);
    argv.push_back(NULL);
    CheckPlan plan;
    CheckerRun run;
    run.outcome = MakePlan(static_cast<int>(arguments.size()), argv.data(), &plan);
    if (run.outcome == kPlanReady)
        run.verdict = CheckAll(&plan);
    ReleasePlan(&plan);
    return run;
}

// A run, and then every thread it left answers and ends.
CheckerRun RunChecker(const std::vector<std::string> &arguments)
{
    const CheckerRun run = CheckThenReturn(arguments);
    JoinFakeThreads();
    return run;
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
        {"as Windows ships it: current, in its own order, and shown so",
         NULL,
         {"Internet Print Provider", "LanMan Print Services"},
         "LanMan Print Services\0internet print provider\0\0",
         47,
         kCurrent,
         "current: Order lists every provider subkey, in an order provider-order.exe would change\r\n"
         "  LanMan Print Services\r\n  internet print provider\r\n"},
        {"a name twice", NULL, ab, "B\0A\0b\0\0", 7, kStale,
         "stale: Order does not name every provider subkey once\r\nnow:\r\n  B\r\n  A\r\n  b\r\nafter:\r\n  B\r\n  "
         "A\r\n"},
        {"a NUL more after the empty string that ends it", NULL, ab, "A\0B\0\0\0", 6, kCurrent,
         "current: Order lists every provider subkey\r\n  A\r\n  B\r\n"},
        {"names after an empty string are none", NULL, ab, "B\0\0A\0\0", 6, kStale,
         "stale: Order does not name every provider subkey once\r\nnow:\r\n  B\r\nafter:\r\n  B\r\n  A\r\n"},
        {"no empty string at its end", NULL, ab, "B\0A\0", 4, kStale,
         "stale: Order does not name every provider subkey once\r\nnow:\r\n  B\r\n  A\r\nafter:\r\n  B\r\n  A\r\n"},
        {"the same first name and size", NULL, ab, "A\0C\0\0", 5, kStale,
         "stale: Order does not name every provider subkey once\r\nnow:\r\n  A\r\n  C\r\nafter:\r\n  A\r\n  B\r\n"},
        {"the right size, its last byte no NUL", NULL, ab, "A\0B\0x", 5, kStale,
         "stale: Order does not name every provider subkey once\r\nnow:\r\n  A\r\n  B\r\n  x\r\nafter:\r\n  A\r\n  "
         "B\r\n"},
        {"without its final NUL", NULL, ab, "A\0B", 3, kStale,
         "stale: Order does not name every provider subkey once\r\nnow:\r\n  A\r\n  B\r\nafter:\r\n  A\r\n  B\r\n"},
        {"absent", NULL, ab, NULL, 0, kStale,
         "stale: Order does not name every provider subkey once\r\nnow: absent\r\nafter:\r\n  A\r\n  B\r\n"},
        {"another type",
         NULL,
         {"A"},
         "A\0\0",
         3,
         kStale,
         "stale: Order does not name every provider subkey once\r\nnow: type 1\r\nafter:\r\n  A\r\n",
         REG_SZ},
        {"type 0",
         NULL,
         {"A"},
         "",
         0,
         kStale,
         "stale: Order does not name every provider subkey once\r\nnow: type 0\r\nafter:\r\n  A\r\n",
         REG_NONE},
        {"a type of ten digits",
         NULL,
         {"A"},
         "",
         0,
         kStale,
         "stale: Order does not name every provider subkey once\r\nnow: type 4294967295\r\nafter:\r\n  A\r\n",
         0xFFFFFFFFu},
        {"longer than is read",
         NULL,
         {"A"},
         longOrder.c_str(),
         longOrder.size(),
         kStale,
         "stale: Order does not name every provider subkey once\r\nnow: 5000 bytes\r\nafter:\r\n  A\r\n"},
        {"a value that cannot be read",
         NULL,
         {"A"},
         "A\0\0",
         3,
         kStale,
         "stale: Order does not name every provider subkey once\r\nnow: error 5: Access is denied.\r\nafter:\r\n  "
         "A\r\n",
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
        {"the first listing fails", NULL, ab, NULL, 0, kUntouched,
         "untouched: listing subkey 0: error 5: Access is denied.\r\n", REG_MULTI_SZ, kTheListing, ERROR_ACCESS_DENIED,
         0},
        {"an error without a text", NULL, ab, NULL, 0, kUntouched, "untouched: listing subkey 1: error 1234\r\n",
         REG_MULTI_SZ, kTheListing, 1234},
        {"a system text of two lines, on one", NULL, ab, NULL, 0, kUntouched,
         "untouched: listing subkey 1: error 1219: Multiple connections to a server or shared resource by the same "
         "user, using more than one user name, are not allowed.\r\n",
         REG_MULTI_SZ, kTheListing, 1219},
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
         "stale: \\\\PRN1: Order does not name every provider subkey once\r\nnow: absent\r\nafter:\r\n  A\r\n"},
        {"no key there", "\\\\PRN1", ab, NULL, 0, kUnreadable,
         "unreadable: \\\\PRN1: " + key + "error 5: Access is denied.\r\n", REG_MULTI_SZ, kTheOpen,
         ERROR_ACCESS_DENIED},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        ResetFakePlatform();
        Seed(row.subkeys, row.order, row.orderSize);
        g_registry.orderType = row.orderType;
        if (row.failing == kTheOpen)
            g_registry.openResult = row.failure;
        else if (row.failing == kTheListing)
            g_registry.enumerationFailures[row.listedUpTo] = row.failure;
        else if (row.failing == kTheRead)
            g_registry.queryResult = row.failure;

        Verdict verdict = kUsage;
        EXPECT_EQ(row.text, Described(row.computer, kTextReport, &verdict));

        EXPECT_EQ(row.verdict, verdict);
        EXPECT_EQ(KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, g_registry.openedAccess);
        EXPECT_EQ(row.computer != NULL, Called("RegConnectRegistryA \\\\PRN1"));
        EXPECT_EQ(0, g_registry.keysOpen);
        EXPECT_FALSE(Called("RegSetValueExA"));
        EXPECT_TRUE(g_console.out.empty());
    }
}

// As tasklist /FO CSV writes: every field quoted, quotes doubled, CRLF; a
// list is one field, its names apart by line feeds; what Order is when it
// holds no names goes with the reason, so that "Order now" holds names only.
TEST_F(Checker, EachVerdictAsACsvRow)
{
    const struct {
        const char *what;
        const char *computer;
        std::vector<std::string> subkeys;
        const char *order;  // NULL: absent
        size_t orderSize;
        std::string row;
        LONG connected = ERROR_SUCCESS;
        DWORD actions = 0;
    } rows[] = {
        {"current in its own order, this computer by its name: Order now and after as it stands",
         NULL,
         {"A", "B"},
         "b\0A\0\0",
         5,
         "\"THISPC\",\"current\",\"0\",\"Order lists every provider subkey, in an order provider-order.exe would "
         "change\",\"b\nA\",\"b\nA\"\r\n"},
        {"stale, a comma and quotes in a name",
         "\\\\PRN1",
         {"Fax, \"new\"", "B"},
         "Old\0\0",
         5,
         "\"PRN1\",\"stale\",\"1\",\"Order does not name every provider subkey once\",\"Old\",\"Fax, "
         "\"\"new\"\"\nB\"\r\n"},
        {"stale, absent",
         "\\\\PRN1",
         {"A"},
         NULL,
         0,
         "\"PRN1\",\"stale\",\"1\",\"Order does not name every provider subkey once; now: absent\",\"\",\"A\"\r\n"},
        {"untouched", "\\\\PRN1", {}, NULL, 0, "\"PRN1\",\"untouched\",\"2\",\"no provider subkeys\",\"\",\"\"\r\n"},
        {"a reason that quotes a name: its quotes doubled",
         "\\\\PRN1",
         {"A", "A"},
         NULL,
         0,
         "\"PRN1\",\"untouched\",\"2\",\"subkey 1 reads as \"\"A\"\", outside the code page\",\"\",\"\"\r\n"},
        {"repaired: Order now as it was",
         "\\\\PRN1",
         {"A"},
         "Old\0\0",
         5,
         "\"PRN1\",\"repaired\",\"0\",\"Order rewritten\",\"Old\",\"A\"\r\n",
         ERROR_SUCCESS,
         kRepairOrder},
        {"repaired, absent before",
         "\\\\PRN1",
         {"A"},
         NULL,
         0,
         "\"PRN1\",\"repaired\",\"0\",\"Order rewritten; was: absent\",\"\",\"A\"\r\n",
         ERROR_SUCCESS,
         kRepairOrder},
        {"unreadable",
         "\\\\DOWN",
         {"A"},
         NULL,
         0,
         "\"DOWN\",\"unreadable\",\"3\",\"remote registry: error 53: The network path was not found. It is off, "
         "unreachable, or its Remote Registry is stopped: /RR starts it\",\"\",\"\"\r\n",
         ERROR_BAD_NETPATH},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        ResetFakePlatform();
        Seed(row.subkeys, row.order, row.orderSize);
        if (row.connected != ERROR_SUCCESS)
            g_registry.connectFailures[row.computer] = row.connected;
        Verdict verdict = kUsage;
        EXPECT_EQ(row.row, Described(row.computer, kCsvReport, &verdict, row.actions));
    }
}

// Several computers: all at once on 32 threads or more, yet each one's lines
// together, exactly as it alone would have them, in the order named, with
// a count of each verdict; the highest verdict wherever it stands. The
// later ones answer first, so that any other order would show.
TEST_F(Checker, ManyAtOnceWrittenInTheOrderNamed)
{
    Seed({"A", "B"}, "A\0B\0\0", 5);
    std::vector<std::string> computers;
    std::string expected;
    for (int index = 0; index < 40; ++index) {
        const std::string name = "\\\\PC" + std::to_string(index);
        computers.push_back(name);
        if (index % 3 == 1)
            g_registry.connectFailures[name] = ERROR_BAD_NETPATH;
        Verdict verdict = kUsage;
        expected += Described(name.c_str(), kTextReport, &verdict);
        g_registry.connectDelays[name] = 40 - index;
    }
    g_registry.calls.clear();

    const CheckerRun run = RunChecker(computers);

    EXPECT_EQ(kUnreadable, run.verdict);
    EXPECT_EQ(expected, g_console.out);
    EXPECT_EQ("40 computers: 27 current, 0 stale, 0 untouched, 13 unreadable\r\n", g_console.err);
    // More only where a computer was slow to answer, and never more than
    // there are computers.
    EXPECT_LE(32, g_threads.created);
    EXPECT_GE(40, g_threads.created);
    EXPECT_EQ(256u * 1024, g_threads.stackSize);
    EXPECT_EQ(STACK_SIZE_PARAM_IS_A_RESERVATION, g_threads.flags);
    EXPECT_TRUE(g_registry.calls.empty());
    for (const std::string &computer : computers) {
        SCOPED_TRACE(computer);
        EXPECT_EQ(1, std::count(g_registry.workerCalls.begin(), g_registry.workerCalls.end(),
                                "RegConnectRegistryA " + computer));
    }
    EXPECT_EQ(0, g_registry.keysOpen);
    EXPECT_EQ(0, OpenFakeHandles());
}

// One computer, or none, is checked where the caller runs, as it always
// was: no thread, no count. So is every one where no thread can start.
TEST_F(Checker, OneAtATimeWithoutThreads)
{
    g_registry.subkeys = {"A"};
    g_registry.connectFailures["\\\\DOWN"] = ERROR_BAD_NETPATH;
    g_network.names["OFF"] = {{FakeAddress::kSilent}};
    const struct {
        const char *what;
        std::vector<std::string> arguments;
        bool threadsFail;
        Verdict verdict;
        std::string out;
        std::string err;
    } rows[] = {
        {"this computer",
         {},
         false,
         kStale,
         "stale: Order does not name every provider subkey once\r\nnow: absent\r\nafter:\r\n  A\r\n",
         ""},
        {"one computer",
         {"\\\\DOWN"},
         false,
         kUnreadable,
         "unreadable: \\\\DOWN: remote registry: error 53: The network path was not found. It is off, unreachable, or "
         "its Remote Registry is stopped: /RR starts it\r\n",
         ""},
        {"one computer off, waited for as long as the look waits by itself",
         {"\\\\OFF"},
         false,
         kUnreadable,
         "unreadable: \\\\OFF: no answer on TCP port 445 in 5 s: switched off, or a firewall drops file and printer "
         "sharing\r\n",
         ""},
        {"no thread starts",
         {"\\\\DOWN", "\\\\UP"},
         true,
         kUnreadable,
         "unreadable: \\\\DOWN: remote registry: error 53: The network path was not found. It is off, unreachable, or "
         "its Remote Registry is stopped: /RR starts it\r\n"
         "stale: \\\\UP: Order does not name every provider subkey once\r\nnow: absent\r\nafter:\r\n  A\r\n",
         "2 computers: 0 current, 1 stale, 0 untouched, 1 unreadable\r\n"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        g_console = FakeConsole();
        g_threads = FakeThreads();
        g_threads.createFails = row.threadsFail;
        EXPECT_EQ(row.verdict, RunChecker(row.arguments).verdict);
        EXPECT_EQ(row.out, g_console.out);
        EXPECT_EQ(row.err, g_console.err);
        EXPECT_EQ(0, g_threads.created);
        EXPECT_EQ(0, g_registry.keysOpen);
        EXPECT_EQ(0, OpenFakeHandles());
    }
}

// /T: a computer that does not answer in time is unreadable in its place,
// and the run ends without it. More of them than there are threads still
// let every other computer through: a thread given up on is replaced.
TEST_F(Checker, NoAnswerInTimeIsUnreadable)
{
    Seed({"A"}, "A\0\0", 3);
    const std::string current = "current: \\\\UP: Order lists every provider subkey\r\n  A\r\n";
    // Seconds, not milliseconds: one that answers in 200 ms is checked.
    g_registry.connectDelays["\\\\SLOW"] = 200;
    std::vector<std::string> arguments = {"/T", "1", "\\\\UP", "\\\\HANG0", "\\\\SLOW", "\\\\UP"};
    std::string expected = current + "unreadable: \\\\HANG0: no answer in 1 s\r\n" +
                           "current: \\\\SLOW: Order lists every provider subkey\r\n  A\r\n" + current;
    for (int index = 1; index <= 40; ++index) {
        const std::string name = "\\\\HANG" + std::to_string(index);
        arguments.push_back(name);
        expected += "unreadable: " + name + ": no answer in 1 s\r\n";
    }
    arguments.push_back("\\\\UP");
    expected += current;
    for (int index = 0; index <= 40; ++index)
        g_registry.hangingComputers.insert("\\\\HANG" + std::to_string(index));

    EXPECT_EQ(kUnreadable, RunChecker(arguments).verdict);

    EXPECT_EQ(expected, g_console.out);
    EXPECT_EQ("45 computers: 4 current, 0 stale, 0 untouched, 41 unreadable\r\n", g_console.err);
    EXPECT_EQ(0, g_registry.keysOpen);
    EXPECT_EQ(0, OpenFakeHandles());
}

// Each computer's addresses are tried on TCP port 445 before its registry
// is asked. One that answers in any way is checked as before, a refusal
// then said to be its Remote Registry's; one that says nothing within the
// wait is unreadable, with no thread waiting on it and no registry call;
// one that cannot be tried is checked as before. Its connections end with
// a reset, and the threads stay the first 32 however many say nothing.
TEST_F(Checker, OneLookAtTheNetworkFirst)
{
    Seed({"A"}, "A\0\0", 3);
    typedef FakeAddress Address;
    g_network.names = {
        {"ON", {{Address::kAccepts, 20}}},        {"REFUSES", {{Address::kRefuses, 20}}},
        {"LATE", {{Address::kAccepts, 800}}},     {"SECOND", {{Address::kSilent}, {Address::kRefuses, 50}}},
        {"GIVENUP", {{Address::kTimesOut, 300}}}, {"UNREACHABLE", {{Address::kUnreachable, 10}}}};
    g_registry.connectFailures["\\\\REFUSES"] = ERROR_BAD_NETPATH;
    g_registry.connectFailures["\\\\NOWHERE"] = ERROR_BAD_NETPATH;
    const std::string current = ": Order lists every provider subkey\r\n  A\r\n";
    std::vector<std::string> arguments = {
        "/T", "1", "\\\\ON", "\\\\REFUSES", "\\\\LATE", "\\\\SECOND", "\\\\UNREACHABLE", "\\\\NOWHERE", "\\\\GIVENUP"};
    std::string expected = "current: \\\\ON" + current +
                           "unreadable: \\\\REFUSES: remote registry: error 53: The network path was not found. It "
                           "answers, but its Remote Registry refused: /RR starts it\r\n"
                           "current: \\\\LATE" +
                           current + "current: \\\\SECOND" + current + "current: \\\\UNREACHABLE" + current +
                           "unreadable: \\\\NOWHERE: remote registry: error 53: The network path was not found. It "
                           "is off, unreachable, or its Remote Registry is stopped: /RR starts it\r\n"
                           "unreadable: \\\\GIVENUP: no answer on TCP port 445 in 1 s: switched off, or a firewall "
                           "drops file and printer sharing\r\n";
    for (int index = 0; index < 100; ++index) {
        const std::string name = "OFF" + std::to_string(index);
        g_network.names[name] = {{Address::kSilent}};
        arguments.push_back("\\\\" + name);
        expected +=
            "unreadable: \\\\" + name +
            ": no answer on TCP port 445 in 1 s: switched off, or a firewall drops file and printer sharing\r\n";
    }

    // Behind them, more than the threads take at once, so that threads
    // started for the computers in the look would show.
    for (int index = 0; index < 400; ++index) {
        const std::string name = "NEXT" + std::to_string(index);
        g_network.names[name] = {{Address::kAccepts}};
        g_registry.connectDelays["\\\\" + name] = 20;
        arguments.push_back("\\\\" + name);
        expected += "current: \\\\" + name + current;
    }

    EXPECT_EQ(kUnreadable, RunChecker(arguments).verdict);

    EXPECT_EQ(expected, g_console.out);
    EXPECT_EQ("507 computers: 404 current, 0 stale, 0 untouched, 103 unreadable\r\n", g_console.err);
    for (const std::string &call : g_registry.workerCalls)
        EXPECT_EQ(std::string::npos, call.find("OFF")) << call;
    // A check slowed down by a busy machine may add a few.
    EXPECT_GT(100, g_threads.created);
    EXPECT_EQ(2, g_network.connections["SECOND"]);
    EXPECT_EQ(1, g_network.connections["OFF99"]);
    EXPECT_EQ(0, g_network.open);
    EXPECT_EQ(0, g_network.closedConnectedWithoutReset);
    EXPECT_EQ(0, g_network.blockingConnects);
    EXPECT_EQ(0, OpenFakeHandles());
}

// A look holds no more connections at once than the system lets be half
// open (XP SP2 to Vista SP1: 10) or has ports to spare for; where a socket
// cannot be had, it waits for one to close, and a computer is never called
// silent for want of one: with none open to wait for, or no Winsock at
// all, it is checked as before.
TEST_F(Checker, TheLookWithinTheSystemsLimits)
{
    const struct {
        const char *what;
        DWORD major, minor;
        WORD servicePack;
        int mostOpen;
        bool silent = true;
        int socketsBeforeScarce = -1;
        bool startupFails = false;
    } rows[] = {
        {"Windows 7 SP1", 6, 1, 1, 12},
        {"Vista SP2", 6, 0, 2, 12},
        {"Vista SP1", 6, 0, 1, 10},
        {"XP SP2", 5, 1, 2, 10},
        {"XP SP1", 5, 1, 1, 12},
        {"ports for 5", 10, 0, 0, 5, true, 5},
        {"no port at all", 10, 0, 0, 0, false, 0},
        {"no Winsock", 10, 0, 0, 0, false, -1, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        ResetFakePlatform();
        Seed({"A"}, "A\0\0", 3);
        g_version = {row.major, row.minor, row.servicePack};
        g_network.socketsBeforeScarce = row.socketsBeforeScarce;
        g_network.startupFails = row.startupFails;
        std::vector<std::string> arguments = {"/T", "1"};
        std::string expected;
        for (int index = 0; index < 12; ++index) {
            const std::string name = "OFF" + std::to_string(index);
            g_network.names[name] = {{FakeAddress::kSilent}};
            arguments.push_back("\\\\" + name);
            expected += row.silent ? "unreadable: \\\\" + name +
                                         ": no answer on TCP port 445 in 1 s: switched off, or a firewall drops file "
                                         "and printer sharing\r\n"
                                   : "current: \\\\" + name + ": Order lists every provider subkey\r\n  A\r\n";
        }

        RunChecker(arguments);

        EXPECT_EQ(expected, g_console.out);
        EXPECT_EQ(row.mostOpen, g_network.mostOpen);
        EXPECT_EQ(0, g_network.open);
    }
}

// /T holds however many are given up on: where no thread can start in
// their place, the threads given up on take the rest once their computers
// answer, each given up on in turn, never checked on the caller's thread
// without a limit. The late computers the first threads take answer once
// all of theirs are given up on, the rest each once its own is, however
// slowly the caller comes to them; or some seconds later, where only the
// caller itself could give them up.
TEST_F(Checker, GivenUpOnWithNoThreadToReplaceThem)
{
    const int kLate = 36;
    const int kThreads = 32;
    const DWORD kAnswersAnywayAfter = 5000;
    Seed({"A"}, "A\0\0", 3);
    std::vector<std::string> arguments = {"/T", "1"};
    std::string expected;
    for (int index = 0; index < kLate; ++index) {
        const std::string name = "\\\\LATE" + std::to_string(index);
        arguments.push_back(name);
        expected += "unreadable: " + name + ": no answer in 1 s\r\n";
    }
    arguments.push_back("\\\\UP");
    g_threads.createsBeforeFailing = kThreads;
    std::atomic<int> linesWritten{0};
    g_console.afterWritingOut = [&linesWritten] { ++linesWritten; };
    g_registry.whileConnecting = [&linesWritten](const std::string &computer) {
        if (computer.compare(0, 6, "\\\\LATE") != 0)
            return;
        const int index = std::stoi(computer.substr(6));
        const int answersAfter = index < kThreads ? kThreads : index + 1;
        for (const DWORD began = GetTickCount();
             linesWritten < answersAfter && GetTickCount() - began < kAnswersAnywayAfter;)
            Sleep(10);
    };

    EXPECT_EQ(kUnreadable, RunChecker(arguments).verdict);

    EXPECT_EQ(expected + "current: \\\\UP: Order lists every provider subkey\r\n  A\r\n", g_console.out);
    EXPECT_EQ(kThreads, g_threads.created);
}

// A fleet of computers of which all but the last few (answering) hang until
// as many have connected as there may be threads, and a few looks later,
// so that one started past that would show: each is checked once, in
// order, on exactly that many.
void CheckHangingFleet(int computers, int answering, int createsBeforeFailing, int threads)
{
    ResetFakePlatform();
    Seed({"A"}, "A\0\0", 3);
    g_threads.createsBeforeFailing = createsBeforeFailing;
    std::vector<std::string> names;
    std::string expected;
    for (int index = 0; index < computers; ++index) {
        names.push_back("\\\\HANG" + std::to_string(index));
        if (index < computers - answering)
            g_registry.hangingComputers.insert(names.back());
        expected += "current: " + names.back() + ": Order lists every provider subkey\r\n  A\r\n";
    }
    std::atomic<int> connecting(0);
    g_registry.whileConnecting = [&connecting](const std::string &) { ++connecting; };
    std::thread answer([&connecting, threads] {
        const auto latest = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (connecting < threads && std::chrono::steady_clock::now() < latest)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ReleaseHangingComputers();
    });

    const CheckerRun run = RunChecker(names);
    answer.join();

    EXPECT_EQ(kCurrent, run.verdict);
    EXPECT_EQ(threads, g_threads.created);
    EXPECT_EQ(expected, g_console.out);
    EXPECT_EQ(computers, connecting);
    EXPECT_EQ(0, g_registry.keysOpen);
    EXPECT_EQ(0, OpenFakeHandles());
}

// Computers that do not answer hold their threads, and others start in
// their place; where no more can start, the run goes on with those it has.
// One that takes the last computer and ends makes room for no other.
TEST_F(Checker, ThreadsStartInPlaceOfComputersThatDoNotAnswer)
{
    CheckHangingFleet(100, 0, 40, 40);
    CheckHangingFleet(33, 1, -1, 33);
}

// Where every check takes long, as on a busy computer, that is no
// computer's silence: the threads grow only for one that takes far longer
// than the others do, not for each that takes 100 ms.
TEST_F(Checker, ThreadsDoNotGrowWhereEveryCheckIsSlow)
{
    Seed({"A"}, "A\0\0", 3);
    std::vector<std::string> names;
    for (int index = 0; index < 300; ++index) {
        names.push_back("\\\\BUSY" + std::to_string(index));
        g_registry.connectDelays[names.back()] = 150;
    }

    EXPECT_EQ(kCurrent, RunChecker(names).verdict);

    // The first 32 may have others started in their place before any
    // check has ended, to time the rest by.
    EXPECT_GE(64, g_threads.created);
}

// However many do not answer, a run holds at most 1,024 threads.
TEST_F(Checker, TheThreadLimitHolds)
{
    CheckHangingFleet(1024 + 40, 0, -1, 1024);
}

// Where standard error is a console, a run that waits says there, on one
// line, how far it is and what it waits for, and blanks it before anything
// else is written: a computer that answers late, one given up on, the
// count. A narrow window gets it cut, never wrapped.
TEST_F(Checker, ProgressOnTheConsoleWhileTheRunWaits)
{
    typedef std::vector<std::string> Lines;
    const std::string up = "current: \\\\UP: Order lists every provider subkey\r\n  A\r\n";
    const std::string slow = "current: \\\\SLOW: Order lists every provider subkey\r\n  A\r\n";
    const std::string rest = "unreadable: \\\\HANG: no answer in 4 s\r\n"
                             "3 computers: 2 current, 0 stale, 0 untouched, 1 unreadable\r\n";
    // Drawn once a computer has been waited for a second, and again with
    // the seconds as they stand.
    const std::string waiting = "computers; waiting for \\\\";
    const struct {
        SHORT columns;
        Lines forSlow;
        Lines forHang;
    } rows[] = {
        {80,
         {"Checked 1 of 3 " + waiting + "SLOW (1 s)", "Checked 1 of 3 " + waiting + "SLOW (2 s)"},
         {"Checked 2 of 3 " + waiting + "HANG (2 s)", "Checked 2 of 3 " + waiting + "HANG (3 s)"}},
        {20, {"Checked 1 of 3 comp"}, {"Checked 2 of 3 comp"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.columns);
        ResetFakePlatform();
        Seed({"A"}, "A\0\0", 3);
        g_registry.connectDelays["\\\\SLOW"] = 2500;
        g_registry.hangingComputers.insert("\\\\HANG");
        g_console.errColumns = row.columns;

        EXPECT_EQ(kUnreadable, RunChecker({"/T", "4", "\\\\UP", "\\\\SLOW", "\\\\HANG"}).verdict);

        EXPECT_EQ(up + slow + "unreadable: \\\\HANG: no answer in 4 s\r\n", g_console.out);
        const size_t width = static_cast<size_t>(row.columns) - 1;
        const std::string blank = "\r" + std::string(width, ' ') + "\r";
        std::string screen = g_console.screen;
        // Takes what is expected off the front of what the window got.
        const auto take = [&screen](const std::string &text) {
            const bool there = screen.compare(0, text.size(), text) == 0;
            if (there)
                screen.erase(0, text.size());
            return there;
        };
        const auto draws = [&take, width](const Lines &lines) {
            int count = 0;
            for (bool drawn = true; drawn;) {
                drawn = false;
                for (const std::string &line : lines) {
                    while (take("\r" + line + std::string(width - line.size(), ' ') + "\r")) {
                        drawn = true;
                        ++count;
                    }
                }
            }
            return count;
        };
        EXPECT_TRUE(take(up));
        EXPECT_LE(1, draws(row.forSlow));
        EXPECT_TRUE(take(blank + slow));
        EXPECT_LE(1, draws(row.forHang));
        EXPECT_EQ(blank + rest, screen);
    }
}

enum RepairFault {
    kNoFault,
    kWriteRefused,
    kWriteFails,
    kKeptChanged,
    kKeptShorter,
    kKeptAsString,
    kSpoolerWillNotStop
};

// /F writes a stale Order exactly as the repair does, once, and reads it
// back; nothing else, and nowhere else, is ever written. /R restarts the
// spooler only where Order was rewritten.
TEST_F(Checker, RepairWhereStale)
{
    const std::string was = "was:\r\n  Old\r\nafter:\r\n  A\r\n  B\r\n";
    const std::string now = "now:\r\n  Old\r\nafter:\r\n  A\r\n  B\r\n";
    const DWORD repair = kRepairOrder;
    const DWORD restart = kRepairOrder | kRestartSpooler;
    typedef std::vector<std::string> Strings;
    const struct {
        const char *what;
        RepairFault fault;
        const char *computer;
        DWORD actions;
        Verdict verdict;
        std::string text;
        int writes;
        Strings serviceCalls = {};
        Strings subkeys = {"A", "B"};
        std::string order = std::string("Old\0\0", 5);  // empty: absent
        DWORD orderType = REG_MULTI_SZ;
        Strings written = {};  // none: the subkeys, in the registry's order
    } rows[] = {
        {"Order's order kept, spelled as the registry spells it, the rest after it",
         kNoFault,
         NULL,
         repair,
         kCurrent,
         "repaired: Order rewritten\r\nwas:\r\n  c\r\n  Gone\r\n  a\r\nafter:\r\n  C\r\n  A\r\n  B\r\n",
         1,
         {},
         {"A", "B", "C"},
         MultiString({"c", "Gone", "a"}),
         REG_MULTI_SZ,
         {"C", "A", "B"}},
        {"no list: the registry's order",
         kNoFault,
         NULL,
         repair,
         kCurrent,
         "repaired: Order rewritten\r\nwas: type 1\r\nafter:\r\n  A\r\n  B\r\n",
         1,
         {},
         {"A", "B"},
         std::string("B\0", 2),
         REG_SZ},
        {"current in its own order: not written, no service touched",
         kNoFault,
         NULL,
         restart,
         kCurrent,
         "current: Order lists every provider subkey, in an order provider-order.exe would change\r\n  B\r\n  A\r\n",
         0,
         {},
         {"A", "B"},
         std::string("B\0A\0\0", 5)},
        {"stale: rewritten, read back", kNoFault, NULL, repair, kCurrent, "repaired: Order rewritten\r\n" + was, 1},
        {"absent before",
         kNoFault,
         "\\\\PRN1",
         repair,
         kCurrent,
         "repaired: \\\\PRN1: Order rewritten\r\nwas: absent\r\nafter:\r\n  A\r\n  B\r\n",
         1,
         {},
         {"A", "B"},
         ""},
        {"refused here: not elevated", kWriteRefused, NULL, repair, kStale,
         "stale: not repaired (run it elevated): error 5: Access is denied.\r\n" + now, 0},
        {"refused there", kWriteRefused, "\\\\PRN1", repair, kStale,
         "stale: \\\\PRN1: not repaired: error 5: Access is denied.\r\n" + now, 0},
        {"a write that fails", kWriteFails, NULL, repair, kStale,
         "stale: not repaired: error 1219: Multiple connections to a server or shared resource by the same user, "
         "using more than one user name, are not allowed.\r\n" +
             now,
         0},
        {"read back changed", kKeptChanged, NULL, repair, kStale,
         "stale: not repaired: Order reads back other than written\r\n" + now, 1},
        {"read back short of its last NUL", kKeptShorter, NULL, repair, kStale,
         "stale: not repaired: Order reads back other than written\r\n" + now, 1},
        {"read back as another type", kKeptAsString, NULL, repair, kStale,
         "stale: not repaired: Order reads back other than written\r\n" + now, 1},
        {"current: not written",
         kNoFault,
         NULL,
         restart,
         kCurrent,
         "current: Order lists every provider subkey\r\n  A\r\n  B\r\n",
         0,
         {},
         {"A", "B"},
         std::string("A\0B\0\0", 5)},
        {"no subkeys: not written",
         kNoFault,
         NULL,
         restart,
         kUntouched,
         "untouched: no provider subkeys\r\n",
         0,
         {},
         {}},
        {"a name outside the code page: not written",
         kNoFault,
         NULL,
         restart,
         kUntouched,
         "untouched: subkey 1 reads as \"A\", outside the code page\r\n",
         0,
         {},
         {"A", "A"}},
        {"restarted",
         kNoFault,
         "\\\\PRN1",
         restart,
         kCurrent,
         "repaired: \\\\PRN1: Order rewritten; spooler restarted\r\n" + was,
         1,
         {"OpenSCManagerA \\\\PRN1", "stop Spooler", "start Spooler"}},
        {"not restarted: left needing it",
         kSpoolerWillNotStop,
         "\\\\PRN1",
         restart,
         kStale,
         "repaired: \\\\PRN1: Order rewritten; spooler not restarted: error 1061\r\n" + was,
         1,
         {"OpenSCManagerA \\\\PRN1", "stop Spooler"}},
        {"not repaired: not restarted", kWriteRefused, NULL, restart, kStale,
         "stale: not repaired (run it elevated): error 5: Access is denied.\r\n" + now, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        ResetFakePlatform();
        g_registry.subkeys = row.subkeys;
        g_registry.hasOrder = !row.order.empty();
        g_registry.order = row.order;
        g_registry.orderType = row.orderType;
        g_registry.writeOpenResult = row.fault == kWriteRefused ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
        g_registry.setValueResult = row.fault == kWriteFails ? 1219 : ERROR_SUCCESS;
        if (row.fault == kKeptChanged)
            g_registry.keptInstead = std::string("A\0C\0\0", 5);
        if (row.fault == kKeptShorter)
            g_registry.keptInstead = std::string("A\0B\0", 4);
        g_registry.keptAsString = row.fault == kKeptAsString;
        if (row.fault == kSpoolerWillNotStop)
            g_services.services["Spooler"].stopFailure = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
        else
            g_services.services["Spooler"] = FakeService();

        Verdict verdict = kUsage;
        EXPECT_EQ(row.text, Described(row.computer, kTextReport, &verdict, row.actions));

        EXPECT_EQ(row.verdict, verdict);
        EXPECT_EQ(row.writes, g_registry.writes);
        if (row.writes != 0) {
            EXPECT_EQ("Order", g_registry.writtenName);
            EXPECT_EQ(REG_MULTI_SZ, g_registry.writtenType);
            EXPECT_EQ(MultiString(row.written.empty() ? row.subkeys : row.written), g_registry.writtenBytes);
        }
        // Opened once, for writing too; for reading only where that is refused.
        const long opens = std::count(g_registry.calls.begin(), g_registry.calls.end(),
                                      row.computer != NULL ? "RegOpenKeyExA remote" : "RegOpenKeyExA");
        EXPECT_EQ(row.fault == kWriteRefused ? 2 : 1, opens);
        EXPECT_EQ(row.fault == kWriteRefused ? KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE
                                             : KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE,
                  g_registry.openedAccess);
        EXPECT_EQ(row.serviceCalls, g_services.calls);
        EXPECT_EQ(0, g_registry.keysOpen);
        EXPECT_EQ(0, g_services.handlesOpen);
    }
}

// Stopped as net stop spooler /y stops it: the dependants that run first,
// in the order listed, then the spooler; started in the reverse order. One
// that will not stop leaves the spooler running and the others started
// again.
TEST_F(Checker, TheSpoolerRestartsWithItsDependants)
{
    typedef std::vector<std::string> Calls;
    const Calls all = {"stop Fax", "stop LPDSVC", "stop Spooler", "start Spooler", "start LPDSVC", "start Fax"};
    const struct {
        const char *what;
        DWORD spooler;
        DWORD lpd;  // the second dependant's state
        LONG lpdStopFailure;
        bool faxStaysStopPending;
        LONG spoolerStartFailure;
        LONG managerResult;
        LONG result;
        Calls calls;
        bool spoolerStopsByItself = false;
        LONG lpdStartFailure = ERROR_SUCCESS;
        LONG faxStartFailure = ERROR_SUCCESS;
        int faxStopTakes = 0;  // milliseconds, its check point never moving
        DWORD faxWaitHint = 0;
    } rows[] = {
        {"running, with two dependants", SERVICE_RUNNING, SERVICE_RUNNING, ERROR_SUCCESS, false, ERROR_SUCCESS,
         ERROR_SUCCESS, ERROR_SUCCESS,
         Calls{"stop Fax", "stop LPDSVC", "stop Spooler", "start Spooler", "start LPDSVC", "start Fax"}},
        {"a dependant that was stopped stays so", SERVICE_RUNNING, SERVICE_STOPPED, ERROR_SUCCESS, false, ERROR_SUCCESS,
         ERROR_SUCCESS, ERROR_SUCCESS, Calls{"stop Fax", "stop Spooler", "start Spooler", "start Fax"}},
        {"stopped: started", SERVICE_STOPPED, SERVICE_STOPPED, ERROR_SUCCESS, false, ERROR_SUCCESS, ERROR_SUCCESS,
         ERROR_SUCCESS, Calls{"start Spooler"}},
        {"a dependant that will not stop", SERVICE_RUNNING, SERVICE_RUNNING, ERROR_SERVICE_CANNOT_ACCEPT_CTRL, false,
         ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SERVICE_CANNOT_ACCEPT_CTRL, Calls{"stop Fax", "stop LPDSVC", "start Fax"}},
        {"a dependant that never gets there", SERVICE_RUNNING, SERVICE_RUNNING, ERROR_SUCCESS, true, ERROR_SUCCESS,
         ERROR_SUCCESS, ERROR_SERVICE_REQUEST_TIMEOUT, Calls{"stop Fax"}},
        {"a spooler that will not start", SERVICE_RUNNING, SERVICE_RUNNING, ERROR_SUCCESS, false, 1058, ERROR_SUCCESS,
         1058, Calls{"stop Fax", "stop LPDSVC", "stop Spooler", "start Spooler", "start LPDSVC", "start Fax"}},
        {"no service manager", SERVICE_RUNNING, SERVICE_RUNNING, ERROR_SUCCESS, false, ERROR_SUCCESS,
         ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, Calls{}},
        {"a spooler that stopped by itself before the stop", SERVICE_RUNNING, SERVICE_RUNNING, ERROR_SUCCESS, false,
         ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, all, true},
        {"a dependant someone else started first", SERVICE_RUNNING, SERVICE_RUNNING, ERROR_SUCCESS, false,
         ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, all, false, ERROR_SUCCESS, ERROR_SERVICE_ALREADY_RUNNING},
        {"two dependants that will not start: the first one's error", SERVICE_RUNNING, SERVICE_RUNNING, ERROR_SUCCESS,
         false, ERROR_SUCCESS, ERROR_SUCCESS, 1058, all, false, 1058, 1068},
        {"a wait hint near 2^32 waits past a second", SERVICE_RUNNING, SERVICE_RUNNING, ERROR_SUCCESS, false,
         ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, all, false, ERROR_SUCCESS, ERROR_SUCCESS, 1500, 0xFFFFFFFFu},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        ResetFakePlatform();
        g_services.managerResult = row.managerResult;
        FakeService &spooler = g_services.services["Spooler"];
        spooler.state = row.spooler;
        spooler.dependants = {"Fax", "LPDSVC"};
        spooler.startFailure = row.spoolerStartFailure;
        g_services.services["Fax"].staysStopPending = row.faxStaysStopPending;
        g_services.services["LPDSVC"].state = row.lpd;
        g_services.services["LPDSVC"].stopFailure = row.lpdStopFailure;
        spooler.stopsByItself = row.spoolerStopsByItself;
        g_services.services["LPDSVC"].startFailure = row.lpdStartFailure;
        g_services.services["Fax"].startFailure = row.faxStartFailure;
        g_services.services["Fax"].stopTakes = row.faxStopTakes;
        g_services.services["Fax"].waitHint = row.faxWaitHint;

        EXPECT_EQ(row.result, RestartSpooler("\\\\PRN1"));

        Calls calls = row.calls;
        calls.insert(calls.begin(), "OpenSCManagerA \\\\PRN1");
        EXPECT_EQ(calls, g_services.calls);
        EXPECT_EQ(0, g_services.handlesOpen);
    }
}

// Under /F the count has the repaired, and the exit code says what the
// computers are left as; a second run finds them current.
TEST_F(Checker, RepairsCounted)
{
    g_registry.subkeys = {"A"};
    g_registry.connectFailures["\\\\DOWN"] = ERROR_BAD_NETPATH;
    const struct {
        std::vector<std::string> arguments;
        Verdict verdict;
        const char *count;
    } runs[] = {
        {{"\\\\UP", "\\\\UP"}, kStale, "2 computers: 0 current, 2 stale, 0 untouched, 0 unreadable\r\n"},
        {{"/F", "\\\\UP", "\\\\DOWN"},
         kUnreadable,
         "2 computers: 0 current, 1 repaired, 0 stale, 0 untouched, 1 unreadable\r\n"},
        {{"/F", "\\\\UP", "\\\\UP"},
         kCurrent,
         "2 computers: 2 current, 0 repaired, 0 stale, 0 untouched, 0 unreadable\r\n"},
    };
    for (const auto &run : runs) {
        g_console = FakeConsole();
        EXPECT_EQ(run.verdict, RunChecker(run.arguments).verdict);
        EXPECT_EQ(run.count, g_console.err);
    }
    EXPECT_EQ(1, g_registry.writes);

    // Rewritten, but the spooler not restarted: the run's exit code says so.
    g_registry.hasOrder = false;
    g_services.services["Spooler"].stopFailure = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    EXPECT_EQ(kStale, RunChecker({"/F", "/R", "\\\\UP"}).verdict);
    EXPECT_EQ(2, g_registry.writes);
}

// Under /F, /T gives up on a computer only before it is written to: one
// given up on writes nothing when it answers late, and a repair that has
// begun is waited for.
TEST_F(Checker, ARepairIsNeverGivenUpOn)
{
    g_registry.subkeys = {"A"};
    g_registry.hangingComputers.insert("\\\\HANG");
    EXPECT_EQ(kUnreadable, RunChecker({"/F", "/T", "1", "\\\\HANG"}).verdict);
    EXPECT_EQ("unreadable: \\\\HANG: no answer in 1 s\r\n", g_console.out);
    EXPECT_EQ(0, g_registry.writes);

    g_console = FakeConsole();
    g_registry.setValueDelay = 1500;
    EXPECT_EQ(kCurrent, RunChecker({"/F", "/T", "1", "\\\\UP"}).verdict);
    EXPECT_EQ("repaired: \\\\UP: Order rewritten\r\nwas: absent\r\nafter:\r\n  A\r\n", g_console.out);
    EXPECT_EQ(1, g_registry.writes);
}

enum RemoteRegistryAs { kNoService, kDisabled, kManual, kRunning, kStartPending };
// What happens to the check on its way.
enum Disturbance { kUndisturbed, kNoAnswer, kCtrlCOnRefusal };

// /RR: a computer that refuses the connection has its Remote Registry
// started for the check (a disabled one set to manual first) and put back
// exactly as found; one that answers, or whose service runs, is not
// touched. What could not be put back is said, and the run cannot end 0.
TEST_F(Checker, RemoteRegistryStartedForTheCheckAndPutBack)
{
    typedef std::vector<std::string> Calls;
    const std::string netpath = "remote registry: error 53: The network path was not found. ";
    const std::string open = "OpenSCManagerA \\\\RR1";
    const Calls enabled = {open, "config RemoteRegistry 3", "start RemoteRegistry", "stop RemoteRegistry",
                           "config RemoteRegistry 4"};
    const struct {
        const char *what;
        RemoteRegistryAs service;
        bool behind;  // false: it refuses whatever runs
        std::vector<std::string> arguments;
        Verdict verdict;
        std::string out;
        Calls calls;
        DWORD endsAs = SERVICE_DISABLED;
        int changesAllowed = -1;
        LONG startFailure = ERROR_SUCCESS;
        LONG stopFailure = ERROR_SUCCESS;
        LONG managerResult = ERROR_SUCCESS;
        Disturbance disturbance = kUndisturbed;
    } rows[] = {
        {"disabled: enabled, started, repaired, stopped, disabled again",
         kDisabled,
         true,
         {"/RR", "/F", "\\\\RR1"},
         kCurrent,
         "repaired: \\\\RR1: Order rewritten; Remote Registry started for the check, then stopped and disabled "
         "again\r\nwas: absent\r\nafter:\r\n  A\r\n",
         enabled},
        {"manual: its start type never touched",
         kManual,
         true,
         {"/RR", "\\\\RR1"},
         kStale,
         "stale: \\\\RR1: Order does not name every provider subkey once; Remote Registry started for the check, then "
         "stopped again\r\nnow: absent\r\nafter:\r\n  A\r\n",
         {open, "start RemoteRegistry", "stop RemoteRegistry"},
         SERVICE_DEMAND_START},
        {"running: nothing touched",
         kRunning,
         false,
         {"/RR", "\\\\RR1"},
         kUnreadable,
         "unreadable: \\\\RR1: " + netpath + "Remote Registry runs there: the network refuses the connection\r\n",
         {open},
         SERVICE_DEMAND_START},
        {"pending: left as it is, never stopped",
         kStartPending,
         false,
         {"/RR", "\\\\RR1"},
         kUnreadable,
         "unreadable: \\\\RR1: " + netpath + "Remote Registry is starting or stopping there: left as it is\r\n",
         {open},
         SERVICE_DEMAND_START},
        {"given up on under /T before its service is touched: none is",
         kDisabled,
         true,
         {"/RR", "/T", "1", "\\\\RR1"},
         kUnreadable,
         "unreadable: \\\\RR1: no answer in 1 s\r\n",
         {},
         SERVICE_DISABLED,
         -1,
         ERROR_SUCCESS,
         ERROR_SUCCESS,
         ERROR_SUCCESS,
         kNoAnswer},
        {"Ctrl+C once the connection is refused: not started",
         kDisabled,
         true,
         {"/RR", "\\\\RR1"},
         kUnreadable,
         "unreadable: \\\\RR1: " + netpath + "Remote Registry not started: the run is stopping\r\n",
         {open},
         SERVICE_DISABLED,
         -1,
         ERROR_SUCCESS,
         ERROR_SUCCESS,
         ERROR_SUCCESS,
         kCtrlCOnRefusal},
        {"answers at once: no service call",
         kDisabled,
         false,
         {"/RR", "\\\\UP"},
         kStale,
         "stale: \\\\UP: Order does not name every provider subkey once\r\nnow: absent\r\nafter:\r\n  A\r\n",
         {}},
        {"no such service",
         kNoService,
         false,
         {"/RR", "\\\\RR1"},
         kUnreadable,
         "unreadable: \\\\RR1: " + netpath + "Remote Registry could not be started: error 1060\r\n",
         {open}},
        {"no service manager either",
         kDisabled,
         true,
         {"/RR", "\\\\RR1"},
         kUnreadable,
         "unreadable: \\\\RR1: " + netpath +
             "Its service manager did not answer either, so the computer was not reached: error 1722\r\n",
         {open},
         SERVICE_DISABLED,
         -1,
         ERROR_SUCCESS,
         ERROR_SUCCESS,
         1722},
        {"disabled, and may not be changed",
         kDisabled,
         true,
         {"/RR", "\\\\RR1"},
         kUnreadable,
         "unreadable: \\\\RR1: " + netpath +
             "Remote Registry is disabled and could not be set to start: error 5: Access is denied.\r\n",
         {open, "config RemoteRegistry 3"},
         SERVICE_DISABLED,
         0},
        {"a start refused: its start type given back",
         kDisabled,
         true,
         {"/RR", "\\\\RR1"},
         kUnreadable,
         "unreadable: \\\\RR1: " + netpath + "Remote Registry could not be started: error 5: Access is denied.\r\n",
         enabled,
         SERVICE_DISABLED,
         -1,
         ERROR_ACCESS_DENIED},
        {"a stop that fails: said, and not 0",
         kManual,
         true,
         {"/RR", "\\\\RR1"},
         kUnreadable,
         "stale: \\\\RR1: Order does not name every provider subkey once; Remote Registry left running: error "
         "1061\r\nnow: absent\r\nafter:\r\n  A\r\n",
         {open, "start RemoteRegistry", "stop RemoteRegistry"},
         SERVICE_DEMAND_START,
         -1,
         ERROR_SUCCESS,
         ERROR_SERVICE_CANNOT_ACCEPT_CTRL},
        {"its start type not given back: said, and not 0",
         kDisabled,
         true,
         {"/RR", "\\\\RR1"},
         kUnreadable,
         "stale: \\\\RR1: Order does not name every provider subkey once; Remote Registry left able to start, not "
         "disabled: error 5: Access is denied.\r\nnow: absent\r\nafter:\r\n  A\r\n",
         enabled,
         SERVICE_DEMAND_START,
         1},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        ResetFakePlatform();
        g_registry.subkeys = {"A"};
        if (row.behind)
            g_registry.behindRemoteRegistry.insert("\\\\RR1");
        else
            g_registry.connectFailures["\\\\RR1"] = ERROR_BAD_NETPATH;
        g_services.managerResult = row.managerResult;
        if (row.disturbance == kNoAnswer)
            g_registry.hangingComputers.insert("\\\\RR1");
        // On the checking thread, before the refusal is returned.
        if (row.disturbance == kCtrlCOnRefusal)
            g_registry.whileConnecting = [](const std::string &) {
                if (g_console.controlHandler != NULL && !StopRequested())
                    g_console.controlHandler(CTRL_C_EVENT);
            };
        const DWORD states[] = {SERVICE_STOPPED, SERVICE_STOPPED, SERVICE_STOPPED, SERVICE_RUNNING,
                                SERVICE_START_PENDING};
        const DWORD state = states[row.service];
        if (row.service != kNoService) {
            FakeService &service = g_services.services["RemoteRegistry"];
            service.state = state;
            service.startType = row.service == kDisabled ? SERVICE_DISABLED : SERVICE_DEMAND_START;
            service.changesAllowed = row.changesAllowed;
            service.startFailure = row.startFailure;
            service.stopFailure = row.stopFailure;
        }

        EXPECT_EQ(row.verdict, RunChecker(row.arguments).verdict);

        EXPECT_EQ(row.out, g_console.out);
        EXPECT_EQ(row.calls, g_services.calls);
        if (row.service != kNoService) {
            const FakeService &service = g_services.services["RemoteRegistry"];
            EXPECT_EQ(row.endsAs, service.startType);
            EXPECT_EQ(row.stopFailure != ERROR_SUCCESS ? SERVICE_RUNNING : state, service.state);
        }
        EXPECT_EQ(0, g_services.handlesOpen);
        EXPECT_EQ(0, g_registry.keysOpen);
    }

    // Without /RR, not one service call; with several computers, the count.
    ResetFakePlatform();
    g_registry.subkeys = {"A"};
    g_registry.behindRemoteRegistry.insert("\\\\RR1");
    g_services.services["RemoteRegistry"].state = SERVICE_STOPPED;
    EXPECT_EQ(kUnreadable, RunChecker({"\\\\RR1"}).verdict);
    EXPECT_TRUE(g_services.calls.empty());
    g_console = FakeConsole();
    g_threads.createFails = true;
    g_services.services["RemoteRegistry"].stopFailure = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    EXPECT_EQ(kUnreadable, RunChecker({"/RR", "\\\\RR1", "\\\\UP"}).verdict);
    EXPECT_EQ("2 computers: 0 current, 2 stale, 0 untouched, 0 unreadable; Remote Registry left changed on 1\r\n",
              g_console.err);
}

// Ctrl+C while a computer's Remote Registry is changed: the handler lets
// the process end only once it is put back, and no computer is begun
// after it.
TEST_F(Checker, CtrlCWaitsForRemoteRegistryToBePutBack)
{
    g_registry.subkeys = {"A"};
    g_registry.behindRemoteRegistry.insert("\\\\RR1");
    FakeService &service = g_services.services["RemoteRegistry"];
    service.state = SERVICE_STOPPED;
    service.startType = SERVICE_DISABLED;
    g_registry.connectDelays["\\\\RR1"] = 100;
    g_threads.createsBeforeFailing = 1;
    std::thread control;
    BOOL handled = TRUE;
    DWORD stateWhenEnded = 0;
    DWORD startTypeWhenEnded = 0;
    // On the check's thread, once the service runs: Ctrl+C, from another.
    g_registry.whileConnecting = [&](const std::string &computer) {
        if (computer != "\\\\RR1" || service.state != SERVICE_RUNNING || control.joinable())
            return;
        const PHANDLER_ROUTINE handler = g_console.controlHandler;
        control = std::thread([&, handler] {
            handled = handler(CTRL_C_EVENT);
            stateWhenEnded = service.state;
            startTypeWhenEnded = service.startType;
        });
        // The check goes on only once the stop is asked for, however late
        // the other thread runs.
        while (!StopRequested())
            std::this_thread::yield();
    };

    EXPECT_EQ(kUnreadable, RunChecker({"/RR", "/T", "30", "\\\\RR1", "\\\\UP"}).verdict);
    ASSERT_TRUE(control.joinable());
    control.join();

    EXPECT_FALSE(handled);
    EXPECT_EQ(SERVICE_STOPPED, stateWhenEnded);
    EXPECT_EQ(SERVICE_DISABLED, startTypeWhenEnded);
    EXPECT_EQ("stale: \\\\RR1: Order does not name every provider subkey once; Remote Registry started for the check, "
              "then stopped and disabled again\r\nnow: absent\r\nafter:\r\n  A\r\n"
              "unreadable: \\\\UP: not checked: the run was stopped\r\n",
              g_console.out);
    EXPECT_EQ(0,
              std::count(g_registry.workerCalls.begin(), g_registry.workerCalls.end(), "RegConnectRegistryA \\\\UP"));
    EXPECT_EQ(NULL, g_console.controlHandler);
}

TEST_F(Checker, CsvWithItsHeaderOrWithout)
{
    g_registry.subkeys = {"A"};
    const std::string header = "\"Computer\",\"Verdict\",\"Exit code\",\"Reason\",\"Order now\",\"Order after\"\r\n";
    const std::string row =
        "\"THISPC\",\"stale\",\"1\",\"Order does not name every provider subkey once; now: absent\",\"\",\"A\"\r\n";
    EXPECT_EQ(kStale, RunChecker({"/FO", "CSV"}).verdict);
    EXPECT_EQ(header + row, g_console.out);
    g_console = FakeConsole();
    EXPECT_EQ(kStale, RunChecker({"-fo", "csv", "/nh"}).verdict);
    EXPECT_EQ(row, g_console.out);
}

// The arguments become a plan, or nothing is checked: the usage, or a
// list's fault on standard error, and not one registry call.
TEST_F(Checker, TheArgumentsMakeAPlan)
{
    g_files.contents["servers.txt"] = "S1\r\n\\\\S2\r\n";
    g_files.contents["bad.txt"] = "S1\r\nS 2\r\n";
    typedef std::vector<std::string> Arguments;
    const struct {
        Arguments arguments;
        PlanOutcome outcome;
        std::vector<std::string> computers = {};
        ReportFormat format = kTextReport;
        bool header = true;
        DWORD timeLimit = 0;
        DWORD actions = 0;
    } rows[] = {
        {{}, kPlanReady},
        {{"/?"}, kPlanHelp},
        {{"-h"}, kPlanHelp},
        {{"--help"}, kPlanHelp},
        {{"\\\\A", "@servers.txt", "\\\\B"}, kPlanReady, {"\\\\A", "\\\\S1", "\\\\S2", "\\\\B"}},
        {{"/FO", "CSV", "/NH", "/T", "30"}, kPlanReady, {}, kCsvReport, false, 30},
        {{"-fo", "csv", "-nh", "-t", "3600"}, kPlanReady, {}, kCsvReport, false, 3600},
        {{"/t", "1", "\\\\A"}, kPlanReady, {"\\\\A"}, kTextReport, true, 1},
        {{"/F"}, kPlanReady, {}, kTextReport, true, 0, kRepairOrder},
        {{"-r", "/f"}, kPlanReady, {}, kTextReport, true, 0, kRepairOrder | kRestartSpooler},
        {{"-rr", "/F", "/r"},
         kPlanReady,
         {},
         kTextReport,
         true,
         0,
         kRepairOrder | kRestartSpooler | kStartRemoteRegistry},
        {{"/R"}, kPlanWrongArgument},
        {{"/RR", "/R"}, kPlanWrongArgument},
        {{"/RR", "/RR"}, kPlanWrongArgument},
        {{"/F", "/F"}, kPlanWrongArgument},
        {{"/? /?"}, kPlanWrongArgument},
        {{"/?", "\\\\A"}, kPlanWrongArgument},
        {{"/x"}, kPlanWrongArgument},
        {{"A"}, kPlanWrongArgument},
        {{"@"}, kPlanWrongArgument},
        {{"/FO"}, kPlanWrongArgument},
        {{"/FO", "XML"}, kPlanWrongArgument},
        {{"/FO", "CSV", "/FO", "CSV"}, kPlanWrongArgument},
        {{"/NH"}, kPlanWrongArgument},
        {{"/FO", "CSV", "/NH", "/NH"}, kPlanWrongArgument},
        {{"/T"}, kPlanWrongArgument},
        {{"/T", "0"}, kPlanWrongArgument},
        {{"/T", "3601"}, kPlanWrongArgument},
        {{"/T", "99999999999"}, kPlanWrongArgument},
        {{"/T", "soon"}, kPlanWrongArgument},
        {{"/T", "30s"}, kPlanWrongArgument},
        {{"/T", "-5"}, kPlanWrongArgument},
        {{"/T", "1", "/T", "2"}, kPlanWrongArgument},
        {{"\\\\A", "@missing.txt"}, kPlanRefused},
        {{"\\\\A", "@bad.txt", "\\\\B"}, kPlanRefused},
    };
    for (const auto &row : rows) {
        std::string what;
        for (const std::string &argument : row.arguments)
            what += argument + " ";
        SCOPED_TRACE(what);
        std::vector<std::string> arguments = row.arguments;
        arguments.insert(arguments.begin(), "provider-order-check.exe");
        std::vector<char *> argv;
        for (std::string &argument : arguments)
            argv.push_back(&argument[0]);
        CheckPlan plan;

        EXPECT_EQ(row.outcome, MakePlan(static_cast<int>(argv.size()), argv.data(), &plan));

        if (row.outcome == kPlanReady) {
            EXPECT_EQ(row.computers,
                      std::vector<std::string>(plan.computers.names, plan.computers.names + plan.computers.count));
            EXPECT_EQ(row.format, plan.format);
            EXPECT_EQ(row.header, plan.header);
            EXPECT_EQ(row.timeLimit, plan.timeLimit);
            EXPECT_EQ(row.actions, plan.actions);
        }
        EXPECT_TRUE(g_registry.calls.empty());
        ReleasePlan(&plan);
    }
}

std::string Utf16(const std::u16string &text)
{
    return std::string(reinterpret_cast<const char *>(text.data()), text.size() * sizeof(char16_t));
}

// A list file, as Windows' tools write them, gives the computers it lists
// in order; a fault names the file, and the line and its text.
TEST_F(Checker, AListFileNamesComputers)
{
    std::string hundredThousand;
    for (int index = 0; index < 100000; ++index)
        hundredThousand += "PC" + std::to_string(index) + "\r\n";
    typedef std::vector<std::string> Names;
    const struct {
        const char *what;
        std::string contents;
        Names computers;
        std::string err = "";
        bool readable = true;
        LONG readFailure = ERROR_SUCCESS;
        bool shortRead = false;
        DWORD sizeHigh = 0;
        DWORD sizeLow = 0;  // not 0: the size the file claims
        LONG sizeFailure = ERROR_SUCCESS;
    } rows[] = {
        {"ANSI, a Latin-1 letter",
         "Dr\xfc"
         "ck\r\nB",
         {"\\\\Dr\xfc"
          "ck",
          "\\\\B"}},
        {"UTF-8 without a mark",
         "Dr\xc3\xbc"
         "ck\nB\n",
         {"\\\\Dr\xfc"
          "ck",
          "\\\\B"}},
        {"UTF-8 with a mark",
         "\xef\xbb\xbf"
         "Dr\xc3\xbc"
         "ck\r\nB\r\n",
         {"\\\\Dr\xfc"
          "ck",
          "\\\\B"}},
        {"UTF-16LE with a mark",
         Utf16(u"\ufeffDr\u00fcck\r\nB\r\n"),
         {"\\\\Dr\xfc"
          "ck",
          "\\\\B"}},
        {"blanks, tabs, empty lines, backslashes or none, no break at the end",
         "\r\n  A \t\r\n\n\t\\\\B\r\n   \r\nC",
         {"\\\\A", "\\\\B", "\\\\C"}},
        {"a bad line, by its number and text",
         "A\r\n\r\n  PRN 1  \r\nB\r\n",
         {},
         "provider-order-check: list.txt, line 3: not a computer name: PRN 1\r\n"},
        {"a path",
         "A\n\\\\B\\share\n",
         {},
         "provider-order-check: list.txt, line 2: not a computer name: \\\\B\\share\r\n"},
        {"a NUL inside a line",
         std::string("A\0B\n", 4),
         {},
         "provider-order-check: list.txt, line 1: not a computer name: A\r\n"},
        {"a letter the code page lacks, never its look-alike",
         "\xc5\x81\xc3\xb3"
         "d\xc5\xba\r\n",
         {},
         "provider-order-check: list.txt, line 1: not a computer name: ?\xc3\xb3"
         "d?\r\n"},
        {"UTF-16 the code page lacks",
         Utf16(u"\ufeff\u0141\u00f3d\u017a"),
         {},
         "provider-order-check: list.txt, line 1: not a computer name: ?\xc3\xb3"
         "d?\r\n"},
        // As the directory's tools write a list.
        {"dsquery computer -o rdn: quoted", "\"PC17\"\r\n\"PC18\"\r\n", {"\\\\PC17", "\\\\PC18"}},
        {"dsquery computer -o samid: account names", "\"PC17$\"\r\nPC18$\r\n", {"\\\\PC17", "\\\\PC18"}},
        {"dsquery computer: distinguished names, their escapes undone, quoted or bare",
         "\"CN=PC17,OU=Workstations,DC=corp,DC=example,DC=com\"\r\n"
         "\"cn=Lab\\2D3\\=A,OU=Lab\\, North,DC=corp\"\r\nCN=PC18+SN=x,DC=corp\r\n",
         {"\\\\PC17", "\\\\Lab-3=A", "\\\\PC18"}},
        {"a distinguished name's escaped UTF-8 is no name's",
         "\"CN=Dr\\C3\\BCck,DC=corp\"\r\n",
         {},
         "provider-order-check: list.txt, line 1: not a computer name: \"CN=Dr\\C3\\BCck,DC=corp\"\r\n"},
        {"Users and Computers' export, tab-separated",
         "Name\tType\tDescription\r\nPC17\tComputer\t\r\n\r\n"
         "PC18\tComputer\tFront desk\r\n",
         {"\\\\PC17", "\\\\PC18"}},
        {"Users and Computers' export, comma-separated, UTF-16",
         Utf16(u"\ufeffname,type,description\r\nPC17,Computer,\"Front desk, \"\"north\"\"\"\r\nPC18,Computer,\r\n"),
         {"\\\\PC17", "\\\\PC18"}},
        {"Export-Csv in Windows PowerShell 5.1: a type line, DNSHostName where a row has one",
         "#TYPE Microsoft.ActiveDirectory.Management.ADComputer\r\n"
         "\"DistinguishedName\",\"DNSHostName\",\"Enabled\",\"Name\",\"SamAccountName\"\r\n"
         "\"CN=PC17,OU=Workstations,DC=corp\",\"pc17.corp.example.com\",\"True\",\"PC17\",\"PC17$\"\r\n"
         "\"CN=PC18,OU=Workstations,DC=corp\",,\"False\",\"PC18\",\"PC18$\"\r\n",
         {"\\\\pc17.corp.example.com", "\\\\PC18"}},
        {"Export-Csv in PowerShell 7: UTF-8, no type line",
         "\"DNSHostName\",\"Name\"\r\n\"\",\"Dr\xc3\xbc"
         "ck\"\r\n",
         {"\\\\Dr\xfc"
          "ck"}},
        {"one column, its header Name", "Name\r\nPC17\r\n", {"\\\\PC17"}},
        {"a header that names no column of names",
         "Host,Address\r\nPC17,10.0.0.1\r\n",
         {},
         "provider-order-check: list.txt, line 1: a table without a column of computer names: DNSHostName, Name, "
         "Computer or ComputerName\r\n"},
        {"a quote that never closes, where it opened",
         "Name,Description\r\nPC17,\"Front\r\ndesk\r\n",
         {},
         "provider-order-check: list.txt, line 2: a quote that never closes\r\n"},
        {"a cell that is no name, on the line its row begins",
         "Computer,Order now\r\nA,\"x\ny\"\r\n\"B C\",\r\n",
         {},
         "provider-order-check: list.txt, line 4, column Computer: not a computer name: B C\r\n"},
        {"a row that ends before its column",
         "Type,Name\r\nComputer,PC17\r\nComputer\r\n",
         {},
         "provider-order-check: list.txt, line 3, column Name: empty\r\n"},
        {"empty", "", {}, "provider-order-check: list.txt: names no computer\r\n"},
        {"blank lines only", " \r\n\t\n", {}, "provider-order-check: list.txt: names no computer\r\n"},
        {"a mark only", "\xef\xbb\xbf", {}, "provider-order-check: list.txt: names no computer\r\n"},
        {"no such file",
         "",
         {},
         "provider-order-check: list.txt: error 2: The system cannot find the file specified.\r\n",
         false},
        {"a read that fails",
         "A\r\n",
         {},
         "provider-order-check: list.txt: error 5: Access is denied.\r\n",
         true,
         ERROR_ACCESS_DENIED},
        {"a read cut short", "A\r\n", {}, "provider-order-check: list.txt: error 38\r\n", true, ERROR_SUCCESS, true},
        {"over 4 GiB",
         "A\r\n",
         {},
         "provider-order-check: list.txt: error 223: The file size exceeds the limit allowed and cannot be saved.\r\n",
         true,
         ERROR_SUCCESS,
         false,
         1},
        // The limit is what keeps size + 1 from wrapping.
        {"64 MiB: taken, and read",
         "A\r\n",
         {},
         "provider-order-check: list.txt: error 38\r\n",
         true,
         ERROR_SUCCESS,
         false,
         0,
         64 * 1024 * 1024},
        {"a byte over 64 MiB",
         "A\r\n",
         {},
         "provider-order-check: list.txt: error 223: The file size exceeds the limit allowed and cannot be saved.\r\n",
         true,
         ERROR_SUCCESS,
         false,
         0,
         64 * 1024 * 1024 + 1},
        {"a size that cannot be read: its own error",
         "A\r\n",
         {},
         "provider-order-check: list.txt: error 5: Access is denied.\r\n",
         true,
         ERROR_SUCCESS,
         false,
         0,
         0,
         ERROR_ACCESS_DENIED},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        ResetFakePlatform();
        g_console.outputCodePage = 65001;
        if (row.readable)
            g_files.contents["list.txt"] = row.contents;
        g_files.readFailure = row.readFailure;
        g_files.shortRead = row.shortRead;
        g_files.sizeHigh = row.sizeHigh;
        g_files.sizeLow = row.sizeLow;
        g_files.sizeFailure = row.sizeFailure;
        ComputerList list = ComputerList();

        EXPECT_EQ(row.err.empty(), ReadComputerList("list.txt", &list));

        if (row.err.empty()) {
            EXPECT_EQ(row.computers, Names(list.names, list.names + list.count));
        }
        EXPECT_EQ(row.err, g_console.err);
        EXPECT_EQ(0, OpenFakeHandles());
        ReleaseComputers(&list);
    }

    // The checker's own report, redirected: in the OEM code page, line
    // feeds inside its cells.
    ResetFakePlatform();
    g_console.outputCodePage = 0;
    g_files.contents["audit.csv"] =
        std::string(kCsvHeader) + "\"PRN1\",\"stale\",\"1\",\"Order does not name every provider subkey once\",\"Old\n"
                                  "LanMan Print Services\",\"LanMan Print Services\"\r\n"
                                  "\"Dr\x81"
                                  "ck\",\"unreadable\",\"3\",\"remote registry: error 53\",\"\",\"\"\r\n";
    ComputerList report = ComputerList();
    ASSERT_TRUE(ReadComputerList("audit.csv", &report));
    EXPECT_EQ(Names({"\\\\PRN1", "\\\\Dr\xfc"
                                 "ck"}),
              Names(report.names, report.names + report.count));
    ReleaseComputers(&report);

    ResetFakePlatform();
    g_files.contents["fleet.txt"] = hundredThousand;
    ComputerList list = ComputerList();
    ASSERT_TRUE(ReadComputerList("fleet.txt", &list));
    ASSERT_EQ(100000u, list.count);
    EXPECT_STREQ("\\\\PC0", list.names[0]);
    EXPECT_STREQ("\\\\PC99999", list.names[99999]);
    ReleaseComputers(&list);
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
        {"\\\\PRN1/share", false},
        {"\\\\PRN 1", false},
        {"\\\\PRN\t1", false},
        {"\\\\PRN\x7f", false},
        {"\\\\PRN1:445", false},
        {"\\\\*", false},
        {"\\\\PRN?", false},
        {"\\\\\"PRN1\"", false},
        {"\\\\<PRN1>", false},
        {"\\\\PRN1|more", false},
        {"\\\\\x95\x5C", true, true},  // a double-byte letter whose trail byte is a backslash's
        {"\\\\\x95\x5C", false},
        {"\\\\A\x95", true, true},  // a lead byte alone at the end
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.argument);
        g_doubleByteCodePage = row.doubleByteCodePage;
        EXPECT_EQ(row.computer, IsComputerArgument(row.argument.c_str()));
    }
    // A name from a list is its length's bytes, with no NUL after them: a
    // lead byte at its end reads nothing past it for a trail byte.
    g_doubleByteCodePage = true;
    const std::unique_ptr<char[]> bounded(new char[2]{'A', '\x95'});
    EXPECT_TRUE(IsComputerName(bounded.get(), 2));
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
        std::unique_ptr<Report> report(new Report());
        Append(report.get(), row.text.c_str());

        EXPECT_EQ(row.written, g_console.err);
        EXPECT_EQ(row.written, std::string(report->text, report->length));
        EXPECT_TRUE(g_console.out.empty());
    }
}

}  // namespace
