// Many generated names through the path record: none may crash it, and what it holds
// must agree with the platform's own resolution of the name.

#include "PathInfo.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

namespace {

const unsigned Seed = 20261207;
const int NameCount = 12000;

// Builds names from the pieces that make path resolution interesting.
class NameGenerator {
  public:
    explicit NameGenerator(unsigned seed) : m_random(seed) {}

    std::string next()
    {
        static const char* const starts[] = {"",
                                             "",
                                             "",
                                             "C:\\",
                                             "c:\\",
                                             "C:",
                                             "z:",
                                             "\\",
                                             "\\\\",
                                             ".\\",
                                             "..\\",
                                             "\\\\server\\share\\",
                                             "\\\\?\\C:\\",
                                             "\\\\.\\",
                                             "/",
                                             "Q:\\"};
        std::string name = pick(starts);

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
                text += static_cast<char>(0x80 + below(0x80)); // beyond ASCII
            else
                text += alphabet[below(static_cast<int>(sizeof alphabet) - 1)];
        }
        return text;
    }

    std::mt19937 m_random;
};

// A name with its bytes beyond ASCII spelled out, so a failure can be read and replayed.
std::string printable(const std::string& name)
{
    std::string shown;
    for (unsigned char c : name) {
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            shown += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            shown += escape;
        }
    }
    return shown;
}

// The platform's resolution of the name, or empty when it does not fit the record.
std::string resolved(const std::string& name)
{
    char buffer[4 * MaxPathLength] = {};
    char* filePart = nullptr;
    const DWORD length = GetFullPathNameA(name.c_str(), sizeof buffer, buffer, &filePart);
    return length == 0 || length >= MaxPathLength ? std::string() : std::string(buffer);
}

// Checks one record; returns false after the first mismatch it reports.
bool agrees(const std::string& name)
{
    PathInfo path(name.c_str());
    const std::string fullPath = path.fullPath();
    EXPECT_EQ(fullPath, resolved(name));

    const std::string baseName = path.baseName();
    if (path.filePart() == nullptr) {
        EXPECT_EQ(baseName, "");
        EXPECT_EQ(path.extension(), nullptr);
    } else {
        // The file part lies in the full path, and splits into base name and extension.
        EXPECT_GE(path.filePart(), path.fullPath());
        EXPECT_LT(path.filePart(), path.fullPath() + MaxPathLength);
        const std::string joined =
            path.extension() == nullptr ? baseName : baseName + "." + path.extension();
        EXPECT_EQ(joined, path.filePart());
    }
    const size_t lastSeparator = fullPath.rfind('\\');
    EXPECT_EQ(path.directory(),
              lastSeparator == std::string::npos ? "" : fullPath.substr(0, lastSeparator));
    if (!path.exists()) {
        EXPECT_FALSE(path.isDirectory());
    }
    return !::testing::Test::HasFailure();
}

} // namespace

TEST(PathInfoProperty, AgreesWithThePlatformOnGeneratedNames)
{
    NameGenerator names(Seed);
    for (int index = 0; index < NameCount; ++index) {
        const std::string name = names.next();
        SCOPED_TRACE("seed " + std::to_string(Seed) + ", name " + std::to_string(index) + ": \"" +
                     printable(name) + "\"");
        if (!agrees(name))
            return;
    }
}
