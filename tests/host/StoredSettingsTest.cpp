// The settings file kept between runs: what is written reads back, and every damage is refused
// with a message saying what is wrong.
#include "core/actions/StoredSettings.h"
#include "core/HostFailure.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>

namespace {

using namespace quillon::filterhost;

StoredSettings Sample() {
    StoredSettings settings;
    for (int i = 0; i < 300; ++i)
        settings.cell.push_back(uint8_t(i * 13));
    settings.amount = 37.5;
    return settings;
}

// The checksum over everything before it, set again after a change to the header or cell.
void Reseal(std::string& bytes) {
    const size_t at = bytes.size() - 4;
    const uint32_t crc = uint32_t(
        crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.data()), uInt(at)));
    for (int i = 0; i < 4; ++i)
        bytes[at + size_t(i)] = char(uint8_t(crc >> (8 * i)));
}

void PutDouble(std::string& bytes, size_t at, double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i)
        bytes[at + size_t(i)] = char(uint8_t(bits >> (8 * i)));
}

TEST(StoredSettingsTest, WhatIsWrittenReadsBack) {
    for (const StoredSettings& settings : {Sample(), StoredSettings{}}) {
        const StoredSettings back = ParseStoredSettings(FormatStoredSettings(settings));
        EXPECT_EQ(back.cell, settings.cell);
        EXPECT_EQ(back.amount, settings.amount);
    }
}

TEST(StoredSettingsTest, DamageIsRefusedWithItsReason) {
    const std::string good = FormatStoredSettings(Sample());
    // Offsets: signature 0..7, version 8..11, amount 12..19, length 20..23, cell 24.., CRC last.
    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
        const char* message;
    };
    const Case cases[] = {
        {"empty", [](std::string& b) { b.clear(); }, "not a quillon settings file"},
        {"the old bare cell", [](std::string& b) { b = "NQln" + std::string(100, '\0'); },
         "not a quillon settings file"},
        {"header cut", [](std::string& b) { b.resize(14); }, "cut short"},
        {"cell cut", [](std::string& b) { b.resize(b.size() - 10); }, "bytes of settings where"},
        {"bytes added", [](std::string& b) { b += "xx"; }, "bytes of settings where"},
        {"version",
         [](std::string& b) {
             b[8] = 2;
             Reseal(b);
         },
         "version 2 is not supported"},
        {"huge length",
         [](std::string& b) {
             b[23] = char(0xff);
             Reseal(b);
         },
         "claims"},
        {"a flipped bit", [](std::string& b) { b[100] = char(b[100] ^ 4); }, "checksum mismatch"},
        {"checksum", [](std::string& b) { b.back() = char(b.back() ^ 1); }, "checksum mismatch"},
        {"amount above 100",
         [](std::string& b) {
             PutDouble(b, 12, 100.5);
             Reseal(b);
         },
         "amount out of 0..100"},
        {"amount not a number",
         [](std::string& b) {
             PutDouble(b, 12, std::numeric_limits<double>::quiet_NaN());
             Reseal(b);
         },
         "amount out of 0..100"},
    };
    for (const Case& c : cases) {
        std::string bytes = good;
        c.damage(bytes);
        try {
            ParseStoredSettings(bytes);
            ADD_FAILURE() << c.name << " was accepted";
        } catch (const HostFailure& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << c.name << ": " << e.what();
        }
    }
}

TEST(StoredSettingsTest, TheFileIsWrittenWholeAndNamedInFailures) {
    const auto folder =
        std::filesystem::temp_directory_path() /
        ("quillon-stored-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::remove_all(folder);
    const auto file = folder / "deeper" / "plugin.settings";
    WriteStoredSettings(Sample(), file);
    EXPECT_EQ(ReadStoredSettings(file).cell, Sample().cell);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << "garbage";
    try {
        ReadStoredSettings(file);
        ADD_FAILURE() << "garbage was accepted";
    } catch (const HostFailure& e) {
        EXPECT_NE(std::string(e.what()).find(file.string() + ": not a quillon settings file"),
                  std::string::npos)
            << e.what();
    }
    std::filesystem::remove_all(folder);
    EXPECT_THROW(ReadStoredSettings(file), HostFailure);
}

} // namespace
