#include <gtest/gtest.h>

#include "common/FileIo.h"
#include "common/ProfileFile.h"
#include "common/Settings.h"
#include "tests/support/TempFolder.h"

namespace zorva {
namespace {

TEST(TlsSettings, SurviveWriteAndReadWithTheMailPasswordScrambled) {
    test::TempFolder dir;
    const auto ini = dir / "zorva.ini";
    Settings s;
    s.hostTls = HostTls::Implicit;
    s.hostCaFile = "/etc/zorva/host-ca.pem";
    s.hostPinnedKey = "sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";
    s.mailTls = MailTls::StartTls;
    s.mailUser = "reports";
    s.mailPassword = "Geheim 1";
    ASSERT_TRUE(WriteSettings(ini, s));
    const Settings read = ReadSettings(ini, SettingsReading{}).value();
    EXPECT_EQ(read.hostTls, s.hostTls);
    EXPECT_EQ(read.hostCaFile, s.hostCaFile);
    EXPECT_EQ(read.hostPinnedKey, s.hostPinnedKey);
    EXPECT_EQ(read.mailTls, s.mailTls);
    EXPECT_EQ(read.mailUser, s.mailUser);
    EXPECT_EQ(read.mailPassword, s.mailPassword);
    EXPECT_EQ(ProfileFile::Load(ini).value().GetRawBytes("MAIL", "PASSWORD", 127),
              ScramblePassword("Geheim 1"));
}

TEST(TlsSettings, UnsetKeysAreNotWritten) {
    test::TempFolder dir;
    const auto ini = dir / "zorva.ini";
    ASSERT_TRUE(WriteSettings(ini, Settings{}));
    const ProfileFile file = ProfileFile::Load(ini).value();
    for (const char* key : {"TLS", "CAFILE", "PINNEDKEY"}) EXPECT_FALSE(file.HasKey("HOST", key));
    for (const char* key : {"TLS", "CAFILE", "USER", "PASSWORD"})
        EXPECT_FALSE(file.HasKey("MAIL", key));
}

}  // namespace
}  // namespace zorva
