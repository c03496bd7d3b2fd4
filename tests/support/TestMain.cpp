// The test programs' main: GoogleTest's own, and where KORVELIN_TEST_COUNTS names a
// file, the numbers of passed, failed and skipped tests written to it on one line.
// run-tests.cmd reads that file rather than the tests' output, which any character
// may stand in.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();

    const char* countsFile = std::getenv("KORVELIN_TEST_COUNTS");
    if (countsFile != nullptr && countsFile[0] != '\0') {
        const testing::UnitTest& tests = *testing::UnitTest::GetInstance();
        if (FILE* counts = std::fopen(countsFile, "w")) {
            std::fprintf(counts, "%d %d %d\n", tests.successful_test_count(),
                         tests.failed_test_count(), tests.skipped_test_count());
            std::fclose(counts);
        }
    }
    return result;
}
