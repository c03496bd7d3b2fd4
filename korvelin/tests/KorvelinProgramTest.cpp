// Korvelin.exe from the outside: what it prints on which stream, its exit code, and
// what it does to the files it is given.

#include "ChildProcess.h"
#include "ScratchFolder.h"
#include "SystemErrorText.h"
#include "ThisSystem.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
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

// Names of characters that a console shows one cell wide, which it reads back as they
// went in; a wide character (kanji) may take two cells on Windows.
const std::vector<std::string> OneCellWide = {
    u8"gef\u00fcllt.txt",
    u8"\u00e9t\u00e9.txt",
    u8"\uff7f\uff8c\uff84.txt",
    u8"\uff83\uff7d\uff84.txt",
    u8"\u0444\u0430\u0439\u043b.txt",
    u8"\u0436\u0451\u043b\u0442\u044b\u0439.txt",
    u8"\u03b1\u03c1\u03c7\u03b5\u03af\u03bf.txt",
    u8"\u03c6\u03ac\u03ba\u03b5\u03bb\u03bf\u03c2.txt",
};
const std::vector<std::string> ShownNames = heldOf(OneCellWide);
const bool TwoShownNames = ShownNames.size() >= 2;

// Names beyond ASCII that the running code page holds: the first two that it does.
// Double-byte code pages come first, with characters whose second byte is a
// backslash in code page 932 (the katakana "so" and the kanji for "table").
std::vector<std::string> heldNames()
{
    std::vector<std::string> candidates = {u8"\u30bd\u30d5\u30c8.txt", u8"\u8868\u793a.txt",
                                           u8"\ud30c\uc77c.txt", u8"\ud55c\uae00.txt"};
    candidates.insert(candidates.end(), OneCellWide.begin(), OneCellWide.end());
    return heldOf(candidates);
}
const std::vector<std::string> HeldNames = heldNames();
const bool TwoHeldNames = HeldNames.size() >= 2;

std::wstring korvelinCommandLine(const std::vector<std::string>& arguments)
{
    return commandLineOf("Korvelin.exe", arguments);
}

// One run of Korvelin: the folder it runs in, what it is given, and what must come of it.
struct Case {
    std::string what;
    // "{scratch}" in an argument stands for the scratch folder's full path.
    std::vector<std::string> arguments;
    std::vector<std::string> files;
    std::vector<std::string> folders;
    std::string err; // for a made link, empty
    // For a made link: the new name and the existing file, inside the scratch folder.
    std::string link;
    std::string existing;
    // Why the row cannot run on this system; empty when it can.
    std::string skip;
    Streams streams = Streams::Pipes;
    bool anyRefusalCode = false;    // the refusal's form, whatever code the system gives
    bool denyAddingEntries = false; // to the scratch folder, once it is populated
};

Case refused(const char* what, std::vector<std::string> arguments, std::vector<std::string> files,
             std::vector<std::string> folders, std::string err, std::string skip = "")
{
    Case row;
    row.what = what;
    row.arguments = std::move(arguments);
    row.files = std::move(files);
    row.folders = std::move(folders);
    row.err = std::move(err);
    row.skip = std::move(skip);
    return row;
}

// A link from the first argument to the second; b.txt and the folder dir are there too.
Case linked(const char* what, std::vector<std::string> arguments, std::string link,
            std::string existing, std::string skip = "")
{
    Case row =
        refused(what, std::move(arguments), {"b.txt", existing}, {"dir"}, "", std::move(skip));
    row.link = std::move(link);
    row.existing = std::move(existing);
    return row;
}

Case on(Streams streams, Case row)
{
    row.streams = streams;
    return row;
}

