// The version blocks of both programs and the icon of Korvelin.exe, read from the
// files as data.

#include "ChildProcess.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// "1, 0, 1, 0" for version 1.0.1.
const std::string VersionText = std::to_string(GIVEN_VERSION_MAJOR) + ", " +
                                std::to_string(GIVEN_VERSION_MINOR) + ", " +
                                std::to_string(GIVEN_VERSION_PATCH) + ", 0";

// What each program says of itself beyond the version and the maker.
const struct ProgramFile {
    const char* name;
    const char* description;
    const char* internalName;
} Programs[] = {
    {"Korvelin.exe", "Korvelin", "Korvelin"},
    {"envrefresh.exe", "Environment change notifier", "envrefresh"},
};

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

} // namespace

TEST(VersionResource, HoldsTheFixedVersionAndFlags)
{
    for (const ProgramFile& program : Programs) {
        SCOPED_TRACE(program.name);
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
}

TEST(VersionResource, HoldsTheStringTable)
{
    for (const ProgramFile& program : Programs) {
        SCOPED_TRACE(program.name);
        std::vector<char> block = versionBlock(besideThisProgram(program.name));
        ASSERT_FALSE(block.empty());

        const struct {
            const char* name;
            std::string value;
        } rows[] = {
            {"Comments", ""},
            {"CompanyName", GIVEN_KORVELIN_MAKER},
            {"FileDescription", program.description},
            {"FileVersion", VersionText},
            {"InternalName", program.internalName},
            {"LegalCopyright", "Copyright (C) " GIVEN_KORVELIN_MAKER},
            {"LegalTrademarks", ""},
            {"OriginalFilename", program.name},
            {"PrivateBuild", ""},
            {"ProductName", "Korvelin by " GIVEN_KORVELIN_MAKER},
            {"ProductVersion", VersionText},
            {"SpecialBuild", ""},
        };
        for (const auto& row : rows) {
            SCOPED_TRACE(row.name);
            const std::string query = std::string("\\StringFileInfo\\040604B0\\") + row.name;
            char* value = nullptr;
            UINT length = 0;
            ASSERT_TRUE(VerQueryValueA(block.data(), query.c_str(),
                                       reinterpret_cast<void**>(&value), &length));
            EXPECT_EQ(std::string(length > 0 ? value : ""), row.value);
        }
    }
}

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
