// The remembered sample path, through a real host's registry and its file.
#include "dialog/RememberedSample.h"
#include "core/session/FilterSession.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cwchar>
#include <filesystem>
#include <string>

namespace {

using namespace quillon::filterhost;
using quillon::dialog::LoadRememberedSample;
using quillon::dialog::RememberSample;
namespace fs = std::filesystem;

constexpr const char* kUnique = "d9347b0c-3c91-71d4-47bc-00b0d0f04936";
constexpr DescriptorKeyID kQlnF = PI_FOURCC('q', 'l', 'n', 'F');

// "/" and n euro signs: 1 + 3n bytes of UTF-8, 1 + n characters.
std::string Euros(int n) {
    std::string text = "/";
    for (int i = 0; i < n; ++i)
        text += "\xe2\x82\xac";
    return text;
}

class RememberedSampleTest : public ::testing::Test {
  protected:
    fs::path folder_ =
        fs::temp_directory_path() / ("quillon-remembered-" + std::to_string(getpid()));
    fs::path registryFile_ = folder_ / "registry.json";
    wchar_t path_[1024] = L"/previous/sample.psd";

    void SetUp() override { fs::create_directories(folder_); }
    void TearDown() override { fs::remove_all(folder_); }

    // What another session, or a careless plug-in, left under the unique string.
    static void Register(FilterSession& host, const std::string& text) {
        const auto& descriptors = *host.Descriptors().ActionDescriptorSuite();
        PIActionDescriptor d = nullptr;
        ASSERT_EQ(descriptors.Make(&d), kSPNoError);
        descriptors.PutString(d, kQlnF, text.c_str());
        host.Descriptors().RegistrySuite()->Register(kUnique, d, true);
        descriptors.Free(d);
    }

    static void ExpectNothingHeld(FilterSession& host) {
        EXPECT_EQ(host.Suites().Outstanding(), 0);
        EXPECT_EQ(host.Descriptors().LiveActionDescriptors(), 0u);
    }
};

TEST_F(RememberedSampleTest, APathSurvivesIntoTheNextSessionOfTheHost) {
    const wchar_t* path = L"/home/anna/Bilder/M\u00f6we \u20ac \U0001F426.psd";
    {
        FilterSession host(registryFile_);
        EXPECT_EQ(RememberSample(host.Suites().Basic(), path), kSPNoError);
        ExpectNothingHeld(host);
    }
    FilterSession next(registryFile_);
    const DescriptorItem* item = next.Descriptors().Registry().at(kUnique).Find(kQlnF);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(std::get<std::string>(item->value),
              "/home/anna/Bilder/M\xc3\xb6we \xe2\x82\xac \xf0\x9f\x90\xa6.psd");
    EXPECT_EQ(LoadRememberedSample(next.Suites().Basic(), path_), kSPNoError);
    EXPECT_STREQ(path_, path);
    ExpectNothingHeld(next);
}

TEST_F(RememberedSampleTest, ClosingTheSampleRemembersTheBuiltInOne) {
    FilterSession host(registryFile_);
    RememberSample(host.Suites().Basic(), L"/pictures/sunset.png");
    EXPECT_EQ(RememberSample(host.Suites().Basic(), L""), kSPNoError);
    EXPECT_EQ(LoadRememberedSample(host.Suites().Basic(), path_), kSPNoError);
    EXPECT_STREQ(path_, L"");
}

TEST_F(RememberedSampleTest, StoredTextsThatCannotNameTheFileLeaveThePathAlone) {
    struct Case {
        const char* name;
        std::string stored;
    } cases[] = {
        {"longer than a path may be", Euros(682) + "x"}, // 2048 bytes, 684 characters
        {"not UTF-8", "/pictures/\xff\xfe.png"},
        {"too many characters", std::string(1024, 'y')},
    };
    for (const Case& c : cases) {
        FilterSession host(registryFile_);
        Register(host, c.stored);
        EXPECT_EQ(LoadRememberedSample(host.Suites().Basic(), path_), kSPNoError) << c.name;
        EXPECT_STREQ(path_, L"/previous/sample.psd") << c.name;
        ExpectNothingHeld(host);
    }
}

TEST_F(RememberedSampleTest, TheLongestPathsThatFitAreKeptWhole) {
    const std::wstring mostCharacters = L"/" + std::wstring(1022, L'z');
    const std::wstring mostBytes = L"/" + std::wstring(682, L'\u20ac'); // 2047 bytes of UTF-8
    for (const std::wstring& longest : {mostCharacters, mostBytes}) {
        FilterSession host(registryFile_);
        EXPECT_EQ(RememberSample(host.Suites().Basic(), longest.c_str()), kSPNoError);
        EXPECT_EQ(LoadRememberedSample(host.Suites().Basic(), path_), kSPNoError);
        EXPECT_EQ(std::wstring(path_), longest);
    }
}

TEST_F(RememberedSampleTest, NothingRegisteredLeavesThePathAlone) {
    FilterSession host(registryFile_);
    EXPECT_EQ(LoadRememberedSample(host.Suites().Basic(), path_), kSPNoError);
    EXPECT_STREQ(path_, L"/previous/sample.psd");
    ExpectNothingHeld(host);
}

TEST_F(RememberedSampleTest, AHostWithoutTheSuitesGetsItsOwnCodeBack) {
    EXPECT_EQ(LoadRememberedSample(nullptr, path_), errPlugInHostInsufficient);
    EXPECT_EQ(RememberSample(nullptr, L"/a.png"), errPlugInHostInsufficient);

    for (const char* missing : {kPSDescriptorRegistrySuite, kPSActionDescriptorSuite}) {
        FilterSession host(registryFile_);
        Register(host, "/pictures/kept.png");
        host.Suites().Withdraw(missing, missing == std::string(kPSDescriptorRegistrySuite)
                                            ? kPSDescriptorRegistrySuiteVersion
                                            : kPSActionDescriptorSuiteVersion);
        EXPECT_EQ(LoadRememberedSample(host.Suites().Basic(), path_), errPlugInHostInsufficient)
            << missing;
        EXPECT_STREQ(path_, L"/previous/sample.psd") << missing;
        EXPECT_EQ(RememberSample(host.Suites().Basic(), L"/b.png"), errPlugInHostInsufficient)
            << missing;
        EXPECT_EQ(
            std::get<std::string>(host.Descriptors().Registry().at(kUnique).Find(kQlnF)->value),
            "/pictures/kept.png")
            << missing;
        ExpectNothingHeld(host);
    }
}

} // namespace
