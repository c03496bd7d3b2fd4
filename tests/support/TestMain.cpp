// The test programs' main: GoogleTest's own, and where KORVELIN_TEST_COUNTS names a
// file, the numbers of passed, failed and skipped tests written to it on one line;
// where KORVELIN_TEST_SKIPPED names one, each skipped test added to it with its reason.
// run-tests.cmd reads those files rather than the tests' output, which any character
// may stand in. Where KORVELIN_TEST_EXACTLY_ONE is set (ctest runs one test a process),
// a filter that selects any other number of tests than one fails: a test name that no
// longer matches would otherwise pass having run nothing.

#include "ChildProcess.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

namespace {

FILE* openNamedBy(const wchar_t* variable, const wchar_t* mode)
{
    const wchar_t* name = _wgetenv(variable);
    return name != nullptr && name[0] != L'\0' ? _wfopen(name, mode) : nullptr;
}

} // namespace

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

    const testing::UnitTest& tests = *testing::UnitTest::GetInstance();
    if (_wgetenv(L"KORVELIN_TEST_EXACTLY_ONE") != nullptr && tests.test_to_run_count() != 1) {
        fprintf(stderr, "the filter selected %d tests, not exactly one\n",
                tests.test_to_run_count());
        return 1;
    }

    // A test run again in a console of its own reports to the test program, which counts it.
    if (_wgetenv(InAConsoleOfItsOwnVariable) != nullptr)
        return result;
    // Wide: the temporary folder may hold a name the system code page does not.
    if (FILE* counts = openNamedBy(L"KORVELIN_TEST_COUNTS", L"w")) {
        fprintf(counts, "%d %d %d\n", tests.successful_test_count(), tests.failed_test_count(),
                tests.skipped_test_count());
        fclose(counts);
    }
    if (FILE* skipped = openNamedBy(L"KORVELIN_TEST_SKIPPED", L"a")) {
        for (int i = 0; i < tests.total_test_suite_count(); ++i) {
            const testing::TestSuite& suite = *tests.GetTestSuite(i);
            for (int j = 0; j < suite.total_test_count(); ++j) {
                const testing::TestInfo& test = *suite.GetTestInfo(j);
                if (!test.result()->Skipped())
                    continue;
                std::string reason;
                for (int k = 0; k < test.result()->total_part_count(); ++k)
                    reason += test.result()->GetTestPartResult(k).message();
                fprintf(skipped, "  %s.%s: %s\n", suite.name(), test.name(), reason.c_str());
            }
        }
        fclose(skipped);
    }
    return result;
}