// What a test reads of the two streams of a program that wrote `out` and then `err`.
// Without standard handles (started from a service or a GUI program) nothing arrives,
// and the program must still act and exit as always.
std::pair<std::string, std::string> asRead(Streams streams, const std::string& out,
                                           const std::string& err)
{
    if (streams == Streams::None)
        return {"", ""};
    if (streams != Streams::Pipes) // one stream: the banner must still come first
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

std::string withScratchFolder(std::string argument, const ScratchFolder& folder)
{
    const std::string placeholder = "{scratch}";
    const size_t at = argument.find(placeholder);
    return at == std::string::npos ? argument
                                   : argument.replace(at, placeholder.size(), folder.path());
}

const char Usage[] = "Usage:\nKorvelin NewFileName ExistingFileName\n";
const char NewNotHeld[] =
    "ERROR: NewFileName holds characters that the system code page cannot represent\n";
const char ExistingNotHeld[] =
    "ERROR: ExistingFileName holds characters that the system code page cannot represent\n";

// CreateHardLinkA is documented to take names of up to MAX_PATH characters: Windows
// refuses a longer full path as a path not found. Wine looks such names up and links
// them, so the rows with long names expect Windows' answer or Wine's, each where it is given.
const std::string LongNamesDiffer =
    "CreateHardLinkA refuses names past MAX_PATH on Windows, Wine links them";

std::vector<Case> refusals()
{
    // Look-alikes that the running code page turns into a plain character ("best fit"),
    // and a character it lacks altogether: a name holding one arrives as another name.
    const std::string LetterA = receivedAs("a", {u8"\uff41", u8"\u00e0", u8"\u0101", u8"\u0103"});
    const std::string Backslash = receivedAs("\\", {u8"\uff3c", u8"\u00a5", u8"\u20a9"});
    const std::string Quote =
        receivedAs("\"", {u8"\uff02", u8"\u201c", u8"\u201d", u8"\u02ba", u8"\u02dd"});
    const std::string Lacked = receivedAs(nullptr, {u8"\u2603", u8"\u2624", u8"\U0001f600"});
    const std::string noLetterA = unlessCodePageHas(!LetterA.empty(), "look-alike of \"a\"");
    const std::string noBackslash =
        unlessCodePageHas(!Backslash.empty(), "look-alike of the backslash");
    const std::string noQuote = unlessCodePageHas(!Quote.empty(), "look-alike of the quote");
    const std::string noLack = unlessCodePageHas(!Lacked.empty(), "character it lacks");
    const std::string longPath = "{scratch}\\" + LongName;
    const std::string prefixed = "\\\\?\\{scratch}\\" + LongName;
    std::vector<Case> rows = {
        // clang-format off
        refused("no arguments",        {},                         {"b.txt"}, {},      Usage),
        refused("one argument",        {"a.txt"},                  {"b.txt"}, {},      Usage),
        refused("three arguments",     {"a.txt", "b.txt", "c.txt"}, {"b.txt"}, {},     Usage),
        refused("new name exists",     {"a.txt", "b.txt"}, {"a.txt", "b.txt"}, {},     "ERROR: a.txt already exists\n"),
        refused("same file twice",     {"b.txt", "b.txt"},         {"b.txt"}, {},      "ERROR: b.txt already exists\n"),
        refused("new exists, existing missing", {"a.txt", "missing.txt"}, {"a.txt"}, {}, "ERROR: a.txt already exists\n"),
        refused("new name is a folder", {"dir", "b.txt"},          {"b.txt"}, {"dir"}, "ERROR: dir already exists\n"),
        refused("existing missing",    {"a.txt", "missing.txt"},   {},        {},      "ERROR: missing.txt does not exist\n"),
        refused("existing in a missing folder", {"a.txt", "nowhere\\b.txt"}, {"b.txt"}, {}, "ERROR: nowhere\\b.txt does not exist\n"),
        refused("existing name no file can have", {"a.txt", "no|file.txt"}, {}, {}, "ERROR: no|file.txt does not exist\n"),
        refused("existing is a folder", {"a.txt", "dir"},          {},        {"dir"}, "ERROR: dir is a directory\n"),
        refused("names shown as typed", {"a.txt", ".\\dir\\..\\dir\\"}, {}, {"dir"}, "ERROR: .\\dir\\..\\dir\\ is a directory\n"),
        refused("relative missing name", {"a.txt", "dir\\..\\missing.txt"}, {}, {"dir"}, "ERROR: dir\\..\\missing.txt does not exist\n"),
        refused("name with conversions", {"a.txt", "%s%n"},        {},        {},      "ERROR: %s%n does not exist\n"),
        refused("name with spaces",    {"new one.txt", "old one.txt"}, {},    {},      "ERROR: old one.txt does not exist\n"),
        refused("empty existing name", {"a.txt", ""},              {"b.txt"}, {},      "ERROR:  does not exist\n"),
        // Best fit would turn these into other names (a fullwidth letter into a plain one
        // on 1252, the yen sign into a backslash on 932) or put '?' in.
        refused("new name best fits onto a free name", {LetterA + "x.txt", "a.txt"}, {"a.txt"}, {}, NewNotHeld, noLetterA),
        refused("existing name best fits onto a file", {"c.txt", LetterA + ".txt"}, {"a.txt"}, {}, ExistingNotHeld, noLetterA),
        refused("new name best fits into a folder", {"dir" + Backslash + "a.txt", "b.txt"}, {"b.txt"}, {"dir"}, NewNotHeld, noBackslash),
        refused("existing name best fits onto a file in a folder", {"c.txt", "dir" + Backslash + "b.txt"}, {"dir\\b.txt"}, {"dir"}, ExistingNotHeld, noBackslash),
        refused("quotation mark look-alike", {"x" + Quote + " y.txt", "a.txt"}, {"a.txt", "y.txt a.txt"}, {}, NewNotHeld, noQuote),
        refused("new name the code page lacks", {Lacked + ".txt", "a.txt"}, {"a.txt"}, {}, NewNotHeld, noLack),
        refused("existing name the code page lacks", {"c.txt", Lacked + ".txt"}, {"a.txt"}, {}, ExistingNotHeld, noLack),
        // Refused by the system, which says why in its own words.
        refused("new name in a missing folder", {"nowhere\\a.txt", "b.txt"}, {"b.txt"}, {}, refusedWith(ERROR_PATH_NOT_FOUND)),
        refused("empty new name",      {"", "b.txt"},              {"b.txt"}, {},      refusedWith(ERROR_PATH_NOT_FOUND)),
        // Too long to look up beforehand: the system alone can tell that it is missing.
        refused("long missing existing name", {"a.txt", "missing-" + LongName}, {LongName}, {}, refusedWith(runsUnderWine() ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND)),
        refused("long existing name",  {"a.txt", LongName},        {LongName}, {},     refusedWith(ERROR_PATH_NOT_FOUND), windowsOnly(LongNamesDiffer)),
        refused("long absolute existing name", {"a.txt", longPath}, {LongName}, {},    refusedWith(ERROR_PATH_NOT_FOUND), windowsOnly(LongNamesDiffer)),
        refused("long absolute new name", {longPath, "b.txt"},     {"b.txt"}, {},      refusedWith(ERROR_PATH_NOT_FOUND), windowsOnly(LongNamesDiffer)),
        // The \\?\ prefix lifts the limit for the wide call alone; no code is documented
        // for the narrow one, so only the refusal's form is expected.
        refused("long existing name with the long-path prefix", {"a.txt", prefixed}, {LongName}, {}, "", windowsOnly(LongNamesDiffer)),
        refused("long new name with the long-path prefix", {prefixed, "b.txt"}, {"b.txt"}, {}, "", windowsOnly(LongNamesDiffer)),
        refused("folder that denies adding entries", {"a.txt", "b.txt"}, {"b.txt"}, {}, refusedWith(ERROR_ACCESS_DENIED), windowsOnly("Wine does not enforce access control entries")),
        // A lookup that fails for another reason than "not there" (here a server out of
        // reach) says nothing about the file.
        refused("existing name on a server out of reach", {"a.txt", "\\\\nosuchserver\\share\\b.txt"}, {"b.txt"}, {}, refusedWith(ERROR_PATH_NOT_FOUND), wineOnly(NetworkSearch)),
        on(Streams::Merged, refused("usage, both streams on one pipe", {}, {"a.txt"}, {}, Usage)),
        on(Streams::Merged, refused("new name exists, both streams on one pipe", {"a.txt", "a.txt"}, {"a.txt"}, {}, "ERROR: a.txt already exists\n")),
        on(Streams::None, refused("usage, no standard handles", {}, {"b.txt"}, {}, Usage)),
        on(Streams::None, refused("same file twice, no standard handles", {"b.txt", "b.txt"}, {"b.txt"}, {}, "ERROR: b.txt already exists\n")),
        // clang-format on
    };
    for (Case& row : rows) {
        row.anyRefusalCode = row.err.empty();
        row.denyAddingEntries = row.what == "folder that denies adding entries";
    }
    return rows;
}

std::vector<Case> links()
{
    const std::string held1 = TwoHeldNames ? HeldNames[0] : "";
    const std::string held2 = TwoHeldNames ? HeldNames[1] : "";
    return {
        linked("plain names", {"a.txt", "b.txt"}, "a.txt", "b.txt"),
        on(Streams::None, linked("no standard handles", {"a.txt", "b.txt"}, "a.txt", "b.txt")),
        linked("name with conversions", {"%s%n", "b.txt"}, "%s%n", "b.txt"),
        linked("relative names", {"dir\\new link.txt", ".\\dir\\..\\b.txt"}, "dir\\new link.txt",
               "b.txt"),
        // Characters the code page holds work as before.
        linked("names beyond ASCII", {held1, held2}, held1, held2,
               unlessCodePageHas(TwoHeldNames, "two of the names beyond ASCII tried")),
        // A full path too long to look up beforehand is no reason to refuse.
        linked("long existing name", {"a.txt", LongName}, "a.txt", LongName,
               wineOnly(LongNamesDiffer)),
    };
}

// A console decodes the bytes written to it in its own output code page, which differs
// from the system's, so names must reach it as characters. Wine's runtime converts
// console output itself where it can tell a console, so under Wine the rows with a
// handle that can be read fail only when the program gets it wrong twice; on Windows
// they fail as soon as it hands a console its bytes.
std::vector<Case> consoles()
{
    const std::string noNames =
        unlessCodePageHas(TwoShownNames, "two of the names beyond ASCII tried");
    const std::string first = TwoShownNames ? ShownNames[0] : "";
    const std::string second = TwoShownNames ? ShownNames[1] : "";
    Case made = linked("link made", {first, second}, first, second, noNames);
    made.files = {second};
    const Case refusal = refused("new name exists", {second, first}, {second}, {},
                                 "ERROR: " + second + " already exists\n", noNames);
    Case madeWriteOnly = made, refusalWriteOnly = refusal;
    madeWriteOnly.what = "link made, write-only handle";
    refusalWriteOnly.what = "new name exists, write-only handle";
    return {on(Streams::Console, made), on(Streams::Console, refusal),
            on(Streams::ConsoleWriteOnly, madeWriteOnly),
            on(Streams::ConsoleWriteOnly, refusalWriteOnly)};
}

// "new name exists, both streams on one pipe" as new_name_exists_both_streams_on_one_pipe.
std::string rowName(const testing::TestParamInfo<Case>& tested)
{
    std::string name;
    for (char c : tested.param.what) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            name += c;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    return name;
}

class KorvelinProgram : public testing::TestWithParam<Case> {};

} // namespace

