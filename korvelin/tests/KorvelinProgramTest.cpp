// Korvelin.exe from the outside: what it prints on which stream, its exit code, and
// what it does to the files it is given.

#include "ChildProcess.h"
#include "ScratchFolder.h"
#include "SystemErrorText.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// The runtime's text streams turn every "\n" into CR LF on the way out.
std::string crlf(const std::string& text)
{
    std::string converted;
    for (char c : text) {
        if (c == '\n')
            converted += '\r';
        converted += c;
    }
    return converted;
}

// With the scratch folder's path in front, even "C:\\", too long a full path for the
// classic limit of 260 characters; short enough for one name on any file system.
const std::string LongName = std::string(240, 'L') + ".txt";

const std::string Banner =
    crlf("Korvelin version " + std::to_string(GIVEN_VERSION_MAJOR) + "." +
         std::to_string(GIVEN_VERSION_MINOR) + "." + std::to_string(GIVEN_VERSION_PATCH) +
         "\n"
         "Creates a Hard Link to an existing file.\n"
         "Copyright (C) " GIVEN_KORVELIN_MAKER " - " GIVEN_KORVELIN_WEBSITE "\n"
         "Visit our website for other freeware and shareware tools\n");

// Names in the tables are UTF-8, so that they can hold any character; the program
// sees them, prints them and finds them in the system code page.
std::string inCodePage(const std::string& utf8)
{
    return narrow(widen(utf8, CP_UTF8));
}

// Which names a row can use depends on the system code page, which differs from one
// Windows to the next: these choose, from candidates in UTF-8, what the running one allows.

// The candidates that the system code page holds exactly, in their order.
std::vector<std::string> heldOf(const std::vector<std::string>& candidates)
{
    std::vector<std::string> held;
    for (const std::string& candidate : candidates) {
        if (heldByCodePage(widen(candidate, CP_UTF8)))
            held.push_back(candidate);
    }
    return held;
}

// The first candidate that the system code page does not hold and that a narrow program
// receives as `plain` instead, through a look-alike ("best fit"); with plain null, the
// first it receives with its default character ('?') in. Empty when none does.
std::string receivedAs(const char* plain, const std::vector<std::string>& candidates)
{
    for (const std::string& candidate : candidates) {
        const std::wstring wide = widen(candidate, CP_UTF8);
        if (GetACP() == CP_UTF8 || heldByCodePage(wide))
            continue;
        BOOL defaulted = FALSE;
        std::string received(4 * wide.size(), '\0');
        received.resize(WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                            &received[0], static_cast<int>(received.size()),
                                            nullptr, &defaulted));
        if (plain == nullptr ? defaulted != FALSE : !defaulted && received == plain)
            return candidate;
    }
    return std::string();
}

// Names beyond ASCII that the running code page holds: the first two of these that it
// does. Double-byte code pages come first, with characters whose second byte is a
// backslash in code page 932 (the katakana "so" and the kanji for "table").
const std::vector<std::string> HeldNames = heldOf({
    u8"\u30bd\u30d5\u30c8.txt",
    u8"\u8868\u793a.txt",
    u8"\ud30c\uc77c.txt",
    u8"\ud55c\uae00.txt",
    u8"gef\u00fcllt.txt",
    u8"\u00e9t\u00e9.txt",
    u8"\u0444\u0430\u0439\u043b.txt",
    u8"\u0436\u0451\u043b\u0442\u044b\u0439.txt",
    u8"\u03b1\u03c1\u03c7\u03b5\u03af\u03bf.txt",
    u8"\u03c6\u03ac\u03ba\u03b5\u03bb\u03bf\u03c2.txt",
});
const bool TwoHeldNames = HeldNames.size() >= 2;
const std::string HeldName1 = TwoHeldNames ? HeldNames[0] : "";
const std::string HeldName2 = TwoHeldNames ? HeldNames[1] : "";

std::wstring korvelinCommandLine(const std::vector<std::string>& arguments)
{
    return commandLineOf("Korvelin.exe", arguments);
}

ProgramOutput runKorvelin(const std::vector<std::string>& arguments, const ScratchFolder& folder,
                          Streams streams = Streams::Pipes)
{
    return runProgram(korvelinCommandLine(arguments), folder.path(), streams);
}

