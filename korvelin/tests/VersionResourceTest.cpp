// The version blocks of both programs and the icon of Korvelin.exe, read from the
// files as data.

#include "ChildProcess.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

// "1, 0, 1, 0" for version 1.0.1.
const std::string VersionText = std::to_string(GIVEN_VERSION_MAJOR) + ", " +
                                std::to_string(GIVEN_VERSION_MINOR) + ", " +
                                std::to_string(GIVEN_VERSION_PATCH) + ", 0";

// What each program says of itself beyond the version and the maker.
struct ProgramFile {
    const char* name;
    const char* description;
    const char* internalName;
};
const ProgramFile Programs[] = {
    {"Korvelin.exe", "Korvelin", "Korvelin"},
    {"envrefresh.exe", "Environment change notifier", "envrefresh"},
};

// "Korvelin.exe" as Korvelin_exe.
std::string programName(const ProgramFile& program)
{
    std::string name = program.name;
    name[name.find('.')] = '_';
    return name;
}

// Every entry of the string table, and what it holds for a program.
const char* const StringNames[] = {
    "Comments",     "CompanyName",    "FileDescription", "FileVersion",
    "InternalName", "LegalCopyright", "LegalTrademarks", "OriginalFilename",
    "PrivateBuild", "ProductName",    "ProductVersion",  "SpecialBuild",
};

std::string expectedString(const ProgramFile& program, const std::string& name)
{
    if (name == "CompanyName")
        return GIVEN_KORVELIN_MAKER;
    if (name == "FileDescription")
        return program.description;
    if (name == "FileVersion" || name == "ProductVersion")
        return VersionText;
    if (name == "InternalName")
        return program.internalName;
    if (name == "LegalCopyright")
        return "Copyright (C) " GIVEN_KORVELIN_MAKER;
    if (name == "OriginalFilename")
        return program.name;
    if (name == "ProductName")
        return "Korvelin by " GIVEN_KORVELIN_MAKER;
    return "";
}

std::vector<char> versionBlock(const std::string& program)
{
    const std::wstring path = widen(program, CP_UTF8);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        block.clear();
    return block;
}

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width;
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInResource;
    WORD id;
};
struct IconGroup {
    WORD reserved;
    WORD type;
    WORD count;
    IconGroupEntry entries[1];
};
#pragma pack(pop)

const void* resourceData(HMODULE module, LPCSTR name, LPCSTR type, DWORD* size)
{
    HRSRC resource = FindResourceA(module, name, type);
    if (resource == nullptr)
        return nullptr;
    *size = SizeofResource(module, resource);
    return LockResource(LoadResource(module, resource));
}

BOOL CALLBACK countName(HMODULE, LPCSTR, LPSTR, LONG_PTR count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int countResources(HMODULE module, LPCSTR type)
{
    int count = 0;
    EnumResourceNamesA(module, type, countName, reinterpret_cast<LONG_PTR>(&count));
    return count;
}

class VersionBlock : public testing::TestWithParam<ProgramFile> {};
class VersionString : public testing::TestWithParam<std::tuple<ProgramFile, const char*>> {};

} // namespace

TEST_P(VersionBlock, HoldsTheFixedVersionAndFlags)
{
    const ProgramFile& program = GetParam();
    std::vector<char> block = versionBlock(besideThisProgram(program.name));
    ASSERT_FALSE(block.empty());

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

INSTANTIATE_TEST_SUITE_P(Program, VersionBlock, testing::ValuesIn(Programs),
                         [](const testing::TestParamInfo<ProgramFile>& tested) {
                             return programName(tested.param);
                         });

TEST_P(VersionString, HoldsWhatTheProgramSaysOfItself)
{
    const ProgramFile& program = std::get<0>(GetParam());
    const std::string name = std::get<1>(GetParam());
    std::vector<char> block = versionBlock(besideThisProgram(program.name));
    ASSERT_FALSE(block.empty());

    const std::string query = "\\StringFileInfo\\040604B0\\" + name;
    char* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(
        VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length));
    EXPECT_EQ(std::string(length > 0 ? value : ""), expectedString(program, name));
}

INSTANTIATE_TEST_SUITE_P(
    Entry, VersionString,
    testing::Combine(testing::ValuesIn(Programs), testing::ValuesIn(StringNames)),
    [](const testing::TestParamInfo<std::tuple<ProgramFile, const char*>>& tested) {
        return programName(std::get<0>(tested.param)) + "_" + std::get<1>(tested.param);
    });

TEST(VersionResource, CarriesOne32By32IconInSixteenColours)
{
    const std::string program = besideThisProgram("Korvelin.exe");
    const OwnedModule module(
        LoadLibraryExW(widen(program, CP_UTF8).c_str(), nullptr,
                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(module) << program;

    EXPECT_EQ(countResources(module.get(), RT_GROUP_ICON), 1);
    EXPECT_EQ(countResources(module.get(), RT_ICON), 1);

    DWORD size = 0;
    const IconGroup* group = static_cast<const IconGroup*>(
        resourceData(module.get(), MAKEINTRESOURCEA(101), RT_GROUP_ICON, &size));
    ASSERT_NE(group, nullptr) << "icon group 101";
    ASSERT_EQ(group->count, 1);
    EXPECT_EQ(group->entries[0].width, 32);
    EXPECT_EQ(group->entries[0].height, 32);
    EXPECT_EQ(group->entries[0].colorCount, 16);
    EXPECT_EQ(group->entries[0].id, 1);

    const BITMAPINFOHEADER* image = static_cast<const BITMAPINFOHEADER*>(
        resourceData(module.get(), MAKEINTRESOURCEA(1), RT_ICON, &size));
    ASSERT_NE(image, nullptr) << "icon 1";
    EXPECT_EQ(image->biWidth, 32);
    EXPECT_EQ(image->biHeight, 64); // the colour image and its mask
    EXPECT_EQ(image->biBitCount, 4);
    // Header, 16 colours, 4-bit image, 1-bit mask.
    EXPECT_EQ(size, 40u + 16 * 4 + 32 * 32 / 2 + 32 * 32 / 8);
}
