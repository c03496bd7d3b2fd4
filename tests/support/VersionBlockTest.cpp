// The version block of one program, read from its file as data. Built into the tests
// of each program with what CMake was given for it: GIVEN_PROGRAM (its target name),
// GIVEN_DESCRIPTION, the maker and the version.

#include "ChildProcess.h"
#include "System.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string Program = GIVEN_PROGRAM;
const std::string ProgramFile = Program + ".exe";

// "1, 0, 1, 0" for version 1.0.1.
const std::string VersionText = std::to_string(GIVEN_VERSION_MAJOR) + ", " +
                                std::to_string(GIVEN_VERSION_MINOR) + ", " +
                                std::to_string(GIVEN_VERSION_PATCH) + ", 0";

// Every entry of the string table, and what it holds.
struct Entry {
    const char* what;
    std::string value;
};
const Entry Entries[] = {
    {"Comments", ""},
    {"CompanyName", GIVEN_KORVELIN_MAKER},
    {"FileDescription", GIVEN_DESCRIPTION},
    {"FileVersion", VersionText},
    {"InternalName", Program},
    {"LegalCopyright", "Copyright (C) " GIVEN_KORVELIN_MAKER},
    {"LegalTrademarks", ""},
    {"OriginalFilename", ProgramFile},
    {"PrivateBuild", ""},
    {"ProductName", "Korvelin by " GIVEN_KORVELIN_MAKER},
    {"ProductVersion", VersionText},
    {"SpecialBuild", ""},
};

std::vector<char> versionBlock()
{
    const std::wstring path = widen(besideThisProgram(ProgramFile), CP_UTF8);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        block.clear();
    return block;
}

class VersionString : public testing::TestWithParam<Entry> {};

} // namespace

TEST(VersionBlock, HoldsTheFixedVersionAndFlags)
{
    std::vector<char> block = versionBlock();
    ASSERT_FALSE(block.empty()) << ProgramFile;

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    const DWORD high = GIVEN_VERSION_MAJOR << 16 | GIVEN_VERSION_MINOR;
    const DWORD low = GIVEN_VERSION_PATCH << 16;
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);
    EXPECT_EQ(fixed->dwFileOS, 0x40004u);
    EXPECT_EQ(fixed->dwFileType, 1u);

    struct Translation {
        WORD language;
        WORD codePage;
    }* translations = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translations), &length));
    ASSERT_EQ(length, sizeof(Translation));
    EXPECT_EQ(translations->language, 0x0406);
    EXPECT_EQ(translations->codePage, 1200);
}

TEST_P(VersionString, HoldsWhatTheProgramSaysOfItself)
{
    const Entry& entry = GetParam();
    std::vector<char> block = versionBlock();
    ASSERT_FALSE(block.empty()) << ProgramFile;

    const std::string query = std::string("\\StringFileInfo\\040604B0\\") + entry.what;
    char* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(
        VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length));
    EXPECT_EQ(std::string(length > 0 ? value : ""), entry.value);
}

INSTANTIATE_TEST_SUITE_P(Entry, VersionString, testing::ValuesIn(Entries), rowName<Entry>);
