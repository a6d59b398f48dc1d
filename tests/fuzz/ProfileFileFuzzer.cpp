// The settings file as an editor sees it: whatever bytes the file holds, setting a key and
// reading it back gives the value set, leaves every other key's value as it was, and setting
// the same value again changes no byte.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "common/ProfileFile.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

constexpr std::size_t kWholeValue = 1 << 20;

// A section or key name: 1 to 8 characters the system itself uses in names.
std::string Name(FuzzedDataProvider& input) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcxyz0123456789_";
    std::string name = input.ConsumeRandomLengthString(8);
    for (char& c : name) c = kAlphabet[static_cast<unsigned char>(c) % (sizeof kAlphabet - 1)];
    return name.empty() ? std::string("K") : name;
}

// A value as the file can hold one: no line end or NUL, no blank or tab at either end.
std::string Value(FuzzedDataProvider& input) {
    std::string value = input.ConsumeRandomLengthString(64);
    std::erase_if(value, [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!value.empty() && blank(value.back())) value.pop_back();
    value.erase(value.begin(), std::find_if_not(value.begin(), value.end(), blank));
    return value;
}

bool SameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = Name(input);
    const std::string key = Name(input);
    const std::string value = Value(input);
    const std::string otherSection = Name(input);
    const std::string otherKey = Name(input);
    zorva::ProfileFile file(input.ConsumeRemainingBytesAsString());

    const std::string otherBefore = file.GetBytes(otherSection, otherKey, kWholeValue);
    file.SetBytes(section, key, value);
    FUZZ_CHECK(file.GetBytes(section, key, kWholeValue) == value);
    if (!(SameName(section, otherSection) && SameName(key, otherKey))) {
        FUZZ_CHECK(file.GetBytes(otherSection, otherKey, kWholeValue) == otherBefore);
    }
    const std::string once = file.bytes();
    file.SetBytes(section, key, value);
    FUZZ_CHECK(file.bytes() == once);
    return 0;
}
