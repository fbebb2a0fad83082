#include "pool.h"

#include "progress.h"
#include "remote_registry.h"
#include "report.h"

#include <stdlib.h>
#include <string.h>

namespace {

// As many as PowerShell's Invoke-Command runs at once by default: enough
// for a fleet whose computers answer.
const DWORD kQuickWorkers = 32;
// A computer that is off holds its thread until the network gives up on it
// (some 21 s on Windows): one that has not answered in this long has
// another thread started in its place, so that kQuickWorkers stay free for
// the rest. A computer that answers at all mostly does within it.
const DWORD kUnansweredAfter = 100;
// How often the caller looks for them while computers are left to take.
const DWORD kLookInterval = 20;
// The most threads a run holds, however many computers are off: their
// stacks' reservations take 256 MiB of a 32-bit process's 2 GiB. Where
// fewer can start, the run goes on with those it has.
const DWORD kMostWorkers = 1024;
// A reservation is all a thread takes of memory until it uses the stack,
// and a check needs well under this. Threads given up on under /T stay
// until the process ends, so each must take little.
const DWORD kWorkerStackSize = 256 * 1024;
const DWORD kMillisecondsPerSecond = 1000;
// A run that has waited this long for a computer shows how far it is, where
// it is watched.
const DWORD kProgressAfter = 1000;

enum SlotState {
    kWaiting,    // no thread has taken it yet
    kRunning,    // started: the time it began is set
    kWriting,    // a change has begun (a service, Order): waited for, whatever /T says
    kDone,       // verdict and text set
    kAbandoned,  // given up on under /T; its thread writes nothing, and frees what it made
};

// One computer's place in the output.
struct Slot {
    volatile LONG state;
    DWORD started;  // GetTickCount when its check began
    Verdict verdict;
    int word;          // its first word, as WordOf gives it
    bool leftChanged;  // its Remote Registry not put back
    char *text;        // its lines; NULL when memory ran out
    DWORD length;
};

// Everything a thread reads is the pool's: a thread given up on under /T
// may still be checking after CheckAll, and the frame that called it, have
// returned.
struct Pool {
    CheckPlan plan;  // a copy, its computers taken over
    DWORD count;     // computers, this one counting as one
    Slot *slots;
    volatile LONG next;        // the next computer to take
    volatile LONG active;      // threads that will take another
    volatile LONG threads;     // threads not ended, given up on or not
    volatile LONG checked;     // computers whose lines are ready, or written
    volatile LONG references;  // the caller's and each thread's
    HANDLE progress;           // auto-reset: a check began or ended
    // The caller's own, never a thread's:
    DWORD leftChanged;  // written so far whose Remote Registry was not put back
    DWORD mostThreads;  // kMostWorkers, or as many as could start
    DWORD begun;        // GetTickCount when the run began
    DWORD looked;       // and when it last looked for computers unanswered
    ProgressLine line;
};

// Read with a full barrier: what the thread wrote before it is seen too.
LONG Read(volatile LONG *value)
{
    return InterlockedCompareExchange(value, 0, 0);
}

void Release(Pool *pool)
{
    if (InterlockedDecrement(&pool->references) != 0)
        return;
    CloseHandle(pool->progress);
    ReleaseComputers(&pool->plan.computers);
    free(pool->slots);
    free(pool);
}

// "\\NAME", or NULL for this computer.
const char *ComputerAt(const Pool *pool, DWORD index)
{
    return pool->plan.computers.count != 0 ? pool->plan.computers.names[index] : NULL;
}

// A change may begin where its computer has not been given up on; from
// then on it is not, and later changes may follow.
bool MayWrite(void *context)
{
    Slot *const slot = static_cast<Slot *>(context);
    const LONG state = InterlockedCompareExchange(&slot->state, kWriting, kRunning);
    return state == kRunning || state == kWriting;
}

enum Taken { kChecked, kNoneLeft, kGivenUp };

// Takes the next computer, checks it, and leaves its lines in its slot.
Taken CheckNext(Pool *pool, CheckWork *work, Report *report)
{
    if (StopRequested())
        return kNoneLeft;
    const DWORD index = static_cast<DWORD>(InterlockedIncrement(&pool->next) - 1);
    if (index >= pool->count)
        return kNoneLeft;
    Slot *const slot = &pool->slots[index];
    slot->started = GetTickCount();
    InterlockedExchange(&slot->state, kRunning);
    SetEvent(pool->progress);

    const char *const computer = ComputerAt(pool, index);
    work->mayWrite = MayWrite;
    work->mayWriteContext = slot;
    const Verdict verdict = CheckComputer(computer, pool->plan.actions, work);
    report->length = 0;
    ReportFinding(work->finding, computer, pool->plan.format, report);
    char *const text = static_cast<char *>(malloc(report->length));
    if (text != NULL)
        memcpy(text, report->text, report->length);
    slot->verdict = verdict;
    slot->word = WordOf(work->finding);
    slot->leftChanged = work->finding.leftChanged;
    slot->text = text;
    slot->length = report->length;
    const LONG state = Read(&slot->state);
    if (state == kAbandoned || InterlockedCompareExchange(&slot->state, kDone, state) != state) {
        free(text);
        return kGivenUp;
    }
    InterlockedIncrement(&pool->checked);
    SetEvent(pool->progress);
    return kChecked;
}

DWORD WINAPI Worker(void *context)
{
    Pool *const pool = static_cast<Pool *>(context);
    CheckWork work;
    Report report;
    Taken taken;
    while ((taken = CheckNext(pool, &work, &report)) == kChecked) {
    }
    // One given up on was counted out when it was. One that leaves with
    // computers not begun (a stop was asked for) tells the caller.
    if (taken == kNoneLeft) {
        InterlockedDecrement(&pool->active);
        SetEvent(pool->progress);
    }
    InterlockedDecrement(&pool->threads);
    Release(pool);
    return 0;
}

// A thread that cannot start is no error: the run goes on with those it
// has, and asks for no more.
bool StartWorker(Pool *pool)
{
    InterlockedIncrement(&pool->active);
    InterlockedIncrement(&pool->threads);
    InterlockedIncrement(&pool->references);
    const HANDLE thread = CreateThread(NULL, kWorkerStackSize, Worker, pool, STACK_SIZE_PARAM_IS_A_RESERVATION, NULL);
    if (thread != NULL) {
        CloseHandle(thread);
        return true;
    }
    InterlockedDecrement(&pool->active);
    pool->mostThreads = static_cast<DWORD>(InterlockedDecrement(&pool->threads));
    InterlockedDecrement(&pool->references);
    return false;
}

bool LeftToTake(Pool *pool)
{
    return static_cast<DWORD>(Read(&pool->next)) < pool->count && !StopRequested();
}

// Starts threads, within the limit, until there is one for each computer
// unanswered (of those from first on, taken and still checked) and
// kQuickWorkers for the rest, or one for each of the rest where fewer.
void StartFreeWorkers(Pool *pool, DWORD first, DWORD now)
{
    // Read before the computers taken: while some are left, no thread has
    // ended, so active counts every thread not given up on.
    const LONG active = Read(&pool->active);
    const DWORD taken = static_cast<DWORD>(Read(&pool->next));
    if (taken >= pool->count || StopRequested())
        return;
    const DWORD left = pool->count - taken;
    LONG wanted = static_cast<LONG>(left < kQuickWorkers ? left : kQuickWorkers);
    for (DWORD index = first; index < taken; ++index) {
        Slot *const slot = &pool->slots[index];
        const LONG state = Read(&slot->state);
        if ((state == kRunning || state == kWriting) && now - slot->started >= kUnansweredAfter)
            ++wanted;
    }
    // Counted once: a thread started here may take the last computer and
    // end before the next starts, and must not make room for another.
    for (LONG shortfall = wanted - active;
         shortfall > 0 && LeftToTake(pool) && static_cast<DWORD>(Read(&pool->threads)) < pool->mostThreads &&
         StartWorker(pool);
         --shortfall) {
    }
}

// A verdict of the caller's own in a computer's place: unreadable, because
// of what reason says.
int WriteInstead(Pool *pool, DWORD index, const Phrase &reason, CheckWork *work, Report *report)
{
    ClearFinding(&work->finding);
    work->finding.verdict = kUnreadable;
    Add(&work->finding.reason, reason.text);
    report->length = 0;
    ReportFinding(work->finding, ComputerAt(pool, index), pool->plan.format, report);
    InterlockedIncrement(&pool->checked);
    ClearProgress(&pool->line);
    WriteReport(GetStdHandle(STD_OUTPUT_HANDLE), report->text, report->length);
    return kUnreadable;
}

DWORD Shorter(DWORD wait, DWORD other)
{
    return wait < other ? wait : other;
}

// While the caller waits for the computer at index (in state): threads
// started in place of computers unanswered, and the progress line shown.
// Returns how long it may wait, at most wait, before it looks again.
DWORD LookAround(Pool *pool, DWORD index, LONG state, DWORD now, DWORD wait)
{
    if (LeftToTake(pool)) {
        if (now - pool->looked >= kLookInterval) {
            pool->looked = now;
            StartFreeWorkers(pool, index, now);
        }
        wait = Shorter(wait, kLookInterval);
    }
    if (pool->line.console == NULL)
        return wait;
    // Once the computer it waits for, or the run, has taken a while.
    const bool begun = state != kWaiting;
    const DWORD waited = begun ? now - pool->slots[index].started : now - pool->begun;
    if (waited >= kProgressAfter)
        ShowProgress(&pool->line, static_cast<DWORD>(Read(&pool->checked)), pool->count,
                     begun ? ComputerAt(pool, index) : NULL, waited / kMillisecondsPerSecond);
    return Shorter(wait, kProgressInterval);
}

// Waits for the computer at index, writes its lines, and returns its first
// word (WordOf). Where no thread is left to take it, checks it here.
int WriteInTurn(Pool *pool, DWORD index, CheckWork *work, Report *report)
{
    Slot *const slot = &pool->slots[index];
    const DWORD limit = pool->plan.timeLimit * kMillisecondsPerSecond;
    Phrase reason;
    Clear(&reason);
    for (;;) {
        const LONG state = Read(&slot->state);
        if (state == kDone)
            break;
        if (state == kWaiting && Read(&pool->active) == 0) {
            // None taken: a stop was asked for, and the rest is not begun.
            if (CheckNext(pool, work, report) == kNoneLeft) {
                Add(&reason, "not checked: the run was stopped");
                return WriteInstead(pool, index, reason, work, report);
            }
            continue;
        }
        const DWORD now = GetTickCount();
        DWORD wait = INFINITE;
        if (state == kRunning && limit != 0) {
            const DWORD elapsed = now - slot->started;
            if (elapsed >= limit) {
                if (InterlockedCompareExchange(&slot->state, kAbandoned, kRunning) != kRunning)
                    continue;
                // Its thread may never come back: others take its turn.
                InterlockedDecrement(&pool->active);
                StartFreeWorkers(pool, index + 1, now);
                Add(&reason, "no answer in ");
                AddNumber(&reason, pool->plan.timeLimit);
                Add(&reason, " s");
                return WriteInstead(pool, index, reason, work, report);
            }
            wait = limit - elapsed;
        }
        WaitForSingleObject(pool->progress, LookAround(pool, index, state, now, wait));
    }
    if (slot->text == NULL) {
        AddError(&reason, ERROR_NOT_ENOUGH_MEMORY);
        return WriteInstead(pool, index, reason, work, report);
    }
    ClearProgress(&pool->line);
    WriteReport(GetStdHandle(STD_OUTPUT_HANDLE), slot->text, slot->length);
    free(slot->text);
    if (slot->leftChanged)
        ++pool->leftChanged;
    return slot->word;
}

// The words in the order the count gives them; "repaired" only under /F.
const int kSummaryOrder[] = {kCurrent, kRepairedWord, kStale, kUntouched, kUnreadable};

void WriteSummary(DWORD count, const DWORD *counts, DWORD leftChanged, DWORD actions)
{
    const bool repairs = (actions & kRepairOrder) != 0;
    Phrase summary;
    Clear(&summary);
    AddNumber(&summary, count);
    Add(&summary, " computers");
    for (const int word : kSummaryOrder) {
        if (word == kRepairedWord && !repairs)
            continue;
        Add(&summary, word == kCurrent ? ": " : ", ");
        AddNumber(&summary, counts[word]);
        Add(&summary, " ");
        Add(&summary, kVerdictWords[word]);
    }
    if (actions & kStartRemoteRegistry) {
        Add(&summary, "; Remote Registry left changed on ");
        AddNumber(&summary, leftChanged);
    }
    Add(&summary, "\r\n");
    WriteText(GetStdHandle(STD_ERROR_HANDLE), summary.text);
}

}  // namespace

