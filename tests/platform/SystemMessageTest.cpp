// The system's message texts that the logging code quotes in its complaints.
#include "platform/SystemMessage.h"

#include <gtest/gtest.h>

namespace {

// Windows says "The parameter is incorrect.", Wine "Invalid parameter."; both
// come back as the system hands them out, line break included.
TEST(SystemMessageTest, InvalidParameterHasTheSystemText) {
    const std::wstring text = Vanta::systemMessageText(87);
    EXPECT_NE(text.find(L"arameter"), std::wstring::npos) << "text: " << text;
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), L"\r\n");
}

TEST(SystemMessageTest, CodeWithoutSystemTextGivesEmptyText) {
    EXPECT_EQ(Vanta::systemMessageText(20002), L"");
    EXPECT_EQ(Vanta::systemMessageText(0xFFFFFFFF), L"");
}

} // namespace
