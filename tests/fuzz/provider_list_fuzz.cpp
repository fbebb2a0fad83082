// A scripted registry driven by the input: the open's result, then for each
// index a result code and, for a success, a name of any length and bytes.
// The task may write Order only after a clean end of the enumeration, and
// then exactly the names in order with their NULs and the final NUL, within
// 1024 bytes; otherwise nothing. The key is always closed.
#include "../../provider_order/provider_order.h"
#include "../fakes/fake_platform.h"

#include <stdint.h>

namespace {

const LONG kEnumerationResults[] = {
    ERROR_SUCCESS,       ERROR_SUCCESS,   ERROR_SUCCESS,       ERROR_SUCCESS,
    ERROR_NO_MORE_ITEMS, ERROR_MORE_DATA, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE,
};
const size_t kLongestName = 1100;  // past the whole block

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Script script = {data, data + size};
    ResetFakePlatform();
    const bool opens = (script.Byte() & 7) != 7;
    g_registry.openResult = opens ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;

    // What a correct task writes, worked out alongside the script.
    std::vector<std::string> collected;
    size_t used = 0;
    bool complete = true;
    bool decided = false;
    while (script.More()) {
        const LONG result = kEnumerationResults[script.Byte() & 7];
        const size_t length = (script.Byte() | static_cast<size_t>(script.Byte()) << 8) % kLongestName;
        std::string name;
        while (name.size() < length && script.More())
            name += static_cast<char>(script.Byte());
        const DWORD index = static_cast<DWORD>(g_registry.subkeys.size());
        g_registry.subkeys.push_back(name);
        if (result != ERROR_SUCCESS)
            g_registry.enumerationFailures[index] = result;
        if (decided)
            continue;
        if (result == ERROR_NO_MORE_ITEMS) {
            decided = true;
        } else if (result != ERROR_SUCCESS || used + name.size() + 1 > kProviderListSize - 1) {
            complete = false;
            decided = true;
        } else {
            collected.push_back(name);
            used += name.size() + 1;
        }
    }

    RepairProviderOrder();

    Require(g_registry.keysOpen == 0);
    if (!opens) {
        Require(g_messageBoxes.size() == 1 && g_registry.calls.size() == 1 && !g_registry.written);
        return 0;
    }
    Require(g_messageBoxes.empty());
    const bool writes = complete && !collected.empty();
    Require(g_registry.written == writes);
    if (writes) {
        Require(g_registry.writtenBytes == MultiString(collected));
        Require(g_registry.writtenBytes.size() <= kProviderListSize);
        Require(g_registry.writtenType == REG_MULTI_SZ && g_registry.writtenName == "Order");
    }
    return 0;
}
