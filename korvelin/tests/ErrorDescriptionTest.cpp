#include "ErrorDescription.h"

#include "System.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

struct Described {
    const char* what;
    DWORD code;
    const char* firstLine;
    bool systemHasText;
};

struct Cut {
    const char* what;
    size_t textLength;
    size_t expectedLength;
};

class DescribeLastError : public testing::TestWithParam<Described> {};
class FormatErrorDescription : public testing::TestWithParam<Cut> {};

const std::string Head = "Error Code: 2\nDescription: ";
const size_t Limit = 4095; // the buffer's 4096 bytes less the terminator

} // namespace

TEST_P(DescribeLastError, NamesTheCodeAndQuotesTheSystemText)
{
    const Described& row = GetParam();
    const std::string text = systemErrorText(row.code);
    if (row.systemHasText) {
        ASSERT_FALSE(text.empty()) << "the system should have a text for this code";
    } else {
        ASSERT_TRUE(text.empty() || text.find("%1") != std::string::npos) << text;
    }

    SetLastError(row.code);
    EXPECT_EQ(describeLastError(),
              std::string(row.firstLine) + "Description: " + (row.systemHasText ? text : "(null)"));
}

INSTANTIATE_TEST_SUITE_P(
    Code, DescribeLastError,
    testing::Values(Described{"file_not_found", ERROR_FILE_NOT_FOUND, "Error Code: 2\n", true},
                    Described{"access_denied", ERROR_ACCESS_DENIED, "Error Code: 5\n", true},
                    Described{"not_same_device", ERROR_NOT_SAME_DEVICE, "Error Code: 17\n", true},
                    Described{"already_exists", ERROR_ALREADY_EXISTS, "Error Code: 183\n", true},
                    // No text: customer-defined codes (bit 29) are never system messages,
                    // and the high ones are negative as a signed number. A text with
                    // inserts is not given either, since nothing is passed to fill them.
                    Described{"customer_code", 0x2000ABCD, "Error Code: 536914893\n", false},
                    Described{"negative_code", 0xE0000001, "Error Code: -536870911\n", false},
                    Described{"text_with_inserts", ERROR_MR_MID_NOT_FOUND, "Error Code: 317\n",
                              false}),
    rowName<Described>);

TEST_P(FormatErrorDescription, CutsALongTextAt4095Characters)
{
    const Cut& row = GetParam();
    const std::string text(row.textLength, 'x');
    // A longer earlier text must not show through a shorter one.
    formatErrorDescription(2, std::string(2 * 4096, 'y').c_str());

    const std::string description = formatErrorDescription(2, text.c_str());
    EXPECT_EQ(description.size(), row.expectedLength);
    EXPECT_EQ(description, (Head + text).substr(0, row.expectedLength));
}

INSTANTIATE_TEST_SUITE_P(TextLength, FormatErrorDescription,
                         testing::Values(Cut{"one_short", Limit - Head.size() - 1, Limit - 1},
                                         Cut{"exactly_the_limit", Limit - Head.size(), Limit},
                                         Cut{"one_over", Limit - Head.size() + 1, Limit},
                                         Cut{"far_over", 3 * 4096, Limit}),
                         rowName<Cut>);
