// REG_MULTI_SZ blocks as the tests build and expect them, shared by the
// native tests and the programs that run under Wine.
#ifndef PROVIDER_ORDER_TESTS_MULTI_STRING_H
#define PROVIDER_ORDER_TESTS_MULTI_STRING_H

#include <stddef.h>

#include <string>
#include <vector>

// Each name, its NUL, and the final NUL.
inline std::string MultiString(const std::vector<std::string> &names)
{
    std::string block;
    for (const std::string &name : names)
        block += name + '\0';
    return block + '\0';
}

// Names whose block takes exactly blockSize bytes, none longer than the
// registry's 255-byte subkey names, each of another letter.
inline std::vector<std::string> NamesFilling(size_t blockSize)
{
    std::vector<std::string> names;
    size_t left = blockSize - 1;
    char letter = 'a';
    while (left > 0) {
        const size_t take = left > 256 ? 256 : left;
        names.push_back(std::string(take - 1, letter++));
        left -= take;
    }
    return names;
}

#endif
