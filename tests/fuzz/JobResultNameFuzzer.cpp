// Any file name in LOG_DAT gives fields without '-'; a name made from fields is read back as
// those fields; the shown time text of any field goes back to the field's first 12 characters.

#include <string>

#include "common/JobResultReader.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zorva;
    const std::string name(reinterpret_cast<const char*>(data), size);
    const auto fields = ParseJobResultName(name);
    FUZZ_CHECK(fields.has_value() == (!name.empty() && name.front() != '-'));
    if (fields) {
        for (const std::string* field :
             {&fields->start, &fields->end, &fields->setName, &fields->result}) {
            FUZZ_CHECK(field->find('-') == std::string::npos);
        }
        FUZZ_CHECK(ParseJobResultName(JobResultFileName(*fields)) == fields);
    }
    const std::string shown = DisplayTimeText(name);
    FUZZ_CHECK(shown.size() <= 16);
    if (name.find_first_of(" /:") == std::string::npos) {
        FUZZ_CHECK(StripTimeSeparators(shown) == name.substr(0, 12));
    }
    (void)DateInRange(name, "20070301", "20070331");
    return 0;
}
