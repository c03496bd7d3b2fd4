#include "PathInfo.h"

#include "CodePage.h"
#include "ScratchFolder.h"
#include "ThisSystem.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include <type_traits>

// Records may be destroyed through a pointer, and are never copied: two fields point
// into the record itself.
static_assert(std::has_virtual_destructor<PathInfo>::value, "virtual destructor");
static_assert(!std::is_copy_constructible<PathInfo>::value, "not copyable");
static_assert(!std::is_copy_assignable<PathInfo>::value, "not assignable");

namespace {

// The bytes 0x80 and above that are characters of their own in the system code page
// (not the first half of a double-byte character) and read back as themselves.
std::string singleBytesBeyondAscii()
{
    std::string bytes;
    for (int value = 0x80; value <= 0xff; ++value) {
        const char single = static_cast<char>(value);
        wchar_t wide[2];
        if (!IsDBCSLeadByte(static_cast<BYTE>(value)) &&
            MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &single, 1, wide, 2) == 1 &&
            heldByCodePage(std::wstring(wide, 1)))
            bytes += single;
    }
    return bytes;
}

// Blocks in use on all of this process's heaps, wherever the runtime allocates.
size_t heapBlocksInUse()
{
    HANDLE heaps[256];
    const DWORD count = GetProcessHeaps(256, heaps);
    size_t inUse = 0;
    for (DWORD i = 0; i < count && i < 256; ++i) {
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                ++inUse;
        }
    }
    return inUse;
}

} // namespace

namespace {

struct Split {
    std::string what;
    std::string name;
    std::string drive;
    std::string directory;
    const char* baseName;
    const char* extension;
    const char* filePart;
    std::string skip; // why the row cannot run here; empty when it can
};

std::vector<Split> splits()
{
    const char* const null = nullptr;
    // Drive bytes 0x80 and above, which the code page must hold as characters of their
    // own: 0xE0 is "a" with a grave accent in 1252, the first half of a character in 932.
    const std::string high = singleBytesBeyondAscii();
    const auto highByte = [&high](char preferred, size_t otherwise) {
        return high.find(preferred) != std::string::npos ? std::string(1, preferred)
               : otherwise < high.size()                 ? high.substr(otherwise, 1)
                                                         : std::string();
    };
    const std::string e0 = highByte('\xe0', 0), ff = highByte('\xff', high.size() - 1);
    const std::string noHigh = unlessCodePageHas(!high.empty(), "single byte beyond ASCII");
    return {
        // clang-format off
        {"file",           "C:\\dir\\file.txt", "C", "C:\\dir", "file", "txt", "file.txt", ""},
        {"two_extensions", "c:\\dir\\archive.tar.gz", "C", "c:\\dir", "archive.tar", "gz", "archive.tar.gz", ""},
        {"dot_file",       "C:\\dir\\.profile", "C", "C:\\dir", "", "profile", ".profile", ""},
        {"no_extension",   "C:\\dir\\README", "C", "C:\\dir", "README", null, "README", ""},
        {"dot_in_folder",  "C:\\my.dir\\file", "C", "C:\\my.dir", "file", null, "file", ""},
        {"folder",         "C:\\dir\\", "C", "C:\\dir", "", null, null, ""},
        {"root",           "C:\\", "C", "C:", "", null, null, ""},
        {"small_drive",    "x:\\Mixed\\Case.TXT", "X", "x:\\Mixed", "Case", "TXT", "Case.TXT", ""},
        // Only a to z are upper-cased; other bytes, 0x80 and above too, stay as they are.
        {"drive_beyond_ascii", e0 + ":\\dir\\f.b", e0, e0 + ":\\dir", "f", "b", "f.b", noHigh},
        {"drive_last_byte", ff + ":\\f", ff, ff + ":", "f", null, "f", noHigh},
        {"server",         "\\\\server\\share\\f.txt", "\\", "\\\\server\\share", "f", "txt", "f.txt", wineOnly(NetworkSearch)},
        // clang-format on
    };
}

class PathInfoSplit : public testing::TestWithParam<Split> {};

} // namespace