// What a test reads of the two streams of a program that wrote `out` and then `err`.
// Without standard handles (started from a service or a GUI program) nothing arrives,
// and the program must still act and exit as always.
std::pair<std::string, std::string> asRead(Streams streams, const std::string& out,
                                           const std::string& err)
{
    if (streams == Streams::None)
        return {"", ""};
    if (streams == Streams::Merged) // the banner must still come first
        return {out + err, ""};
    return {out, err};
}

// What Korvelin says when the system refuses the link with this code, in its own words.
std::string refusedWith(DWORD code)
{
    return "ERROR: Error Code: " + std::to_string(code) +
           "\nDescription: " + systemErrorText(code) + "\n";
}

// Every scratch file starts with content of its own, so a changed file shows.
void populate(const ScratchFolder& folder, const std::vector<std::string>& files,
              const std::vector<std::string>& folders)
{
    for (const std::string& name : folders)
        folder.makeFolder(inCodePage(name));
    for (const std::string& name : files)
        folder.writeFile(inCodePage(name), "content of " + name + "\n");
}

} // namespace

TEST(KorvelinProgram, RefusesWithOneMessageAndChangesNothing)
{
    const char* const Usage = "Usage:\nKorvelin NewFileName ExistingFileName\n";
    const char* const NewNotHeld =
        "ERROR: NewFileName holds characters that the system code page cannot represent\n";
    const char* const ExistingNotHeld =
        "ERROR: ExistingFileName holds characters that the system code page cannot represent\n";
    // Look-alikes that the running code page turns into a plain character ("best fit"),
    // and a character it lacks altogether: a name holding one arrives as another name.
    const std::string LetterA = receivedAs("a", {u8"\uff41", u8"\u00e0", u8"\u0101", u8"\u0103"});
    const std::string Backslash = receivedAs("\\", {u8"\uff3c", u8"\u00a5", u8"\u20a9"});
    const std::string Quote =
        receivedAs("\"", {u8"\uff02", u8"\u201c", u8"\u201d", u8"\u02ba", u8"\u02dd"});
    const std::string Lacked = receivedAs(nullptr, {u8"\u2603", u8"\u2624", u8"\U0001f600"});
    const bool underWine = runsUnderWine();
    struct Row {
        const char* what;
        std::vector<std::string> arguments;
        std::vector<std::string> files;
        std::vector<std::string> folders;
        std::string err;
        bool runsHere = true;
        Streams streams = Streams::Pipes;
    } rows[] = {
        // clang-format off
        {"no arguments",        {},                         {"b.txt"}, {},      Usage},
        {"one argument",        {"a.txt"},                  {"b.txt"}, {},      Usage},
        {"three arguments",     {"a.txt", "b.txt", "c.txt"}, {"b.txt"}, {},     Usage},
        {"new name exists",     {"a.txt", "b.txt"}, {"a.txt", "b.txt"}, {},     "ERROR: a.txt already exists\n"},
        {"same file twice",     {"b.txt", "b.txt"},         {"b.txt"}, {},      "ERROR: b.txt already exists\n"},
        {"new exists, existing missing", {"a.txt", "missing.txt"}, {"a.txt"}, {}, "ERROR: a.txt already exists\n"},
        {"new name is a folder", {"dir", "b.txt"},          {"b.txt"}, {"dir"}, "ERROR: dir already exists\n"},
        {"existing missing",    {"a.txt", "missing.txt"},   {},        {},      "ERROR: missing.txt does not exist\n"},
        {"existing in a missing folder", {"a.txt", "nowhere\\b.txt"}, {"b.txt"}, {}, "ERROR: nowhere\\b.txt does not exist\n"},
        {"existing name no file can have", {"a.txt", "no|file.txt"}, {}, {}, "ERROR: no|file.txt does not exist\n"},
        {"existing is a folder", {"a.txt", "dir"},          {},        {"dir"}, "ERROR: dir is a directory\n"},
        {"names shown as typed", {"a.txt", ".\\dir\\..\\dir\\"}, {}, {"dir"}, "ERROR: .\\dir\\..\\dir\\ is a directory\n"},
        {"relative missing name", {"a.txt", "dir\\..\\missing.txt"}, {}, {"dir"}, "ERROR: dir\\..\\missing.txt does not exist\n"},
        {"name with conversions", {"a.txt", "%s%n"},        {},        {},      "ERROR: %s%n does not exist\n"},
        {"name with spaces",    {"new one.txt", "old one.txt"}, {},    {},      "ERROR: old one.txt does not exist\n"},
        {"empty existing name", {"a.txt", ""},              {"b.txt"}, {},      "ERROR:  does not exist\n"},
        // Best fit would turn these into other names (a fullwidth letter into a plain one
        // on 1252, the yen sign into a backslash on 932) or put '?' in.
        {"new name best fits onto a free name", {LetterA + "x.txt", "a.txt"}, {"a.txt"}, {}, NewNotHeld, !LetterA.empty()},
        {"existing name best fits onto a file", {"c.txt", LetterA + ".txt"}, {"a.txt"}, {}, ExistingNotHeld, !LetterA.empty()},
        {"new name best fits into a folder", {"dir" + Backslash + "a.txt", "b.txt"}, {"b.txt"}, {"dir"}, NewNotHeld, !Backslash.empty()},
        {"existing name best fits onto a file in a folder", {"c.txt", "dir" + Backslash + "b.txt"}, {"dir\\b.txt"}, {"dir"}, ExistingNotHeld, !Backslash.empty()},
        {"quotation mark look-alike", {"x" + Quote + " y.txt", "a.txt"}, {"a.txt", "y.txt a.txt"}, {}, NewNotHeld, !Quote.empty()},
        {"new name the code page lacks", {Lacked + ".txt", "a.txt"}, {"a.txt"}, {}, NewNotHeld, !Lacked.empty()},
        {"existing name the code page lacks", {"c.txt", Lacked + ".txt"}, {"a.txt"}, {}, ExistingNotHeld, !Lacked.empty()},
        // Refused by the system, which says why in its own words.
        {"new name in a missing folder", {"nowhere\\a.txt", "b.txt"}, {"b.txt"}, {}, refusedWith(ERROR_PATH_NOT_FOUND)},
        {"empty new name",      {"", "b.txt"},              {"b.txt"}, {},      refusedWith(ERROR_PATH_NOT_FOUND)},
        // Too long to look up beforehand: the system alone can tell that it is missing.
        // Windows' narrow calls refuse a full path past the classic limit as a path not
        // found; Wine looks the name up.
        {"long missing existing name", {"a.txt", "missing-" + LongName}, {LongName}, {}, refusedWith(underWine ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND)},
        {"long existing name",  {"a.txt", LongName},        {LongName}, {},     refusedWith(ERROR_PATH_NOT_FOUND), !underWine},
        // A lookup that fails for another reason than "not there" (here a server out of
        // reach) says nothing about the file. Under Wine only: Windows would search the
        // network for the server, for seconds.
        {"existing name on a server out of reach", {"a.txt", "\\\\nosuchserver\\share\\b.txt"}, {"b.txt"}, {}, refusedWith(ERROR_PATH_NOT_FOUND), underWine},
        {"usage, both streams on one pipe", {},            {"a.txt"}, {},      Usage, true, Streams::Merged},
        {"new name exists, both streams on one pipe", {"a.txt", "a.txt"}, {"a.txt"}, {}, "ERROR: a.txt already exists\n", true, Streams::Merged},
        {"usage, no standard handles", {},                 {"b.txt"}, {},      Usage, true, Streams::None},
        {"same file twice, no standard handles", {"b.txt", "b.txt"}, {"b.txt"}, {}, "ERROR: b.txt already exists\n", true, Streams::None},
        // clang-format on
    };
    for (const Row& row : rows) {
        if (!rowRunsHere(row.what, row.runsHere))
            continue;
        SCOPED_TRACE(row.what);
        ScratchFolder folder;
        populate(folder, row.files, row.folders);
        const std::vector<std::string> before = folder.snapshot();

        const ProgramOutput result = runKorvelin(row.arguments, folder, row.streams);

        const auto expected = asRead(row.streams, Banner, crlf(row.err));
        EXPECT_EQ(result.out, expected.first);
        EXPECT_EQ(result.err, expected.second);
        EXPECT_EQ(result.exitCode, 1u);
        EXPECT_EQ(folder.snapshot(), before);
    }
}

