// Korvelin.exe from the outside: what it prints on which stream, its exit code, what
// it does to the files it is given, and its icon.

#include "ChildProcess.h"
#include "ScratchFolder.h"
#include "System.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
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

// One run of Korvelin: the folder it runs in, what it is given, and what must come of
// it. Built as Case("what").given({...}).withFiles({...}). ... and one expected outcome.
struct Case {
    explicit Case(std::string description) : what(std::move(description)) {}

    // "{scratch}" in an argument stands for the scratch folder's full path.
    Case& given(std::vector<std::string> values) { return set(&Case::arguments, values); }
    Case& withFiles(std::vector<std::string> names) { return set(&Case::files, names); }
    Case& withFolders(std::vector<std::string> names) { return set(&Case::folders, names); }
    // Refused before the link call, with exactly this on standard error.
    Case& refused(std::string message) { return set(&Case::err, message); }
    // Refused by the system with one of these codes, in its own words; with none named,
    // only the refusal's form is expected.
    Case& refusedWith(std::vector<DWORD> allowed) { return set(&Case::codes, allowed); }
    // A link from the new name to the existing file, which the row makes.
    Case& links(std::string newName, std::string existingName)
    {
        files.push_back(existingName);
        link = std::move(newName);
        existing = std::move(existingName);
        return *this;
    }
    // Where the system may answer either way: a refusal with one of these codes will do too.
    Case& orRefusedWith(std::vector<DWORD> allowed)
    {
        mayBeRefused = true;
        return set(&Case::codes, allowed);
    }
    Case& on(Streams where) { return set(&Case::streams, where); }
    Case& deniesAddingEntries() { return set(&Case::denyAddingEntries, true); }
    // Why the row cannot run on this system; empty when it can.
    Case& skippedBecause(std::string why) { return set(&Case::skip, why); }

    bool onAConsole() const
    {
        return streams == Streams::Console || streams == Streams::ConsoleWriteOnly;
    }

    std::string what;
    std::vector<std::string> arguments;
    std::vector<std::string> files;
    std::vector<std::string> folders;
    std::string err; // empty for a refusal by the system
    std::vector<DWORD> codes;
    std::string link; // for a made link: the new name and the existing file
    std::string existing;
    bool mayBeRefused = false;
    Streams streams = Streams::Pipes;
    bool denyAddingEntries = false;
    std::string skip;

  private:
    template <typename T, typename V> Case& set(T Case::*field, V value)
    {
        this->*field = std::move(value);
        return *this;
    }
};

// What a test reads of the two streams of a program that wrote `out` and then `err`.
std::pair<std::string, std::string> asRead(Streams streams, const std::string& out,
                                           const std::string& err)
{
    if (streams != Streams::Pipes) // one stream: the banner must still come first
        return {out + err, ""};
    return {out, err};
}

// What Korvelin says when the system refuses the link with this code, in its own words.
std::string refusedWith(DWORD code)
{
    return crlf("ERROR: Error Code: " + std::to_string(code) +
                "\nDescription: " + systemErrorText(code) + "\n");
}

