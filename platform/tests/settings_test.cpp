#include "platform/settings.h"

#include <gtest/gtest.h>

#include "testsupport/testsupport.h"

using namespace platform;

TEST(Settings, OneFilePerKeyPathUnderTheConfigFolder) {
    testsupport::CTempDir dir;
    testsupport::CEnvScope env("XDG_CONFIG_HOME", dir.Path().c_str());
    CSettingsStore store("Pelvorn\\QarServer");
    EXPECT_EQ(store.FilePath(), dir.Path() + "Corvane/Pelvorn/QarServer.ini");
    EXPECT_EQ(store.GetInt("Environment", "Port", 2003), 2003);
    ASSERT_TRUE(store.WriteInt("Environment", "Port", 2100));
    ASSERT_TRUE(store.WriteString("Environment", "Device IP", "127.0.0.1"));
    CSettingsStore again("Pelvorn/QarServer");
    EXPECT_EQ(again.GetInt("environment", "port", 0), 2100);
    EXPECT_EQ(again.GetString("Environment", "Device IP", ""), "127.0.0.1");
    ASSERT_TRUE(again.WriteString("Environment", "Port", nullptr));
    EXPECT_EQ(store.GetInt("Environment", "Port", 7), 7);
}

TEST(Settings, BinaryValuesAndHostileKeyPaths) {
    testsupport::CTempDir dir;
    testsupport::CEnvScope env("XDG_CONFIG_HOME", dir.Path().c_str());
    CSettingsStore store("../../escape/Key");
    EXPECT_EQ(store.FilePath(), dir.Path() + "Corvane/escape/Key.ini");
    const std::uint8_t bytes[] = {0x00, 0x7F, 0xFF, 0x10};
    ASSERT_TRUE(store.WriteBinary("Bin", "v", bytes, sizeof bytes));
    std::vector<std::uint8_t> back;
    ASSERT_TRUE(store.GetBinary("Bin", "v", back));
    EXPECT_EQ(back, std::vector<std::uint8_t>(bytes, bytes + 4));
    ASSERT_TRUE(store.WriteString("Bin", "bad", "0G"));
    EXPECT_FALSE(store.GetBinary("Bin", "bad", back));
    EXPECT_FALSE(store.GetBinary("Bin", "none", back));
}
