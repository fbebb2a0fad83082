// A list file of any bytes, in a single- or double-byte code page (the
// input's first byte). Instead of working out which names it should give,
// it checks what any correct reader keeps:
// - decoding reads nothing past the file's bytes (they sit in a block of
//   exactly their size, under AddressSanitizer);
// - every name it gives is "\\" and 1 to 255 bytes with no NUL, blank,
//   control or path character (a double-byte letter's trail byte aside);
// - a list of ASCII text gives the same names, or the same refusal, as
//   ANSI, as UTF-8 with its mark and as UTF-16LE with its mark.
#include "../../checker/computer_list.h"
#include "../fakes/fake_platform.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const size_t kLongestName = 255;
const char kNotInNames[] = "\\/:*?\"<>| ";

void Require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

struct Listed {
    bool taken;
    std::vector<std::string> names;
    bool operator==(const Listed &other) const { return taken == other.taken && names == other.names; }
};

Listed Read(const std::string &bytes)
{
    g_files.contents["list.txt"] = bytes;
    ComputerList list = ComputerList();
    Listed listed;
    listed.taken = ReadComputerList("list.txt", &list);
    listed.names.assign(list.names, list.names + list.count);
    ReleaseComputers(&list);
    return listed;
}

void RequireComputerName(const std::string &name)
{
    Require(name.size() > 2 && name.size() <= 2 + kLongestName && name.compare(0, 2, "\\\\") == 0);
    for (size_t at = 2; at < name.size(); ++at) {
        const BYTE character = static_cast<BYTE>(name[at]);
        if (IsDBCSLeadByte(character) && at + 1 < name.size()) {
            ++at;
            continue;
        }
        Require(character >= ' ' && character != 0x7F && strchr(kNotInNames, character) == NULL);
    }
}

bool PlainAscii(const std::string &text)
{
    for (const char character : text) {
        const unsigned char byte = static_cast<unsigned char>(character);
        if (byte >= 0x80 || (byte < ' ' && byte != '\r' && byte != '\n' && byte != '\t'))
            return false;
    }
    return true;
}

std::string Utf16WithMark(const std::string &ascii)
{
    std::string bytes = "\xff\xfe";
    for (const char character : ascii) {
        bytes += character;
        bytes += '\0';
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    ResetFakePlatform();
    g_doubleByteCodePage = (data[0] & 1) != 0;
    const std::string file(reinterpret_cast<const char *>(data) + 1, size - 1);

    // Exactly the file's bytes, in a block of their own.
    const std::unique_ptr<BYTE[]> bytes(new BYTE[file.size()]);
    memcpy(bytes.get(), file.data(), file.size());
    char *text = NULL;
    DWORD length = 0;
    if (DecodeList(bytes.get(), static_cast<DWORD>(file.size()), &text, &length) == ERROR_SUCCESS)
        Require(text != NULL);
    free(text);

    const Listed listed = Read(file);
    for (const std::string &name : listed.names)
        RequireComputerName(name);

    if (PlainAscii(file)) {
        Require(Read("\xef\xbb\xbf" + file) == listed);
        Require(Read(Utf16WithMark(file)) == listed);
    }
    return 0;
}
