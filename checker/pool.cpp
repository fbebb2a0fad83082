#include "pool.h"

#include "look.h"
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
// Unless checks take long here anyway: a computer counts as unanswered
// only once it has taken this many times as long as checks take of late,
// for where every check is slow, this computer is busy (or Wine's server),
// and more threads would only add to it.
const DWORD kSlowerThanTypical = 8;
// The checks timed for how long they take of late: the latest so many,
// each counted in a bucket of powers of two milliseconds, up to a minute.
const DWORD kPaceSample = 64;
const int kPaceBuckets = 17;
// How often the caller counts them while computers are left to take.
const DWORD kCountInterval = 20;
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

// How long a thread with nothing to take waits for the look to answer for
// a computer before it looks again whether any may still come.
const DWORD kIdleWait = 100;

enum SlotState {
    kWaiting,    // no thread has taken it yet
    kClaimed,    // taken by a thread, which sets the time it began
    kRunning,    // started: the time it began is set
    kWriting,    // a change has begun (a service, Order): waited for, whatever /T says
    kLooking,    // in the look, which no thread waits on
    kAnswered,   // the look is done with it: it waits for a thread to check it
    kSilent,     // it said nothing within the look's wait: the caller writes so
    kDone,       // verdict and text set
    kAbandoned,  // given up on under /T; its thread writes nothing, and frees what it made
};

// How long checks take of late, as the caller writes them.
struct Pace {
    BYTE latest[kPaceSample];  // their buckets, in turn
    DWORD counts[kPaceBuckets];
    DWORD timed;
};

