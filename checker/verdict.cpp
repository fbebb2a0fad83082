#include "verdict.h"

#include "remote_registry.h"
#include "spooler.h"

#include <string.h>

namespace {

// Reading only: never KEY_SET_VALUE.
const REGSAM kReadAccess = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;
// The repair's rights, and reading, to compare before and after.
const REGSAM kRepairAccess = KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;
// Not an error code of the system's: the value read back is not the one
// written.
const LONG kReadBackDiffers = -1;

// A subkey name as the 8-bit calls give it: 255 characters, each of at most
// two bytes in a double-byte code page, and its NUL.
const DWORD kNameScratchSize = 512;

// The bytes the names would take as Order, found by enumerating them once
// more; 0 if the enumeration does not end cleanly.
DWORD BytesNeeded(HKEY key)
{
    DWORD total = 1;
    for (DWORD index = 0;; ++index) {
        char name[kNameScratchSize];
        DWORD length = sizeof name;
        const LONG result = RegEnumKeyExA(key, index, name, &length, NULL, NULL, NULL, NULL);
        if (result == ERROR_NO_MORE_ITEMS)
            return total;
        if (result != ERROR_SUCCESS)
            return 0;
        total += length + 1;
    }
}

Verdict Untouched(HKEY key, const OrderPlan &plan, Phrase *reason)
{
    switch (plan.decision) {
    case kNoSubkeys:
        Add(reason, "no provider subkeys");
        break;
    case kNamesTooLong: {
        const DWORD needed = BytesNeeded(key);
        Add(reason, "the names take ");
        if (needed != 0) {
            AddNumber(reason, needed);
            Add(reason, " bytes, ");
        }
        Add(reason, "over 1024");
        break;
    }
    case kEnumerationFailed:
        Add(reason, "listing subkey ");
        AddNumber(reason, plan.index);
        Add(reason, ": ");
        AddError(reason, plan.result);
        break;
    default: {
        const char *name = plan.list.block;
        for (DWORD index = 0; index < plan.index; ++index)
            name += strlen(name) + 1;
        Add(reason, "subkey ");
        AddNumber(reason, plan.index);
        Add(reason, " reads as \"");
        Add(reason, name);
        Add(reason, "\", outside the code page");
        break;
    }
    }
    return kUntouched;
}

// Order rewritten as the merge of its names with the subkeys, the proven
// names of the repair's own plan, then read back: ERROR_SUCCESS when it
// reads back as written.
LONG Rewrite(HKEY key, CheckWork *work)
{
    const ProviderList &list = work->after;
    const LONG written =
        RegSetValueExA(key, kOrderValueName, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE *>(list.block), list.size);
    if (written != ERROR_SUCCESS)
        return written;
    DWORD size = sizeof work->readBack;
    DWORD type = REG_NONE;
    const LONG read =
        RegQueryValueExA(key, kOrderValueName, NULL, &type, reinterpret_cast<BYTE *>(work->readBack), &size);
    if (read != ERROR_SUCCESS && read != ERROR_MORE_DATA)
        return read;
    return read == ERROR_SUCCESS && type == REG_MULTI_SZ && size == list.size &&
                   memcmp(work->readBack, list.block, size) == 0
               ? ERROR_SUCCESS
               : kReadBackDiffers;
}

// Asked before anything on the computer is changed.
bool MayChange(CheckWork *work)
{
    return work->mayWrite == NULL || work->mayWrite(work->mayWriteContext);
}

// A stale Order, with kRepairOrder: rewritten where the key was opened for
// writing (refused: why it was not), and with kRestartSpooler loaded.
Verdict Repair(const char *computer, HKEY key, LONG refused, DWORD actions, CheckWork *work)
{
    Finding &finding = work->finding;
    // Given up on: whatever is said of it, it says nothing was written.
    if (refused == ERROR_SUCCESS && !MayChange(work))
        return kUnreadable;
    const LONG result = refused != ERROR_SUCCESS ? refused : Rewrite(key, work);
    Clear(&finding.reason);
    if (result != ERROR_SUCCESS) {
        Add(&finding.reason, "not repaired");
        // Here, a refusal is almost always a prompt that is not elevated.
        if (computer == NULL && result == ERROR_ACCESS_DENIED)
            Add(&finding.reason, " (run it elevated)");
        Add(&finding.reason, ": ");
        if (result == kReadBackDiffers)
            Add(&finding.reason, "Order reads back other than written");
        else
            AddError(&finding.reason, result);
        return kStale;
    }
    finding.repaired = true;
    Add(&finding.reason, "Order rewritten");
    if (!(actions & kRestartSpooler))
        return kCurrent;
    const LONG restarted = RestartSpooler(computer);
    if (restarted == ERROR_SUCCESS) {
        Add(&finding.reason, "; spooler restarted");
        return kCurrent;
    }
    Add(&finding.reason, "; spooler not restarted: ");
    AddError(&finding.reason, restarted);
    return kStale;
}

// key: the providers key, opened for reading, and for writing too unless
// that was refused.
Verdict Check(const char *computer, HKEY key, LONG refused, DWORD actions, CheckWork *work)
{
    OrderPlan &plan = work->plan;
    Finding &finding = work->finding;
    PlanProviderOrder(key, &plan);
    if (plan.decision != kWriteOrder)
        return Untouched(key, plan, &finding.reason);

    char *const order = work->order;
    DWORD size = kOrderReadSize;
    DWORD type = REG_NONE;
    const LONG result = RegQueryValueExA(key, kOrderValueName, NULL, &type, reinterpret_cast<BYTE *>(order), &size);
    const bool listed = result == ERROR_SUCCESS && type == REG_MULTI_SZ;
    if (listed) {
        order[size] = '\0';
        order[size + 1] = '\0';
    }
    // Where it is no list it names none: then the merge is the repair's list.
    if (MergeProviderOrder(&plan.list, order, listed ? size : 0, &work->after)) {
        Add(&finding.reason, "Order lists every provider subkey");
        if (memcmp(work->after.block, plan.list.block, plan.list.size) != 0)
            Add(&finding.reason, ", in an order provider-order.exe would change");
        finding.nowNames = order;
        finding.nowSize = size;
        finding.afterNames = order;
        finding.afterSize = size;
        return kCurrent;
    }

    Add(&finding.reason, "Order does not name every provider subkey once");
    finding.afterNames = work->after.block;
    finding.afterSize = work->after.size;
    Phrase *const now = &finding.now;
    if (result == ERROR_FILE_NOT_FOUND) {
        Add(now, "absent");
    } else if (result == ERROR_MORE_DATA) {
        AddNumber(now, size);
        Add(now, " bytes");
    } else if (result != ERROR_SUCCESS) {
        AddError(now, result);
    } else if (type != REG_MULTI_SZ) {
        Add(now, "type ");
        AddNumber(now, type);
    } else {
        finding.nowNames = order;
        finding.nowSize = size;
    }
    return actions & kRepairOrder ? Repair(computer, key, refused, actions, work) : kStale;
}

// The providers key under root opened once, for the repair too where it
// may be written, else for reading only, remembering why; checked, closed.
Verdict CheckRoot(const char *computer, HKEY root, DWORD actions, CheckWork *work)
{
    HKEY key;
    LONG refused = ERROR_SUCCESS;
    LONG opened = ERROR_ACCESS_DENIED;
    if (actions & kRepairOrder) {
        opened = RegOpenKeyExA(root, kProvidersKeyPath, 0, kRepairAccess, &key);
        refused = opened;
    }
    if (opened != ERROR_SUCCESS)
        opened = RegOpenKeyExA(root, kProvidersKeyPath, 0, kReadAccess, &key);
    if (opened != ERROR_SUCCESS) {
        Phrase &reason = work->finding.reason;
        Add(&reason, "HKLM\\");
        Add(&reason, kProvidersKeyPath);
        Add(&reason, ": ");
        AddError(&reason, opened);
        return kUnreadable;
    }
    const Verdict verdict = Check(computer, key, refused, actions, work);
    RegCloseKey(key);
    return verdict;
}

}  // namespace