TEST(KorvelinProgram, MakesAHardLinkToTheSameFile)
{
    struct Row {
        std::vector<std::string> arguments;
        std::string link;     // where the new name lands, inside the scratch folder
        std::string existing; // the existing file, inside the scratch folder
        std::string out;
        bool runsHere = true;
        Streams streams = Streams::Pipes;
    } rows[] = {
        {{"a.txt", "b.txt"}, "a.txt", "b.txt", "Korvelin from \"a.txt\" to \"b.txt\" made\n"},
        {{"a.txt", "b.txt"},
         "a.txt",
         "b.txt",
         "Korvelin from \"a.txt\" to \"b.txt\" made\n",
         true,
         Streams::None},
        {{"%s%n", "b.txt"}, "%s%n", "b.txt", "Korvelin from \"%s%n\" to \"b.txt\" made\n"},
        {{"dir\\new link.txt", ".\\dir\\..\\b.txt"},
         "dir\\new link.txt",
         "b.txt",
         "Korvelin from \"dir\\new link.txt\" to \".\\dir\\..\\b.txt\" made\n"},
        // Characters the code page holds work as before.
        {{HeldName1, HeldName2},
         HeldName1,
         HeldName2,
         "Korvelin from \"" + HeldName1 + "\" to \"" + HeldName2 + "\" made\n",
         TwoHeldNames},
        // A full path too long to look up beforehand is no reason to refuse. Only Wine
        // makes the link: Windows refuses it (see the refused links).
        {{"a.txt", LongName},
         "a.txt",
         LongName,
         "Korvelin from \"a.txt\" to \"" + LongName + "\" made\n",
         runsUnderWine()},
    };
    for (const Row& row : rows) {
        if (!rowRunsHere(row.out, row.runsHere))
            continue;
        SCOPED_TRACE(row.out + (row.streams == Streams::None ? " (no standard handles)" : ""));
        ScratchFolder folder;
        populate(folder, {"b.txt", row.existing}, {"dir"});
        const std::string link = inCodePage(row.link);
        const std::string existingName = inCodePage(row.existing);
        const std::string content = folder.readFile(existingName);
        ASSERT_NE(content, "");

        const ProgramOutput result = runKorvelin(row.arguments, folder, row.streams);

        const auto expected = asRead(row.streams, Banner + crlf(inCodePage(row.out)), "");
        EXPECT_EQ(result.out, expected.first);
        EXPECT_EQ(result.err, expected.second);
        EXPECT_EQ(result.exitCode, 0u);

        const BY_HANDLE_FILE_INFORMATION linked = folder.fileInformation(link);
        const BY_HANDLE_FILE_INFORMATION existing = folder.fileInformation(existingName);
        EXPECT_EQ(linked.dwVolumeSerialNumber, existing.dwVolumeSerialNumber);
        EXPECT_EQ(linked.nFileIndexHigh, existing.nFileIndexHigh);
        EXPECT_EQ(linked.nFileIndexLow, existing.nFileIndexLow);
        EXPECT_EQ(existing.nNumberOfLinks, 2u);
        EXPECT_EQ(folder.readFile(existingName), content);
        EXPECT_EQ(folder.readFile(link), content);
    }
}