TEST_P(KorvelinProgram, Answers)
{
    const Case& row = GetParam();
    if (!row.skip.empty())
        GTEST_SKIP() << row.skip;
    ScratchFolder folder;
    populate(folder, row.files, row.folders);
    const std::string content = row.link.empty() ? "" : folder.readFile(inCodePage(row.existing));
    if (row.denyAddingEntries)
        folder.denyAddingEntries();
    const std::vector<std::string> before = folder.snapshot();
    std::vector<std::string> arguments;
    for (const std::string& argument : row.arguments)
        arguments.push_back(withScratchFolder(argument, folder));

    const ProgramOutput result =
        ChildProcess(korvelinCommandLine(arguments), folder.path(), row.streams).finish();

    // A console shows the names as characters, read back in UTF-8; a pipe carries the
    // code page's bytes. The system's texts come in the code page already.
    const bool console =
        row.streams == Streams::Console || row.streams == Streams::ConsoleWriteOnly;
    const auto shown = [console](const std::string& utf8) {
        return crlf(console ? utf8 : inCodePage(utf8));
    };
    if (row.link.empty()) {
        if (row.anyRefusalCode) {
            EXPECT_EQ(result.out, Banner);
            EXPECT_EQ(result.err.rfind("ERROR: Error Code: ", 0), 0u) << result.err;
            EXPECT_NE(result.err.find("\r\nDescription: "), std::string::npos) << result.err;
        } else {
            const auto expected = asRead(row.streams, Banner, crlf(row.err));
            EXPECT_EQ(result.out, expected.first);
            EXPECT_EQ(result.err, expected.second);
        }
        EXPECT_EQ(result.exitCode, 1u);
        EXPECT_EQ(folder.snapshot(), before);
        return;
    }

    const std::string made =
        "Korvelin from \"" + row.arguments[0] + "\" to \"" + row.arguments[1] + "\" made\n";
    const auto expected = asRead(row.streams, Banner + shown(made), "");
    EXPECT_EQ(result.out, expected.first);
    EXPECT_EQ(result.err, expected.second);
    EXPECT_EQ(result.exitCode, 0u);

    const std::string link = inCodePage(row.link);
    const std::string existingName = inCodePage(row.existing);
    const BY_HANDLE_FILE_INFORMATION linked = folder.fileInformation(link);
    const BY_HANDLE_FILE_INFORMATION existing = folder.fileInformation(existingName);
    EXPECT_EQ(linked.dwVolumeSerialNumber, existing.dwVolumeSerialNumber);
    EXPECT_EQ(linked.nFileIndexHigh, existing.nFileIndexHigh);
    EXPECT_EQ(linked.nFileIndexLow, existing.nFileIndexLow);
    EXPECT_EQ(existing.nNumberOfLinks, 2u);
    EXPECT_EQ(folder.readFile(existingName), content);
    EXPECT_EQ(folder.readFile(link), content);
}

INSTANTIATE_TEST_SUITE_P(Refused, KorvelinProgram, testing::ValuesIn(refusals()), rowName);
INSTANTIATE_TEST_SUITE_P(Linked, KorvelinProgram, testing::ValuesIn(links()), rowName);
INSTANTIATE_TEST_SUITE_P(OnAConsole, KorvelinProgram, testing::ValuesIn(consoles()), rowName);

TEST(KorvelinProgramRace, LetsExactlyOneOfManyRunsMakeTheLink)
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