// One computer's place in the output.
struct Slot {
    volatile LONG state;
    DWORD started;  // GetTickCount when its check began
    DWORD took;     // and how long it took, once done
    bool answered;  // on TCP port 445: a refusal then is its Remote Registry's
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
    HANDLE progress;           // auto-reset: a check began or ended, or the look found one
    // The computers the look has answered for, in the order it did, each to
    // be claimed by the thread that checks it; and those in the look or
    // answered for and not yet claimed.
    Look *look;  // NULL: none is looked at
    DWORD *answered;
    volatile LONG answeredTaken;
    volatile LONG answeredCount;
    volatile LONG held;
    HANDLE answeredSignal;  // a semaphore: one count for each answered for
    // The caller's own, never a thread's:
    DWORD leftChanged;  // written so far whose Remote Registry was not put back
    DWORD mostThreads;  // kMostWorkers, or as many as could start
    DWORD begun;        // GetTickCount when the run began
    DWORD counted;      // and when it last counted the computers unanswered
    Pace pace;
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
    if (pool->progress != NULL)
        CloseHandle(pool->progress);
    if (pool->answeredSignal != NULL)
        CloseHandle(pool->answeredSignal);
    ReleaseComputers(&pool->plan.computers);
    free(pool->answered);
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

enum Taken {
    kChecked,  // a computer's lines are in its slot, or it is in the look
    kNoneLeft,
    kGivenUp,  // the computer it checked was given up on under /T
};

// The thread that checks a computer claims it, from the state it waits in,
// and only then sets the time it began: the caller reads it once it runs.
bool Claim(Slot *slot, LONG from)
{
    if (InterlockedCompareExchange(&slot->state, kClaimed, from) != from)
        return false;
    slot->started = GetTickCount();
    InterlockedExchange(&slot->state, kRunning);
    return true;
}

// Checks the computer at index, claimed, and leaves its lines in its slot.
Taken CheckClaimed(Pool *pool, DWORD index, CheckWork *work, Report *report)
{
    Slot *const slot = &pool->slots[index];
    SetEvent(pool->progress);
    const char *const computer = ComputerAt(pool, index);
    work->mayWrite = MayWrite;
    work->mayWriteContext = slot;
    work->answered = slot->answered;
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
    slot->took = GetTickCount() - slot->started;
    const LONG state = Read(&slot->state);
    if (state == kAbandoned || InterlockedCompareExchange(&slot->state, kDone, state) != state) {
        free(text);
        return kGivenUp;
    }
    InterlockedIncrement(&pool->checked);
    SetEvent(pool->progress);
    return kChecked;
}

// Told by the look, on the caller's thread: a computer that said nothing is the
// caller's to write; one that answered, or could not be tried, waits for
// the next thread free to check it.
void Found(void *context, DWORD index, LookOutcome outcome)
{
    Pool *const pool = static_cast<Pool *>(context);
    Slot *const slot = &pool->slots[index];
    slot->answered = outcome == kLookAnswers;
    if (outcome == kLookSilent) {
        if (InterlockedCompareExchange(&slot->state, kSilent, kLooking) == kLooking)
            InterlockedDecrement(&pool->held);
    } else if (InterlockedCompareExchange(&slot->state, kAnswered, kLooking) == kLooking) {
        pool->answered[Read(&pool->answeredCount)] = index;
        InterlockedIncrement(&pool->answeredCount);
        ReleaseSemaphore(pool->answeredSignal, 1, NULL);
    }
    SetEvent(pool->progress);
}

// Claims the computer answered for first and not yet claimed, if any.
bool TakeAnswered(Pool *pool, DWORD *index)
{
    for (;;) {
        const LONG taken = Read(&pool->answeredTaken);
        if (taken >= Read(&pool->answeredCount))
            return false;
        if (InterlockedCompareExchange(&pool->answeredTaken, taken + 1, taken) != taken)
            continue;
        *index = pool->answered[taken];
        // The caller may have claimed it itself, or given it up.
        if (Claim(&pool->slots[*index], kAnswered)) {
            InterlockedDecrement(&pool->held);
            return true;
        }
    }
}

// Takes the next computer: one the look has answered for, else the next
// named, which is handed to the look where its name resolves, and else
// checked at once.
Taken CheckNext(Pool *pool, CheckWork *work, Report *report)
{
    if (StopRequested())
        return kNoneLeft;
    DWORD index = 0;
    if (TakeAnswered(pool, &index))
        return CheckClaimed(pool, index, work, report);
    index = static_cast<DWORD>(InterlockedIncrement(&pool->next) - 1);
    if (index >= pool->count)
        return kNoneLeft;
    Slot *const slot = &pool->slots[index];
    // Given up on already: a stop was asked for.
    if (!Claim(slot, kWaiting))
        return kChecked;
    SetEvent(pool->progress);
    const char *const computer = ComputerAt(pool, index);
    addrinfo *const addresses = computer != NULL && pool->look != NULL ? Resolve(computer) : NULL;
    if (addresses == NULL)
        return CheckClaimed(pool, index, work, report);
    // Counted first, so that no thread ends while it may be answered for.
    InterlockedIncrement(&pool->held);
    if (InterlockedCompareExchange(&slot->state, kLooking, kRunning) != kRunning) {
        InterlockedDecrement(&pool->held);
        ReleaseAddresses(addresses);
        return kGivenUp;
    }
    QueueLook(pool->look, index, addresses);
    return kChecked;
}

bool LeftToTake(Pool *pool)
{
    return (static_cast<DWORD>(Read(&pool->next)) < pool->count ||
            Read(&pool->answeredTaken) < Read(&pool->answeredCount)) &&
           !StopRequested();
}

DWORD WINAPI Worker(void *context)
{
    Pool *const pool = static_cast<Pool *>(context);
    CheckWork work;
    Report report;
    for (;;) {
        const Taken taken = CheckNext(pool, &work, &report);
        if (taken == kChecked)
            continue;
        // One given up on was counted out when it was; back from its
        // computer, it takes another.
        if (taken == kGivenUp) {
            if (!LeftToTake(pool))
                break;
            InterlockedIncrement(&pool->active);
            continue;
        }
        // Nothing to take now, while the look may still answer for some.
        if (!StopRequested() && Read(&pool->held) != 0) {
            WaitForSingleObject(pool->answeredSignal, kIdleWait);
            continue;
        }
        // One that leaves with computers not begun (a stop was asked for)
        // tells the caller.
        InterlockedDecrement(&pool->active);
        SetEvent(pool->progress);
        break;
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

void Time(Pace *pace, DWORD milliseconds)
{
    int bucket = 0;
    for (; milliseconds > 1 && bucket < kPaceBuckets - 1; milliseconds >>= 1)
        ++bucket;
    BYTE *const place = &pace->latest[pace->timed % kPaceSample];
    if (pace->timed >= kPaceSample)
        --pace->counts[*place];
    *place = static_cast<BYTE>(bucket);
    ++pace->counts[bucket];
    ++pace->timed;
}

// How long a computer may take before it counts as unanswered: at least
// kUnansweredAfter, and kSlowerThanTypical times the most of the bucket
// that the latest checks' median falls in.
DWORD UnansweredAfter(const Pace &pace)
{
    if (pace.timed == 0)
        return kUnansweredAfter;
    const DWORD half = (pace.timed < kPaceSample ? pace.timed : kPaceSample) / 2;
    int bucket = 0;
    for (DWORD below = 0; bucket < kPaceBuckets - 1 && below + pace.counts[bucket] <= half; ++bucket)
        below += pace.counts[bucket];
    const DWORD longest = kSlowerThanTypical * (2U << bucket);
    return longest > kUnansweredAfter ? longest : kUnansweredAfter;
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
    if (!LeftToTake(pool))
        return;
    const DWORD left = (taken < pool->count ? pool->count - taken : 0) +
                       static_cast<DWORD>(Read(&pool->answeredCount) - Read(&pool->answeredTaken));
    LONG wanted = static_cast<LONG>(left < kQuickWorkers ? left : kQuickWorkers);
    const DWORD unanswered = UnansweredAfter(pool->pace);
    for (DWORD index = first; index < taken && index < pool->count; ++index) {
        Slot *const slot = &pool->slots[index];
        const LONG state = Read(&slot->state);
        if ((state == kRunning || state == kWriting) && now - slot->started >= unanswered)
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
DWORD WhileWaiting(Pool *pool, DWORD index, LONG state, DWORD now, DWORD wait)
{
    if (LeftToTake(pool)) {
        if (now - pool->counted >= kCountInterval) {
            pool->counted = now;
            StartFreeWorkers(pool, index, now);
        }
        wait = Shorter(wait, kCountInterval);
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

enum Attended { kLeftToThreads, kAttended, kWrittenInstead };

// What the caller does itself for the computer at index, in state, where
// no thread will: where the look found it silent, or a stop leaves it
// unbegun, its line goes in its place (reason); where no thread is left at
// all to take it, it is checked here. Threads given up on under /T are
// left to come back for it, however many.
Attended AttendTo(Pool *pool, DWORD index, LONG state, CheckWork *work, Report *report, Phrase *reason)
{
    Slot *const slot = &pool->slots[index];
    if (state == kSilent) {
        Add(reason, "no answer on TCP port 445 in ");
        AddNumber(reason, LookWaitSeconds(pool->look));
        Add(reason, " s: switched off, or a firewall drops file and printer sharing");
        return kWrittenInstead;
    }
    const bool stopped = StopRequested();
    if (stopped && (state == kLooking || state == kAnswered) &&
        InterlockedCompareExchange(&slot->state, kAbandoned, state) == state) {
        InterlockedDecrement(&pool->held);
        Add(reason, "not checked: the run was stopped");
        return kWrittenInstead;
    }
    const bool threadless = Read(&pool->threads) == 0;
    if (state == kAnswered && threadless && Claim(slot, kAnswered)) {
        InterlockedDecrement(&pool->held);
        CheckClaimed(pool, index, work, report);
        return kAttended;
    }
    if (state != kWaiting || !(threadless || (stopped && Read(&pool->active) == 0)))
        return kLeftToThreads;
    // None taken: a stop was asked for, and the rest is not begun.
    if (CheckNext(pool, work, report) != kNoneLeft)
        return kAttended;
    Add(reason, "not checked: the run was stopped");
    return kWrittenInstead;
}

// Waits for the computer at index, writes its lines, and returns its first
// word (WordOf).
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
        const Attended attended = AttendTo(pool, index, state, work, report, &reason);
        if (attended == kWrittenInstead)
            return WriteInstead(pool, index, reason, work, report);
        if (attended == kAttended)
            continue;
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
        // The look is watched while the caller waits anyway.
        const DWORD timeout = WhileWaiting(pool, index, state, now, wait);
        if (pool->look == NULL || !WatchLook(pool->look, timeout))
            WaitForSingleObject(pool->progress, timeout);
    }
    if (slot->text == NULL) {
        AddError(&reason, ERROR_NOT_ENOUGH_MEMORY);
        return WriteInstead(pool, index, reason, work, report);
    }
    ClearProgress(&pool->line);
    WriteReport(GetStdHandle(STD_OUTPUT_HANDLE), slot->text, slot->length);
    free(slot->text);
    Time(&pool->pace, slot->took);
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

// The pool for the plan's computers, taking them over; NULL, said on
// standard error, where memory runs out.
Pool *NewPool(CheckPlan *plan, DWORD count)
{
    Pool *const pool = static_cast<Pool *>(calloc(1, sizeof(Pool)));
    if (pool != NULL) {
        pool->plan = *plan;
        memset(&plan->computers, 0, sizeof plan->computers);
        pool->references = 1;
        pool->count = count;
        pool->slots = static_cast<Slot *>(calloc(count, sizeof(Slot)));
        pool->answered = static_cast<DWORD *>(calloc(count, sizeof(DWORD)));
        pool->progress = CreateEventA(NULL, FALSE, FALSE, NULL);
        pool->answeredSignal = CreateSemaphoreA(NULL, 0, static_cast<LONG>(count), NULL);
        if (pool->slots != NULL && pool->answered != NULL && pool->progress != NULL && pool->answeredSignal != NULL)
            return pool;
        Release(pool);
    }
    Phrase message;
    BeginMessage(&message);
    AddError(&message, ERROR_NOT_ENOUGH_MEMORY);
    WriteMessage(&message);
    return NULL;
}

}  // namespace

Verdict CheckAll(CheckPlan *plan)
{
    const DWORD count = plan->computers.count != 0 ? plan->computers.count : 1;
    Pool *const pool = NewPool(plan, count);
    if (pool == NULL)
        return kUnreadable;
    Slot *const slots = pool->slots;
    pool->mostThreads = kMostWorkers;
    pool->begun = GetTickCount();
    pool->counted = pool->begun;
    if (count > 1)
        BeginProgress(&pool->line);
    // The look waits as long as /T lets a computer take to answer.
    if (pool->plan.computers.count != 0) {
        pool->look = OpenLook(count, pool->plan.timeLimit != 0 ? pool->plan.timeLimit : kLookWaitSeconds, Found, pool,
                              pool->progress);
    }
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
    if (pool->look != NULL)
        CloseLook(pool->look);
    Release(pool);
    return highest;
}