TEST(KorvelinProgram, LetsExactlyOneOfManyRacingRunsMakeTheLink)
{
    const int Runs = 12;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ScratchFolder folder;
        populate(folder, {"b.txt"}, {});
        const std::string content = folder.readFile("b.txt");

        std::vector<std::unique_ptr<ChildProcess>> runs;
        for (int i = 0; i < Runs; ++i)
            runs.emplace_back(
                new ChildProcess(korvelinCommandLine({"a.txt", "b.txt"}), folder.path()));
        int made = 0;
        for (const std::unique_ptr<ChildProcess>& run : runs) {
            const ProgramOutput result = run->finish();
            if (result.exitCode == 0) {
                ++made;
                EXPECT_EQ(result.out, Banner + crlf("Korvelin from \"a.txt\" to \"b.txt\" made\n"));
                EXPECT_EQ(result.err, "");
            } else {
                EXPECT_EQ(result.exitCode, 1u);
                EXPECT_EQ(result.out, Banner);
                EXPECT_EQ(result.err.compare(0, 7, "ERROR: "), 0) << result.err;
            }
        }
        EXPECT_EQ(made, 1);
        EXPECT_EQ(folder.readFile("b.txt"), content);
        EXPECT_EQ(folder.readFile("a.txt"), content);
        EXPECT_EQ(folder.fileInformation("b.txt").nNumberOfLinks, 2u);
    }
}