// Whether err is what Korvelin says of a link the system refused with one of the codes,
// or with any code when none are named.
bool isRefusal(const std::string& err, const std::vector<DWORD>& codes)
{
    const std::string head = "ERROR: Error Code: ";
    if (err.compare(0, head.size(), head) != 0)
        return false;
    const DWORD code = static_cast<DWORD>(strtoul(err.c_str() + head.size(), nullptr, 10));
    return (codes.empty() || std::find(codes.begin(), codes.end(), code) != codes.end()) &&
           err == refusedWith(code);
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

// The argument, in UTF-8 like the tables, with the scratch folder's path (in the code
// page, which may hold letters beyond ASCII) for its placeholder.
std::string withScratchFolder(std::string argument, const ScratchFolder& folder)
{
    const std::string placeholder = "{scratch}";
    const size_t at = argument.find(placeholder);
    return at == std::string::npos
               ? argument
               : argument.replace(at, placeholder.size(), narrow(widen(folder.path()), CP_UTF8));
}

const char Usage[] = "Usage:\nKorvelin NewFileName ExistingFileName\n";
const char NewNotHeld[] =
    "ERROR: NewFileName holds characters that the system code page cannot represent\n";
const char ExistingNotHeld[] =
    "ERROR: ExistingFileName holds characters that the system code page cannot represent\n";

// CreateHardLinkA is documented to refuse a name past MAX_PATH characters without the
// \\?\ prefix as a path not found; Wine looks such names up and links them. So each of
// these rows runs where its answer is given.
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
    const std::string longOnWindows = windowsOnly(LongNamesDiffer);
    const std::string alreadyA = "ERROR: a.txt already exists\n";
    const std::string alreadyB = "ERROR: b.txt already exists\n";
    const std::vector<DWORD> pathNotFound = {ERROR_PATH_NOT_FOUND};
    return {
        // clang-format off
        Case("no arguments").withFiles({"b.txt"}).refused(Usage),
        Case("one argument").given({"a.txt"}).withFiles({"b.txt"}).refused(Usage),
        Case("three arguments").given({"a.txt", "b.txt", "c.txt"}).withFiles({"b.txt"}).refused(Usage),
        Case("new name exists").given({"a.txt", "b.txt"}).withFiles({"a.txt", "b.txt"}).refused(alreadyA),
        Case("same file twice").given({"b.txt", "b.txt"}).withFiles({"b.txt"}).refused(alreadyB),
        Case("new exists, existing missing").given({"a.txt", "missing.txt"}).withFiles({"a.txt"}).refused(alreadyA),
        Case("new name is a folder").given({"dir", "b.txt"}).withFiles({"b.txt"}).withFolders({"dir"}).refused("ERROR: dir already exists\n"),
        Case("existing missing").given({"a.txt", "missing.txt"}).refused("ERROR: missing.txt does not exist\n"),
        Case("existing in a missing folder").given({"a.txt", "nowhere\\b.txt"}).withFiles({"b.txt"}).refused("ERROR: nowhere\\b.txt does not exist\n"),
        Case("existing name no file can have").given({"a.txt", "no|file.txt"}).refused("ERROR: no|file.txt does not exist\n"),
        Case("existing is a folder").given({"a.txt", "dir"}).withFolders({"dir"}).refused("ERROR: dir is a directory\n"),
        Case("names shown as typed").given({"a.txt", ".\\dir\\..\\dir\\"}).withFolders({"dir"}).refused("ERROR: .\\dir\\..\\dir\\ is a directory\n"),
        Case("relative missing name").given({"a.txt", "dir\\..\\missing.txt"}).withFolders({"dir"}).refused("ERROR: dir\\..\\missing.txt does not exist\n"),
        Case("name with conversions").given({"a.txt", "%s%n"}).refused("ERROR: %s%n does not exist\n"),
        Case("name with spaces").given({"new one.txt", "old one.txt"}).refused("ERROR: old one.txt does not exist\n"),
        Case("empty existing name").given({"a.txt", ""}).withFiles({"b.txt"}).refused("ERROR:  does not exist\n"),
        // Best fit would turn these into other names (a fullwidth letter into a plain one
        // on 1252, the yen sign into a backslash on 932) or put '?' in.
        Case("new name best fits onto a free name").given({LetterA + "x.txt", "a.txt"}).withFiles({"a.txt"}).refused(NewNotHeld).skippedBecause(noLetterA),
        Case("existing name best fits onto a file").given({"c.txt", LetterA + ".txt"}).withFiles({"a.txt"}).refused(ExistingNotHeld).skippedBecause(noLetterA),
        Case("new name best fits into a folder").given({"dir" + Backslash + "a.txt", "b.txt"}).withFiles({"b.txt"}).withFolders({"dir"}).refused(NewNotHeld).skippedBecause(noBackslash),
        Case("existing name best fits onto a file in a folder").given({"c.txt", "dir" + Backslash + "b.txt"}).withFiles({"dir\\b.txt"}).withFolders({"dir"}).refused(ExistingNotHeld).skippedBecause(noBackslash),
        Case("quotation mark look-alike").given({"x" + Quote + " y.txt", "a.txt"}).withFiles({"a.txt", "y.txt a.txt"}).refused(NewNotHeld).skippedBecause(noQuote),
        Case("new name the code page lacks").given({Lacked + ".txt", "a.txt"}).withFiles({"a.txt"}).refused(NewNotHeld).skippedBecause(noLack),
        Case("existing name the code page lacks").given({"c.txt", Lacked + ".txt"}).withFiles({"a.txt"}).refused(ExistingNotHeld).skippedBecause(noLack),
        // Refused by the system, which says why in its own words.
        Case("new name in a missing folder").given({"nowhere\\a.txt", "b.txt"}).withFiles({"b.txt"}).refusedWith(pathNotFound),
        Case("empty new name").given({"", "b.txt"}).withFiles({"b.txt"}).refusedWith(pathNotFound),
        // Too long to look up beforehand: the system alone can tell that it is missing.
        Case("long missing existing name").given({"a.txt", "missing-" + LongName}).withFiles({LongName}).refusedWith({runsUnderWine() ? DWORD{ERROR_FILE_NOT_FOUND} : DWORD{ERROR_PATH_NOT_FOUND}}),
        Case("long existing name").given({"a.txt", LongName}).withFiles({LongName}).refusedWith(pathNotFound).skippedBecause(longOnWindows),
        Case("long absolute existing name").given({"a.txt", longPath}).withFiles({LongName}).refusedWith(pathNotFound).skippedBecause(longOnWindows),
        // Microsoft documents path not found for a name past MAX_PATH; a reimplementation
        // (ReactOS) takes the new name through a buffer of MAX_PATH characters on its way
        // to the wide call, and answers that the name is too long. Either is Windows'.
        Case("long absolute new name").given({longPath, "b.txt"}).withFiles({"b.txt"}).refusedWith({ERROR_PATH_NOT_FOUND, ERROR_FILENAME_EXCED_RANGE}).skippedBecause(longOnWindows),
        Case("folder that denies adding entries").given({"a.txt", "b.txt"}).withFiles({"b.txt"}).deniesAddingEntries().refusedWith({ERROR_ACCESS_DENIED}).skippedBecause(windowsOnly("Wine does not enforce access control entries")),
        // A lookup that fails for another reason than "not there" (here a server out of
        // reach) says nothing about the file.
        Case("existing name on a server out of reach").given({"a.txt", "\\\\nosuchserver\\share\\b.txt"}).withFiles({"b.txt"}).refusedWith(pathNotFound).skippedBecause(wineOnly(NetworkSearch)),
        Case("usage, both streams on one pipe").withFiles({"a.txt"}).refused(Usage).on(Streams::Merged),
        Case("new name exists, both streams on one pipe").given({"a.txt", "a.txt"}).withFiles({"a.txt"}).refused(alreadyA).on(Streams::Merged),
        // With no standard handles nothing can be read: the program must still end as
        // it should, not in the runtime's invalid-parameter handler, and leave the
        // files as they were.
        Case("usage, no standard handles").withFiles({"b.txt"}).refused(Usage).on(Streams::None),
        Case("same file twice, no standard handles").given({"b.txt", "b.txt"}).withFiles({"b.txt"}).refused(alreadyB).on(Streams::None),
        // clang-format on
    };
}

