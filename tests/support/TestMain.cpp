// The test programs' main: GoogleTest's own, and where KORVELIN_TEST_COUNTS names a
// file, the numbers of passed, failed and skipped tests written to it on one line.
// run-tests.cmd reads that file rather than the tests' output, which any character
// may stand in.

#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);

    // Without a temporary folder that the narrow programs can be given, every test
    // that makes files would fail alike: one line that says what to do instead.
    std::string why;
    if (temporaryFolder(&why).empty()) {
        fprintf(stderr, "the tests cannot run here: %s\n", why.c_str());
        return 1;
    }

    const int result = RUN_ALL_TESTS();

    // Wide: the temporary folder may hold a name the system code page does not.
    const wchar_t* countsFile = _wgetenv(L"KORVELIN_TEST_COUNTS");
    if (countsFile != nullptr && countsFile[0] != L'\0') {
        const testing::UnitTest& tests = *testing::UnitTest::GetInstance();
        if (FILE* counts = _wfopen(countsFile, L"w")) {
            fprintf(counts, "%d %d %d\n", tests.successful_test_count(), tests.failed_test_count(),
                    tests.skipped_test_count());
            fclose(counts);
        }
    }
    return result;
}