TEST_P(PathInfoSplit, SplitsTheResolvedFullPath)
{
    const Split& row = GetParam();
    if (!row.skip.empty())
        GTEST_SKIP() << row.skip;
    PathInfo path(row.name.c_str());
    EXPECT_EQ(path.fullPath(), row.name);
    EXPECT_EQ(std::string(1, path.drive()), row.drive);
    EXPECT_EQ(path.directory(), row.directory);
    EXPECT_STREQ(path.baseName(), row.baseName);
    EXPECT_STREQ(path.extension(), row.extension);
    EXPECT_STREQ(path.filePart(), row.filePart);
}

INSTANTIATE_TEST_SUITE_P(Name, PathInfoSplit, testing::ValuesIn(splits()),
                         [](const testing::TestParamInfo<Split>& tested) {
                             return tested.param.what;
                         });

TEST(PathInfo, LooksUpRelativeNamesAgainstTheCurrentDirectory)
{
    ScratchFolder scratch;
    scratch.writeFile("file.txt", "content");
    scratch.makeFolder("sub");
    CurrentDirectory inScratch(scratch.path());

    struct Row {
        const char* name;
        const char* resolvedInScratch; // what the full path holds after the scratch folder
        bool exists;
        bool isDirectory;
        bool isMissing;
    } rows[] = {
        {"file.txt", "\\file.txt", true, false, false},
        {".\\sub\\..\\file.txt", "\\file.txt", true, false, false},
        {"sub", "\\sub", true, true, false},
        {"sub\\", "\\sub\\", true, true, false},
        {"missing.txt", "\\missing.txt", false, false, true},
        {"sub\\missing\\deeper", "\\sub\\missing\\deeper", false, false, true},
        {"no|file.txt", "\\no|file.txt", false, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PathInfo path(row.name);
        EXPECT_EQ(std::string(path.fullPath()), scratch.path() + row.resolvedInScratch);
        EXPECT_EQ(path.exists(), row.exists);
        EXPECT_EQ(path.isDirectory(), row.isDirectory);
        EXPECT_EQ(path.isFile(), !row.isDirectory);
        EXPECT_EQ(path.isMissing(), row.isMissing);
        EXPECT_EQ(path.lookupError() == ERROR_SUCCESS, row.exists) << path.lookupError();
    }
}

TEST(PathInfo, LeavesAnEmptyRecordForANameThatCannotBeResolved)
{
    // 259 characters and the terminator fill the buffer exactly; one more does not fit.
    const std::string fits = "C:\\" + std::string(MaxPathLength - 4, 'a');
    const std::string tooLong = fits + "a";
    const std::string farTooLong = "C:\\" + std::string(1000, 'b');

    PathInfo fitting(fits.c_str());
    EXPECT_EQ(std::string(fitting.fullPath()), fits);
    EXPECT_EQ(std::string(fitting.baseName()), fits.substr(3));

    for (const std::string& name : {std::string(), tooLong, farTooLong}) {
        SCOPED_TRACE("name of " + std::to_string(name.size()) + " characters");
        PathInfo path(name.c_str());
        EXPECT_STREQ(path.fullPath(), "");
        // An empty name names nothing; a long one may name a file all the same.
        EXPECT_EQ(path.isMissing(), name.empty());
        EXPECT_FALSE(path.exists());
        EXPECT_FALSE(path.isDirectory());
        EXPECT_EQ(path.drive(), '\0');
        EXPECT_STREQ(path.directory(), "");
        EXPECT_STREQ(path.baseName(), "");
        EXPECT_EQ(path.extension(), nullptr);
        EXPECT_EQ(path.filePart(), nullptr);
    }
}

TEST(PathInfo, ReleasesWhatItAllocates)
{
    // Two heap copies a record; a thousand records that kept theirs would leave
    // two thousand blocks behind.
    const char* const names[] = {"C:\\dir\\file.txt", "C:\\dir\\", "", "relative"};
    const size_t before = heapBlocksInUse();
    for (int i = 0; i < 1000; ++i) {
        PathInfo path(names[i % 4]);
    }
    EXPECT_LT(heapBlocksInUse(), before + 100);
}
