#include "platform/DigitGrouping.h"
#include "render/CountFormat.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Sets LC_ALL for one test and puts back what was there.
class ScopedLocaleChoice {
public:
    ScopedLocaleChoice() {
        if (const char* value = std::getenv("LC_ALL")) {
            saved_ = value;
        }
    }
    ~ScopedLocaleChoice() {
        if (saved_) {
            ::setenv("LC_ALL", saved_->c_str(), 1);
        } else {
            ::unsetenv("LC_ALL");
        }
    }
    void choose(const char* locale) { ::setenv("LC_ALL", locale, 1); }

private:
    std::optional<std::string> saved_;
};

// The grouping is kept between calls, but a new choice of locale is seen at once.
TEST(UserDigitGrouping, FollowsTheLocaleTheEnvironmentChooses) {
    ScopedLocaleChoice locale;
    locale.choose("C");
    EXPECT_TRUE(Vanta::userDigitGrouping().sizes.empty());
    locale.choose("en_US.UTF-8");
    EXPECT_EQ(L"1,234,567", Vanta::CountFormat::format(1234567, Vanta::userDigitGrouping()));
    EXPECT_EQ(L"48,213", Vanta::CountFormat().format(48213));
    locale.choose("C");
    EXPECT_TRUE(Vanta::userDigitGrouping().sizes.empty());
}

} // namespace
