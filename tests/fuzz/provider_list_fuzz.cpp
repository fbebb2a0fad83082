// A scripted registry driven by the input: the open's result, then for each
// index a result code, how an open of that name answers, and a name of any
// length and bytes. The task may write Order only after a clean end of the
// enumeration, when every name is non-empty, holds no NUL or backslash,
// differs from the others beyond ASCII case and opens a subkey or is
// refused; then exactly the names in order with their NULs and the final
// NUL, within 1024 bytes; otherwise nothing. Every key is always closed.
#include "../../provider_order/provider_order.h"
#include "../fakes/fake_platform.h"

#include <stdint.h>

namespace {

const LONG kEnumerationResults[] = {
    ERROR_SUCCESS,       ERROR_SUCCESS,   ERROR_SUCCESS,       ERROR_SUCCESS,
    ERROR_NO_MORE_ITEMS, ERROR_MORE_DATA, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE,
};
const LONG kSubkeyOpenResults[] = {ERROR_SUCCESS, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND};
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
        const uint8_t results = script.Byte();
        const LONG result = kEnumerationResults[results & 7];
        const LONG openResult = kSubkeyOpenResults[(results >> 3) & 3];
        const size_t length = (script.Byte() | static_cast<size_t>(script.Byte()) << 8) % kLongestName;
        std::string name;
        while (name.size() < length && script.More())
            name += static_cast<char>(script.Byte());
        const DWORD index = static_cast<DWORD>(g_registry.subkeys.size());
        g_registry.subkeys.push_back(name);
        if (result != ERROR_SUCCESS)
            g_registry.enumerationFailures[index] = result;
        if (openResult != ERROR_SUCCESS)
            g_registry.subkeyOpenFailures[name] = openResult;
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
    bool proven = true;
    for (size_t index = 0; index < collected.size(); ++index) {
        const std::string &name = collected[index];
        const auto failure = g_registry.subkeyOpenFailures.find(name);
        if (name.empty() || name.find('\0') != std::string::npos || name.find('\\') != std::string::npos ||
            (failure != g_registry.subkeyOpenFailures.end() && failure->second == ERROR_FILE_NOT_FOUND))
            proven = false;
        for (size_t earlier = 0; earlier < index; ++earlier) {
            if (SameRegistryName(collected[earlier], name))
                proven = false;
        }
    }
    const bool writes = complete && !collected.empty() && proven;
    Require(g_registry.written == writes);
    if (writes) {
        Require(g_registry.writtenBytes == MultiString(collected));
        Require(g_registry.writtenBytes.size() <= kProviderListSize);
        Require(g_registry.writtenType == REG_MULTI_SZ && g_registry.writtenName == "Order");
    }
    return 0;
}