std::vector<Case> links()
{
    const std::string held1 = TwoHeldNames ? HeldNames[0] : "";
    const std::string held2 = TwoHeldNames ? HeldNames[1] : "";
    const std::string prefixed = "\\\\?\\{scratch}\\" + LongName;
    const std::vector<DWORD> pathNotFound = {ERROR_PATH_NOT_FOUND};
    const std::vector<DWORD> pathOrNameTooLong = {ERROR_PATH_NOT_FOUND, ERROR_FILENAME_EXCED_RANGE};
    return {
        // clang-format off
        Case("plain names").given({"a.txt", "b.txt"}).links("a.txt", "b.txt"),
        Case("no standard handles").given({"a.txt", "b.txt"}).links("a.txt", "b.txt").on(Streams::None),
        Case("name with conversions").given({"%s%n", "b.txt"}).links("%s%n", "b.txt"),
        Case("relative names").given({"dir\\new link.txt", ".\\dir\\..\\b.txt"}).withFolders({"dir"}).links("dir\\new link.txt", "b.txt"),
        // Characters the code page holds work as before.
        Case("names beyond ASCII").given({held1, held2}).links(held1, held2).skippedBecause(unlessCodePageHas(TwoHeldNames, "two of the names beyond ASCII tried")),
        // A full path too long to look up beforehand is no reason to refuse.
        Case("long existing name").given({"a.txt", LongName}).links("a.txt", LongName).skippedBecause(wineOnly(LongNamesDiffer)),
        // With \\?\ Microsoft's page both lets either name pass MAX_PATH and says that the
        // narrow call refuses a longer one as a path not found; a reimplementation
        // (ReactOS) still takes the new name through a buffer of MAX_PATH characters (too
        // long a name). A link made and each of those refusals are Windows' answers.
        Case("long existing name with the long-path prefix").given({"a.txt", prefixed}).links("a.txt", LongName).orRefusedWith(pathNotFound),
        Case("long new name with the long-path prefix").given({prefixed, "b.txt"}).links(LongName, "b.txt").orRefusedWith(pathOrNameTooLong),
        // clang-format on
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
    std::vector<Case> rows;
    for (const Streams streams : {Streams::Console, Streams::ConsoleWriteOnly}) {
        const std::string handle = streams == Streams::Console ? "" : ", write-only handle";
        rows.push_back(Case("link made" + handle)
                           .given({first, second})
                           .links(first, second)
                           .on(streams)
                           .skippedBecause(noNames));
        rows.push_back(Case("new name exists" + handle)
                           .given({second, first})
                           .withFiles({second})
                           .refused("ERROR: " + second + " already exists\n")
                           .on(streams)
                           .skippedBecause(noNames));
    }
    return rows;
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

class KorvelinProgram : public testing::TestWithParam<Case> {};

} // namespace

TEST_P(KorvelinProgram, Answers)
{
    const Case& row = GetParam();
    if (!row.skip.empty())
        GTEST_SKIP() << row.skip;
    if (row.onAConsole() && !inAConsoleOfItsOwn())
        return;
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

    // With no standard handles there is nothing to read: what the program did is all
    // there is to check.
    const bool readable = row.streams != Streams::None;
    if (row.link.empty() || (row.mayBeRefused && result.exitCode == 1)) {
        if (readable && row.err.empty()) {
            EXPECT_EQ(result.out, Banner);
            EXPECT_TRUE(isRefusal(result.err, row.codes)) << result.err;
        } else if (readable) {
            const auto expected = asRead(row.streams, Banner, crlf(row.err));
            EXPECT_EQ(result.out, expected.first);
            EXPECT_EQ(result.err, expected.second);
        }
        EXPECT_EQ(result.exitCode, 1u);
        EXPECT_EQ(folder.snapshot(), before);
        return;
    }

    // A console shows the names as characters, read back in UTF-8; a pipe carries the
    // code page's bytes.
    const std::string made =
        "Korvelin from \"" + arguments[0] + "\" to \"" + arguments[1] + "\" made\n";
    if (readable) {
        const std::string shown = row.onAConsole() ? made : inCodePage(made);
        const auto expected = asRead(row.streams, Banner + crlf(shown), "");
        EXPECT_EQ(result.out, expected.first);
        EXPECT_EQ(result.err, expected.second);
    }
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

INSTANTIATE_TEST_SUITE_P(Refused, KorvelinProgram, testing::ValuesIn(refusals()), rowName<Case>);
INSTANTIATE_TEST_SUITE_P(Linked, KorvelinProgram, testing::ValuesIn(links()), rowName<Case>);
INSTANTIATE_TEST_SUITE_P(OnAConsole, KorvelinProgram, testing::ValuesIn(consoles()), rowName<Case>);

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

TEST(KorvelinProgramFile, CarriesOne32By32IconInSixteenColours)
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
