// Many generated names through the path record: none may crash it, and what it holds
// must agree with an oracle that works on characters where the record works on bytes:
// the wide GetFullPathNameW, split at the last backslash and the last dot of whole
// characters. In a double-byte code page (932, 936, 949) the byte 0x5C may be the
// second half of a character, not a separator.

#include "PathInfo.h"

#include "CodePage.h"
#include "ThisSystem.h"
#include "ScratchFolder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cwctype>
#include <iterator>
#include <random>
#include <string>

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
}
