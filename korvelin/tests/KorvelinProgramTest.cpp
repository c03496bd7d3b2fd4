// Korvelin.exe from the outside: what it prints on which stream, its exit code, and
// what it does to the files it is given.

#include "ChildProcess.h"
#include "KorvelinMaker.h"
#include "ScratchFolder.h"
#include "SystemErrorText.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
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

const std::string Banner = crlf("Korvelin version 1.0.1\n"
                                "Creates a Hard Link to an existing file.\n" KORVELIN_NOTICE "\n"
                                "Visit our website for other freeware and shareware tools\n");

ProgramOutput runKorvelin(const std::vector<std::string>& arguments, const ScratchFolder& folder,
                          bool mergedStreams = false)
{
    std::string commandLine = quoteArgument(windowsPath(KORVELIN_PROGRAM));
    for (const std::string& argument : arguments)
        commandLine += " " + quoteArgument(argument);
    return runProgram(commandLine, folder.path(), mergedStreams);
}

BY_HANDLE_FILE_INFORMATION fileInformation(const std::string& path)
{
    BY_HANDLE_FILE_INFORMATION information = {};
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
    if (file != INVALID_HANDLE_VALUE) {
        EXPECT_TRUE(GetFileInformationByHandle(file, &information)) << path;
        CloseHandle(file);
    }
    return information;
}

// Every scratch file starts with content of its own, so a changed file shows.
void populate(const ScratchFolder& folder, const std::vector<std::string>& files,
              const std::vector<std::string>& folders)
{
    for (const std::string& name : folders)
        folder.makeFolder(name);
    for (const std::string& name : files)
        folder.writeFile(name, "content of " + name + "\n");
}

} // namespace

TEST(KorvelinProgram, RefusesWithOneMessageAndChangesNothing)
{
    const char* const Usage = "Usage:\nKorvelin NewFileName ExistingFileName\n";
    struct Row {
        const char* what;
        std::vector<std::string> arguments;
        std::vector<std::string> files;
        std::vector<std::string> folders;
        const char* err;
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
        {"existing is a folder", {"a.txt", "dir"},          {},        {"dir"}, "ERROR: dir is a directory\n"},
        {"names shown as typed", {"a.txt", ".\\dir\\..\\dir\\"}, {}, {"dir"}, "ERROR: .\\dir\\..\\dir\\ is a directory\n"},
        {"relative missing name", {"a.txt", "dir\\..\\missing.txt"}, {}, {"dir"}, "ERROR: dir\\..\\missing.txt does not exist\n"},
        {"name with conversions", {"a.txt", "%s%n"},        {},        {},      "ERROR: %s%n does not exist\n"},
        {"name with spaces",    {"new one.txt", "old one.txt"}, {},    {},      "ERROR: old one.txt does not exist\n"},
        {"empty existing name", {"a.txt", ""},              {"b.txt"}, {},      "ERROR:  does not exist\n"},
        // clang-format on
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ScratchFolder folder;
        populate(folder, row.files, row.folders);
        const std::vector<std::string> before = folder.snapshot();

        const ProgramOutput result = runKorvelin(row.arguments, folder);

        EXPECT_EQ(result.out, Banner);
        EXPECT_EQ(result.err, crlf(row.err));
        EXPECT_EQ(result.exitCode, 1u);
        EXPECT_EQ(folder.snapshot(), before);
    }
}

TEST(KorvelinProgram, ReportsARefusedLinkInTheSystemsWords)
{
    struct Row {
        const char* what;
        std::vector<std::string> arguments;
        DWORD code;
    } rows[] = {
        {"new name in a missing folder", {"nowhere\\a.txt", "b.txt"}, ERROR_PATH_NOT_FOUND},
        {"empty new name", {"", "b.txt"}, ERROR_PATH_NOT_FOUND},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ScratchFolder folder;
        populate(folder, {"b.txt"}, {});
        const std::vector<std::string> before = folder.snapshot();

        const ProgramOutput result = runKorvelin(row.arguments, folder);

        const std::string description = "Error Code: " + std::to_string(row.code) +
                                        "\nDescription: " + systemErrorText(row.code);
        EXPECT_EQ(result.out, Banner);
        EXPECT_EQ(result.err, crlf("ERROR: " + description + "\n"));
        EXPECT_EQ(result.exitCode, 1u);
        EXPECT_EQ(folder.snapshot(), before);
    }
}

TEST(KorvelinProgram, MakesAHardLinkToTheSameFile)
{
    struct Row {
        std::vector<std::string> arguments;
        const char* link;     // where the new name lands, inside the scratch folder
        const char* existing; // the existing file, inside the scratch folder
        const char* out;
    } rows[] = {
        {{"a.txt", "b.txt"}, "a.txt", "b.txt", "Korvelin from \"a.txt\" to \"b.txt\" made\n"},
        {{"%s%n", "b.txt"}, "%s%n", "b.txt", "Korvelin from \"%s%n\" to \"b.txt\" made\n"},
        {{"dir\\new link.txt", ".\\dir\\..\\b.txt"},
         "dir\\new link.txt",
         "b.txt",
         "Korvelin from \"dir\\new link.txt\" to \".\\dir\\..\\b.txt\" made\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.out);
        ScratchFolder folder;
        populate(folder, {"b.txt"}, {"dir"});
        const std::string content = folder.readFile(row.existing);

        const ProgramOutput result = runKorvelin(row.arguments, folder);

        EXPECT_EQ(result.out, Banner + crlf(row.out));
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.exitCode, 0u);

        const BY_HANDLE_FILE_INFORMATION link = fileInformation(folder.pathOf(row.link));
        const BY_HANDLE_FILE_INFORMATION existing = fileInformation(folder.pathOf(row.existing));
        EXPECT_EQ(link.dwVolumeSerialNumber, existing.dwVolumeSerialNumber);
        EXPECT_EQ(link.nFileIndexHigh, existing.nFileIndexHigh);
        EXPECT_EQ(link.nFileIndexLow, existing.nFileIndexLow);
        EXPECT_EQ(existing.nNumberOfLinks, 2u);
        EXPECT_EQ(folder.readFile(row.existing), content);
        EXPECT_EQ(folder.readFile(row.link), content);
    }
}

TEST(KorvelinProgram, PutsTheBannerFirstWhenBothStreamsShareAFile)
{
    ScratchFolder folder;
    populate(folder, {"a.txt"}, {});

    const ProgramOutput usage = runKorvelin({}, folder, true);
    EXPECT_EQ(usage.out, Banner + crlf("Usage:\nKorvelin NewFileName ExistingFileName\n"));

    const ProgramOutput exists = runKorvelin({"a.txt", "a.txt"}, folder, true);
    EXPECT_EQ(exists.out, Banner + crlf("ERROR: a.txt already exists\n"));
}
