// Any result log content gives rows whose fields fit the viewer's room, never more rows than
// it has lines, and never a row of only empty fields.

#include <string>

#include "common/Codec.h"
#include "common/JobResultReader.h"
#include "common/TextFields.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zorva;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto lines = ParseJobResultLines(bytes);
    FUZZ_CHECK(lines.size() <= SplitLines(bytes.substr(0, kJobResultReadLimit)).size());
    for (const JobDetailLine& line : lines) {
        FUZZ_CHECK(!line.library.empty());
        FUZZ_CHECK(Cp932Width(line.library) <= 10 && Cp932Width(line.object) <= 10);
        FUZZ_CHECK(Cp932Width(line.type) <= 18 && Cp932Width(line.result) <= 18);
        FUZZ_CHECK(Cp932Width(line.start) <= 16 && Cp932Width(line.end) <= 16);
    }
    return 0;
}
