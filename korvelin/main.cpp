// Korvelin NewFileName ExistingFileName
//
// Makes NewFileName a second directory entry (a hard link) for ExistingFileName.
// Both names are checked first; every failure is one line on standard error and
// exit code 1.

#include "TextOutput.h"

#include <windows.h>

#include "ArgumentCheck.h"
#include "ErrorDescription.h"
#include "KorvelinIdentity.h"
#include "PathInfo.h"

namespace {

void printBanner()
{
    printText(stdout, "Korvelin version " KORVELIN_VERSION "\n"
                      "Creates a Hard Link to an existing file.\n" KORVELIN_NOTICE "\n"
                      "Visit our website for other freeware and shareware tools\n");
    // When both streams go to one file, the banner must still come first.
    fflush(stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    // Buffered, standard output is written in one piece per flush; unbuffered, some
    // runtimes (Wine's) write it a character at a time, which costs more than the link.
    setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);
    printBanner();

    if (argc != 3) {
        printText(stderr, "Usage:\nKorvelin NewFileName ExistingFileName\n");
        return 1;
    }
    const char* newFileName = argv[1];
    const char* existingFileName = argv[2];

    // A name the code page could not hold arrives as another name, which may well
    // be an existing file: act on no name but the one the caller passed.
    const int inexact = findInexactArgument(argc, argv);
    if (inexact == ArgumentCountDiffers) {
        printText(stderr, "ERROR: the command line holds characters that the system code page "
                          "cannot represent\n");
        return 1;
    }
    if (inexact != AllArgumentsExact) {
        printText(stderr, "ERROR: %s holds characters that the system code page cannot represent\n",
                  inexact == 1 ? "NewFileName" : "ExistingFileName");
        return 1;
    }

    // Both names are resolved and looked up before any check.
    const PathInfo newFile(newFileName);
    const PathInfo existingFile(existingFileName);

    if (newFile.exists()) {
        printText(stderr, "ERROR: %s already exists\n", newFileName);
        return 1;
    }
    // Only the system's own "not there" makes a missing file. A lookup that failed
    // for another reason, or a full path too long to look up, says nothing about the
    // file: make no claim, and let the link call answer.
    if (existingFile.isMissing()) {
        printText(stderr, "ERROR: %s does not exist\n", existingFileName);
        return 1;
    }
    if (existingFile.isDirectory()) {
        printText(stderr, "ERROR: %s is a directory\n", existingFileName);
        return 1;
    }

    // The names go to the system as typed; whatever else is wrong (another volume,
    // a missing folder, no rights) the system says in its own words.
    if (!CreateHardLinkA(newFileName, existingFileName, nullptr)) {
        printText(stderr, "ERROR: %s\n", describeLastError());
        return 1;
    }

    printText(stdout, "Korvelin from \"%s\" to \"%s\" made\n", newFileName, existingFileName);
    return 0;
}
