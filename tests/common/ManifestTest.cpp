#include "common/Manifest.h"

#include <gtest/gtest.h>

#include "common/FileIo.h"
#include "common/SavedData.h"
#include "common/Sha256.h"
#include "tests/support/TempFolder.h"

namespace zorva {
namespace {

const std::string kA(64, 'a');
const std::string kB(64, 'b');

struct ParseCase {
    std::string label;
    std::string text;
    std::optional<Manifest> expected;  // nullopt: refused
};

class ManifestParsing : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ManifestParsing, TakesSha256sumLinesOnly) {
    const auto parsed = ParseManifest(GetParam().text);
    ASSERT_EQ(parsed.has_value(), GetParam().expected.has_value());
    if (parsed) {
        EXPECT_EQ(*parsed, *GetParam().expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ManifestParsing,
    ::testing::Values(ParseCase{"Empty", "", Manifest{}},
                      ParseCase{"SortedByName", kB + "  PAYROLL\n" + kA + "  #ALLUSR\n",
                                Manifest{{{"#ALLUSR", kA}, {"PAYROLL", kB}}}},
                      ParseCase{"BinaryMarkerAndUpperCase", std::string(64, 'A') + " *ARLIB",
                                Manifest{{{"ARLIB", kA}}}},
                      ParseCase{"LaterLineOfANameWins", kA + "  X\n" + kB + "  X\n",
                                Manifest{{{"X", kB}}}},
                      ParseCase{"ShortDigest", std::string(63, 'a') + "  X\n", std::nullopt},
                      ParseCase{"NotHex", std::string(64, 'g') + "  X\n", std::nullopt},
                      ParseCase{"OneBlank", kA + " X\n", std::nullopt},
                      ParseCase{"EscapedName", "\\" + kA + "  X\\nY\n", std::nullopt},
                      ParseCase{"NameWithAFolder", kA + "  ../X\n", std::nullopt},
                      ParseCase{"EmptyLine", kA + "  X\n\n", std::nullopt}),
    [](const auto& test) { return test.param.label; });

TEST(Manifest, FormatsWhatItParsesAndReplacesALine) {
    Manifest manifest{{{"B", kB}}};
    manifest.Record({"A", kA});
    manifest.Record({"B", kA});
    EXPECT_EQ(FormatManifest(manifest), kA + "  A\n" + kA + "  B\n");
    EXPECT_TRUE(manifest.Forget("A"));
    EXPECT_FALSE(manifest.Forget("A"));
    EXPECT_EQ(ParseManifest(FormatManifest(manifest)).value(), manifest);
}

std::string DigestOf(const std::string& bytes) {
    Sha256 hash;
    hash.Update(bytes.data(), bytes.size());
    return hash.HexDigest();
}

TEST(Manifest, VerifiesEverySaveFileAndEveryLine) {
    test::TempFolder folder;
    for (const char* name : {"DAMAGED", "GOOD", "OLD", "SHA256SUMS.txt.tmp123", ".X.0000000a.part"})
        ASSERT_TRUE(WriteFileAtomically(folder / name, std::string("saved ") + name));
    const std::string damaged = DigestOf("saved DAMAGEd");
    ASSERT_TRUE(RecordChecksum(folder.path(), {"GOOD", DigestOf("saved GOOD")}));
    ASSERT_TRUE(RecordChecksum(folder.path(), {"DAMAGED", damaged}));
    ASSERT_TRUE(RecordChecksum(folder.path(), {"GONE", kA}));
    std::uint64_t lastDone = 0;
    const auto verdicts = VerifyGeneration(
        folder.path(), {[&](std::uint64_t done, std::uint64_t) { lastDone = done; }, {}});
    ASSERT_TRUE(verdicts);
    EXPECT_EQ(*verdicts, (std::vector<FileVerdict>{{"DAMAGED", FileCheck::Damaged},
                                                   {"GONE", FileCheck::Missing},
                                                   {"GOOD", FileCheck::Ok},
                                                   {"OLD", FileCheck::NotRecorded}}));
    EXPECT_EQ(lastDone, std::string("saved DAMAGEDsaved GOOD").size());  // the recorded files
    EXPECT_EQ(ListSaveFiles(folder.path()), (std::vector<std::string>{"DAMAGED", "GOOD", "OLD"}));
    EXPECT_EQ(DigestOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

}  // namespace
}  // namespace zorva
