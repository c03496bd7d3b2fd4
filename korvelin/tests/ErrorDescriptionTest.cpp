#include "ErrorDescription.h"

#include "SystemErrorText.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

TEST(DescribeLastError, NamesTheCodeAndQuotesTheSystemText)
{
    struct Row {
        DWORD code;
        const char* firstLine;
        bool systemHasText;
    } rows[] = {
        {ERROR_FILE_NOT_FOUND, "Error Code: 2\n", true},
        {ERROR_ACCESS_DENIED, "Error Code: 5\n", true},
        {ERROR_NOT_SAME_DEVICE, "Error Code: 17\n", true},
        {ERROR_ALREADY_EXISTS, "Error Code: 183\n", true},
        // No text: customer-defined codes (bit 29) are never system messages, and the
        // high ones are negative as a signed number. A text with inserts is not given
        // either, since nothing is passed to fill them.
        {0x2000ABCD, "Error Code: 536914893\n", false},
        {0xE0000001, "Error Code: -536870911\n", false},
        {ERROR_MR_MID_NOT_FOUND, "Error Code: 317\n", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.firstLine);
        const std::string text = systemErrorText(row.code);
        if (row.systemHasText) {
            ASSERT_FALSE(text.empty()) << "the system should have a text for this code";
        } else {
            ASSERT_TRUE(text.empty() || text.find("%1") != std::string::npos) << text;
        }

        SetLastError(row.code);
        EXPECT_EQ(describeLastError(), std::string(row.firstLine) +
                                           "Description: " + (row.systemHasText ? text : "(null)"));
    }
}

TEST(FormatErrorDescription, CutsALongTextAt4095Characters)
{
    const std::string head = "Error Code: 2\nDescription: ";
    const size_t limit = 4095; // the buffer's 4096 bytes less the terminator
    struct Row {
        size_t textLength;
        size_t expectedLength;
    } rows[] = {
        {limit - head.size() - 1, limit - 1},
        {limit - head.size(), limit},
        {limit - head.size() + 1, limit},
        {3 * 4096, limit},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("system text of " + std::to_string(row.textLength) + " characters");
        const std::string text(row.textLength, 'x');
        // A longer earlier text must not show through a shorter one.
        formatErrorDescription(2, std::string(2 * 4096, 'y').c_str());

        const std::string description = formatErrorDescription(2, text.c_str());
        EXPECT_EQ(description.size(), row.expectedLength);
        EXPECT_EQ(description, (head + text).substr(0, row.expectedLength));
    }
}