void ClearFinding(Finding *finding)
{
    Clear(&finding->reason);
    Clear(&finding->now);
    finding->repaired = false;
    finding->leftChanged = false;
    finding->nowNames = NULL;
    finding->nowSize = 0;
    finding->afterNames = NULL;
    finding->afterSize = 0;
}

Verdict CheckComputer(const char *computer, DWORD actions, CheckWork *work)
{
    Finding &finding = work->finding;
    ClearFinding(&finding);
    if (computer == NULL) {
        finding.verdict = CheckRoot(NULL, HKEY_LOCAL_MACHINE, actions, work);
        return finding.verdict;
    }

    HKEY root;
    LONG connected = RegConnectRegistryA(computer, HKEY_LOCAL_MACHINE, &root);
    Phrase &said = work->said;
    Clear(&said);
    RemoteRegistryVisit visit;
    visit.manager = NULL;
    if (connected != ERROR_SUCCESS && (actions & kStartRemoteRegistry) && MayChange(work) &&
        StartRemoteRegistry(computer, &visit, &said) == ERROR_SUCCESS)
        connected = RegConnectRegistryA(computer, HKEY_LOCAL_MACHINE, &root);
    Verdict verdict = kUnreadable;
    if (connected == ERROR_SUCCESS) {
        verdict = CheckRoot(computer, root, actions, work);
        RegCloseKey(root);
    } else {
        Add(&finding.reason, "remote registry: ");
        AddError(&finding.reason, connected);
        // The very error of a computer that is off, or has no such name,
        // unless it answered the look.
        if (connected == ERROR_BAD_NETPATH && !(actions & kStartRemoteRegistry))
            AddClause(&finding.reason,
                      work->answered ? "It answers, but its Remote Registry refused: /RR starts it"
                                     : "It is off, unreachable, or its Remote Registry is stopped: /RR starts it");
    }
    if (visit.manager != NULL)
        finding.leftChanged = !PutRemoteRegistryBack(&visit, &said);
    if (said.length != 0)
        AddClause(&finding.reason, said.text);
    finding.verdict = verdict;
    return verdict;
}