Verdict CheckAll(CheckPlan *plan)
{
    const DWORD count = plan->computers.count != 0 ? plan->computers.count : 1;
    Pool *const pool = static_cast<Pool *>(calloc(1, sizeof(Pool)));
    Slot *const slots = static_cast<Slot *>(calloc(count, sizeof(Slot)));
    const HANDLE progress = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (pool == NULL || slots == NULL || progress == NULL) {
        Phrase message;
        BeginMessage(&message);
        AddError(&message, ERROR_NOT_ENOUGH_MEMORY);
        WriteMessage(&message);
        if (progress != NULL)
            CloseHandle(progress);
        free(slots);
        free(pool);
        return kUnreadable;
    }
    pool->plan = *plan;
    memset(&plan->computers, 0, sizeof plan->computers);
    pool->count = count;
    pool->slots = slots;
    pool->references = 1;
    pool->progress = progress;
    pool->mostThreads = kMostWorkers;
    pool->begun = GetTickCount();
    pool->looked = pool->begun;
    if (count > 1)
        BeginProgress(&pool->line);
    const DWORD actions = pool->plan.actions;
    if (actions & kStartRemoteRegistry)
        WatchForStop();
    if (count > 1 || pool->plan.timeLimit != 0) {
        for (DWORD started = 0; started < count && started < kQuickWorkers && StartWorker(pool); ++started) {
        }
    }

    if (pool->plan.format == kCsvReport && pool->plan.header)
        WriteReport(GetStdHandle(STD_OUTPUT_HANDLE), kCsvHeader, sizeof kCsvHeader - 1);
    CheckWork work;
    Report report;
    DWORD counts[kVerdictCount + 1] = {};
    Verdict highest = kCurrent;
    for (DWORD index = 0; index < count; ++index) {
        const int word = WriteInTurn(pool, index, &work, &report);
        ++counts[word];
        // A repaired computer's code says whether it is left current.
        const Verdict verdict = word == kRepairedWord ? slots[index].verdict : static_cast<Verdict>(word);
        if (verdict > highest)
            highest = verdict;
    }
    // A service left changed needs hands, as a computer not reached does.
    if (pool->leftChanged != 0)
        highest = kUnreadable;
    if (count > 1)
        WriteSummary(count, counts, pool->leftChanged, actions);
    if (actions & kStartRemoteRegistry)
        StopWatching();
    Release(pool);
    return highest;
}
