// A scripted registry driven by the input: the code page (single or double
// byte) and the open's result, then for each index a result code (among
// them a success that claims the whole room, which no real registry gives),
// how an open of that name answers, and a name of any length and bytes.
// Instead of working out what the repair should decide, it checks what any
// correct repair keeps:
// - every key it opened is closed; a failed open shows one box and nothing
//   else;
// - Order is written only as exactly the subkeys up to a clean end of the
//   enumeration, in order, each once, within 1024 bytes and ending in two
//   NULs, and only after every one of them opened (or was refused: the
//   subkey is there);
// - a registry of plain, distinct names is always repaired;
// - the plan writes nothing past its own record.
#include "../../common/provider_list.h"
#include "../../provider_order/provider_order.h"
#include "../fakes/fake_platform.h"

#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <new>

namespace {

const DWORD kClaimsTheWholeRoom = 0xFFFFFFFFu;  // not a result: RegEnumKeyExA lies about the length
const DWORD kEnumerationResults[] = {
    ERROR_SUCCESS,       ERROR_SUCCESS,   ERROR_SUCCESS,       kClaimsTheWholeRoom,
    ERROR_NO_MORE_ITEMS, ERROR_MORE_DATA, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE,
};
const LONG kSubkeyOpenResults[] = {ERROR_SUCCESS, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND};
const size_t kLongestName = 1100;  // past the whole block
const size_t kSentinelSize = 64;
const unsigned char kSentinel = 0xBD;

struct Script {
    const uint8_t *at;
    const uint8_t *end;

    bool More() const { return at < end; }
    uint8_t Byte() { return at < end ? *at++ : 0; }
};

void Require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

bool Plain(const std::string &name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ';
    });
}

bool Opened(const std::string &name)
{
    const auto &calls = g_registry.calls;
    return std::find(calls.begin(), calls.end(), "RegOpenKeyExA " + name) != calls.end();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Script script = {data, data + size};
    ResetFakePlatform();
    const uint8_t setting = script.Byte();
    const bool opens = (setting & 7) != 7;
    g_registry.openResult = opens ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    g_doubleByteCodePage = (setting & 8) != 0;

    // The subkeys a repair may list: those before the first index whose
    // call does not succeed honestly. They are Order only if that call ends
    // the enumeration.
    size_t listable = 0;
    bool decided = false;
    bool endsCleanly = true;
    while (script.More()) {
        const uint8_t results = script.Byte();
        DWORD result = kEnumerationResults[results & 7];
        const LONG openResult = kSubkeyOpenResults[(results >> 3) & 3];
        const size_t length = (script.Byte() | static_cast<size_t>(script.Byte()) << 8) % kLongestName;
        std::string name;
        while (name.size() < length && script.More())
            name += static_cast<char>(script.Byte());
        const DWORD index = static_cast<DWORD>(g_registry.subkeys.size());
        g_registry.subkeys.push_back(name);
        // The fake overstates one index at most; past it, an honest success.
        if (result == kClaimsTheWholeRoom && g_registry.lengthOverstatedAt != FakeRegistry::kNever)
            result = ERROR_SUCCESS;
        if (result == kClaimsTheWholeRoom)
            g_registry.lengthOverstatedAt = index;
        else if (result != ERROR_SUCCESS)
            g_registry.enumerationFailures[index] = static_cast<LONG>(result);
        if (openResult != ERROR_SUCCESS)
            g_registry.subkeyOpenFailures[name] = openResult;
        if (!decided && result != ERROR_SUCCESS) {
            decided = true;
            endsCleanly = (result == ERROR_NO_MORE_ITEMS);
        }
        if (!decided)
            ++listable;
    }
    const std::vector<std::string> subkeys(g_registry.subkeys.begin(), g_registry.subkeys.begin() + listable);

    RepairProviderOrder();

    Require(g_registry.keysOpen == 0);
    if (!opens) {
        Require(g_messageBoxes.size() == 1 && g_registry.calls.size() == 1 && !g_registry.written);
        return 0;
    }
    Require(g_messageBoxes.empty());

    bool plainAndDistinct = endsCleanly && !subkeys.empty() && MultiString(subkeys).size() <= kProviderListSize;
    for (size_t index = 0; index < subkeys.size(); ++index) {
        const auto failure = g_registry.subkeyOpenFailures.find(subkeys[index]);
        plainAndDistinct = plainAndDistinct && Plain(subkeys[index]) && failure == g_registry.subkeyOpenFailures.end();
        for (size_t earlier = 0; earlier < index; ++earlier)
            plainAndDistinct = plainAndDistinct && !SameRegistryName(subkeys[earlier], subkeys[index]);
    }
    Require(g_registry.written || !plainAndDistinct);

    if (g_registry.written) {
        const std::string &block = g_registry.writtenBytes;
        Require(endsCleanly && block == MultiString(subkeys));
        Require(block.size() <= kProviderListSize && block.size() >= 3 &&
                block.compare(block.size() - 2, 2, "\0\0", 2) == 0);
        Require(g_registry.writtenType == REG_MULTI_SZ && g_registry.writtenName == "Order");
        for (size_t index = 0; index < subkeys.size(); ++index) {
            const std::string &name = subkeys[index];
            const auto failure = g_registry.subkeyOpenFailures.find(name);
            Require(Opened(name));
            Require(failure == g_registry.subkeyOpenFailures.end() || failure->second != ERROR_FILE_NOT_FOUND);
            Require(g_doubleByteCodePage || name.find('\\') == std::string::npos);
            for (size_t earlier = 0; earlier < index; ++earlier)
                Require(!SameRegistryName(subkeys[earlier], name));
        }
    }

    // The plan, in a record with sentinel bytes behind it.
    std::vector<unsigned char> room(sizeof(OrderPlan) + kSentinelSize, kSentinel);
    HKEY key;
    Require(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "", 0, 0, &key) == ERROR_SUCCESS);
    PlanProviderOrder(key, new (room.data()) OrderPlan);
    RegCloseKey(key);
    Require(std::all_of(room.end() - kSentinelSize, room.end(), [](unsigned char byte) { return byte == kSentinel; }));
    Require(g_registry.keysOpen == 0);
    return 0;
}
