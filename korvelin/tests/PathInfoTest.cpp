#include "PathInfo.h"

#include "System.h"
#include "ScratchFolder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cwctype>
#include <iterator>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

// Records may be destroyed through a pointer, and are never copied: two fields point
// into the record itself.
static_assert(std::has_virtual_destructor<PathInfo>::value, "virtual destructor");
static_assert(!std::is_copy_constructible<PathInfo>::value, "not copyable");
static_assert(!std::is_copy_assignable<PathInfo>::value, "not assignable");

namespace {

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

INSTANTIATE_TEST_SUITE_P(Name, PathInfoSplit, testing::ValuesIn(splits()), rowName<Split>);

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

// Many generated names through the path record: none may crash it, and what it holds
// must agree with an oracle that works on characters where the record works on bytes:
// the wide GetFullPathNameW, split at the last backslash and the last dot of whole
// characters. In a double-byte code page (932, 936, 949) the byte 0x5C may be the
// second half of a character, not a separator.

namespace {

const unsigned Seed = 20261207;
const int NameCount = 12000;

// Builds names from the pieces that make path resolution interesting, in characters
// of the running code page.
class NameGenerator {
  public:
    NameGenerator(unsigned seed, bool underWine) : m_random(seed), m_underWine(underWine) {}

    std::string next()
    {
        static const char* const starts[] = {
            "", "", "", "C:\\", "c:\\", "C:", "\\", ".\\", "..\\", "\\\\?\\C:\\", "\\\\.\\", "/",
            // Under Wine alone (NetworkSearch): a server, or a drive letter that may be
            // unmapped or mapped to a share.
            "\\\\", "\\\\server\\share\\", "z:", "Q:\\"};
        const int local = 12;
        std::string name = starts[below(m_underWine ? static_cast<int>(std::size(starts)) : local)];

        const int components = below(7);
        for (int i = 0; i < components; ++i) {
            if (i > 0)
                name += separator();
            name += component();
        }
        if (below(5) == 0)
            name += separator();
        if (below(12) == 0)
            name += std::string(200 + below(120), 'L'); // near and past the limit
        return name;
    }

  private:
    template <size_t N> const char* pick(const char* const (&choices)[N])
    {
        return choices[below(static_cast<int>(N))];
    }

    int below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(m_random); }

    std::string separator()
    {
        static const char* const separators[] = {"\\", "\\", "\\", "\\\\", "/", "\\.\\"};
        return pick(separators);
    }

    std::string component()
    {
        static const char* const specials[] = {
            ".", "..", "...", ".hidden", "a.b.c", "trail.", "CON", "nul.txt", "x ", " y", "C:x"};
        if (below(4) == 0)
            return pick(specials);
        static const char alphabet[] = "abcXYZ019 ._-~$%!";
        std::string text;
        const int length = 1 + below(12);
        for (int i = 0; i < length; ++i) {
            if (below(6) == 0)
                text += characterBeyondAscii();
            else
                text += alphabet[below(static_cast<int>(sizeof alphabet) - 1)];
        }
        return text;
    }

    // One character of the code page beyond ASCII, as its bytes, or nothing. A
    // double-byte character often gets the second byte 0x5C, the backslash's.
    std::string characterBeyondAscii()
    {
        std::string bytes(1, static_cast<char>(0x80 + below(0x80)));
        if (IsDBCSLeadByte(static_cast<BYTE>(bytes[0])))
            bytes += below(3) == 0 ? '\\' : static_cast<char>(0x40 + below(0xbf));
        wchar_t wide[2];
        const int count = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(),
                                              static_cast<int>(bytes.size()), wide, 2);
        return count == 1 && narrow(std::wstring(wide, 1)) == bytes ? bytes : std::string();
    }

    std::mt19937 m_random;
    bool m_underWine;
};

// What the record should hold, worked out on characters.
struct Expected {
    std::string fullPath; // empty when the name cannot be resolved into the record
    const wchar_t* widePart;
    std::wstring wideFullPath;
    // The narrow call refuses names of about the classic limit and more, whatever
    // they resolve to (a device name, ".." that climbs back): the record may be empty.
    bool mayBeRefused;
};

Expected resolve(const std::string& name)
{
    static wchar_t buffer[4 * MaxPathLength];
    Expected expected = {};
    const std::wstring wideName = widen(name);
    expected.mayBeRefused = wideName.size() >= MaxPathLength - 1;
    const DWORD length = GetFullPathNameW(wideName.c_str(), 4 * MaxPathLength, buffer,
                                          const_cast<wchar_t**>(&expected.widePart));
    if (name.empty() || length == 0 || length >= MaxPathLength)
        return expected;
    expected.wideFullPath.assign(buffer, length);
    // The record holds 259 bytes of the code page and a terminator.
    expected.fullPath = narrow(expected.wideFullPath);
    if (expected.fullPath.size() >= MaxPathLength)
        expected.fullPath.clear();
    return expected;
}