// A console decodes the bytes written to it in its own output code page, 850 here,
// which differs from the system's, so names must reach it as characters. Wine's runtime
// converts console output itself where it can tell a console, so under Wine the rows
// with a handle that can be read fail only when the program gets it wrong twice; on
// Windows they fail as soon as it hands a console its bytes. A handle opened for
// writing alone hides the console from GetConsoleMode, under Wine too.
TEST(KorvelinProgram, ShowsTheNamesAsTypedOnAConsoleOfAnotherCodePage)
{
    // Names of characters that a console shows one cell wide, which it reads back as
    // they went in; a wide character (kanji) may take two cells on Windows.
    const std::vector<std::string> names = heldOf({
        u8"gef\u00fcllt.txt",
        u8"\u00e9t\u00e9.txt",
        u8"\uff7f\uff8c\uff84.txt",
        u8"\uff83\uff7d\uff84.txt",
        u8"\u0444\u0430\u0439\u043b.txt",
        u8"\u0436\u0451\u043b\u0442\u044b\u0439.txt",
        u8"\u03b1\u03c1\u03c7\u03b5\u03af\u03bf.txt",
        u8"\u03c6\u03ac\u03ba\u03b5\u03bb\u03bf\u03c2.txt",
    });
    if (names.size() < 2)
        GTEST_SKIP() << "the system code page holds none of the names beyond ASCII";
    const std::string& first = names[0];
    const std::string& second = names[1];
    const DWORD ReadWrite = GENERIC_READ | GENERIC_WRITE;
    struct Row {
        std::vector<std::string> arguments;
        std::string shown; // after the banner
        DWORD exitCode;
        DWORD access; // of the handle the program writes to
    } rows[] = {
        {{first, second},
         "Korvelin from \"" + first + "\" to \"" + second + "\" made\n",
         0,
         ReadWrite},
        {{second, first}, "ERROR: " + second + " already exists\n", 1, ReadWrite},
        {{first, second},
         "Korvelin from \"" + first + "\" to \"" + second + "\" made\n",
         0,
         GENERIC_WRITE},
        {{second, first}, "ERROR: " + second + " already exists\n", 1, GENERIC_WRITE},
    };
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    ASSERT_TRUE(SetConsoleOutputCP(850));
    const OwnedHandle screen(
        nullIfInvalid(CreateFileA("CONOUT$", ReadWrite, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr)));
    ASSERT_TRUE(screen);

    for (const Row& row : rows) {
        SCOPED_TRACE(row.shown + (row.access == ReadWrite ? "" : " (write-only handle)"));
        ScratchFolder folder;
        populate(folder, {second}, {});
        // A blank screen with the cursor at the top, so nothing scrolls away.
        CONSOLE_SCREEN_BUFFER_INFO before = {};
        ASSERT_TRUE(GetConsoleScreenBufferInfo(screen.get(), &before));
        DWORD blanked = 0;
        FillConsoleOutputCharacterW(screen.get(), L' ', before.dwSize.X * before.dwSize.Y,
                                    COORD{0, 0}, &blanked);
        ASSERT_TRUE(SetConsoleCursorPosition(screen.get(), COORD{0, 0}));
        SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
        const OwnedHandle written(
            nullIfInvalid(CreateFileA("CONOUT$", row.access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      &inheritable, OPEN_EXISTING, 0, nullptr)));
        ASSERT_TRUE(written);

        // Both streams on the console, as in a console window with nothing redirected.
        const DWORD exitCode = ChildProcess(korvelinCommandLine(row.arguments), folder.path(),
                                            Streams::Given, written.get())
                                   .finish()
                                   .exitCode;

        // The lines the program wrote, as the console shows them.
        CONSOLE_SCREEN_BUFFER_INFO after = {};
        ASSERT_TRUE(GetConsoleScreenBufferInfo(screen.get(), &after));
        std::wstring shown;
        for (SHORT y = 0; y < after.dwCursorPosition.Y; ++y) {
            std::wstring line(after.dwSize.X, L' ');
            DWORD read = 0;
            ReadConsoleOutputCharacterW(screen.get(), &line[0], after.dwSize.X, COORD{0, y}, &read);
            line.resize(line.find_last_not_of(L' ') + 1);
            shown += line + L"\r\n";
        }
        EXPECT_EQ(shown, widen(Banner + crlf(row.shown), CP_UTF8));
        EXPECT_EQ(exitCode, row.exitCode);
    }
}