// Whether looking the full path up stays on this machine: on the drive of the current
// folder, or a device of its own.
bool staysOnTheDrive(const std::wstring& fullPath, wchar_t drive)
{
    const wchar_t upper = static_cast<wchar_t>(towupper(drive));
    return (fullPath.size() >= 2 && towupper(fullPath[0]) == upper && fullPath[1] == L':') ||
           (fullPath.compare(0, 4, L"\\\\?\\") == 0 && fullPath.size() >= 6 &&
            towupper(fullPath[4]) == upper && fullPath[5] == L':') ||
           fullPath.compare(0, 4, L"\\\\.\\") == 0;
}

// Checks one record against what is expected of it; returns false after the first
// mismatch it reports.
bool agrees(const std::string& name, const Expected& expected)
{
    PathInfo path(name.c_str());
    const bool refused = expected.mayBeRefused && path.fullPath()[0] == '\0';
    if (!refused) {
        EXPECT_EQ(std::string(path.fullPath()), expected.fullPath);
    }
    if (expected.fullPath.empty() || refused) {
        EXPECT_EQ(path.filePart(), nullptr);
        EXPECT_EQ(path.extension(), nullptr);
        EXPECT_STREQ(path.baseName(), "");
        EXPECT_STREQ(path.directory(), "");
        EXPECT_FALSE(path.exists());
        return !::testing::Test::HasFailure();
    }

    const std::wstring& full = expected.wideFullPath;
    const size_t separator = full.rfind(L'\\');
    const std::string directory =
        separator == std::wstring::npos ? "" : narrow(full.substr(0, separator));
    const std::wstring component = expected.widePart != nullptr ? expected.widePart : L"";
    const size_t dot = component.rfind(L'.');
    const char first = expected.fullPath[0];
    const std::string extension = narrow(component.substr(dot + 1));
    const std::string filePart = narrow(component);

    EXPECT_EQ(path.drive(), first >= 'a' && first <= 'z' ? first - 'a' + 'A' : first);
    EXPECT_EQ(std::string(path.directory()), directory);
    EXPECT_EQ(std::string(path.baseName()), narrow(component.substr(0, dot)));
    EXPECT_STREQ(path.extension(), dot == std::wstring::npos ? nullptr : extension.c_str());
    EXPECT_STREQ(path.filePart(), expected.widePart == nullptr ? nullptr : filePart.c_str());
    if (path.filePart() != nullptr) {
        // Borrowed from the record's own full path.
        EXPECT_GE(path.filePart(), path.fullPath());
        EXPECT_LT(path.filePart(), path.fullPath() + MaxPathLength);
    }
    EXPECT_EQ(path.exists(), GetFileAttributesW(full.c_str()) != INVALID_FILE_ATTRIBUTES);
    if (!path.exists()) {
        EXPECT_FALSE(path.isDirectory());
    }
    return !::testing::Test::HasFailure();
}

} // namespace

TEST(PathInfoProperty, AgreesWithTheCharactersOnGeneratedNames)
{
    // Relative names resolve into a folder of this machine's own.
    ScratchFolder scratch;
    CurrentDirectory inScratch(scratch.path());
    const bool underWine = runsUnderWine();
    NameGenerator names(Seed, underWine);
    int checked = 0;
    for (int index = 0; index < NameCount; ++index) {
        const std::string name = names.next();
        SCOPED_TRACE("seed " + std::to_string(Seed) + ", code page " + std::to_string(GetACP()) +
                     ", name " + std::to_string(index) + ": " + testing::PrintToString(name));
        const Expected expected = resolve(name);
        // A generated ".." may still climb to a server's share: never on Windows.
        if (!underWine && !expected.fullPath.empty() &&
            !staysOnTheDrive(expected.wideFullPath, widen(scratch.path())[0]))
            continue;
        // "z:" resolves against that drive's own current folder, whose name the code page
        // may not hold: the narrow full path then names another file, or none.
        if (!expected.fullPath.empty() && !heldByCodePage(expected.wideFullPath))
            continue;
        if (!agrees(name, expected))
            return;
        ++checked;
    }
    std::printf("%d of %d generated names checked\n", checked, NameCount);
    // Names are passed over only where the system cannot answer for them here: a
    // generator or a filter that passed most of them over would prove nothing.
    EXPECT_GE(checked, NameCount / 2);
}
