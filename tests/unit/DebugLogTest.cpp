#include "system/DebugLog.h"

#include <cctype>

#include "tests/unit/TestSupport.h"

namespace qv::test {
namespace {

const char kKey[] = "SOFTWARE\\Quevanta\\Morvessa";

struct SwitchCase {
    const char* what;
    std::string data;
    bool on;
};

void PrintTo(const SwitchCase& c, std::ostream* os) { *os << c.what; }

class DebugLogTest : public ProgramTest {};

class DebugSwitchTest : public ProgramTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(DebugSwitchTest, WritesOnlyWhenTheValueReadsAsTheTextOne) {
    fake.SetMachineValue(kKey, "debug", GetParam().data);
    WriteDebugLog("abc");
    if (GetParam().on)
        EXPECT_EQ(fake.debugLines, std::vector<std::string>{"[Kestrionv4_Setup] abc"});
    else
        EXPECT_TRUE(fake.debugLines.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Values, DebugSwitchTest,
    ::testing::Values(SwitchCase{"string one", std::string("1\0", 2), true},
                      SwitchCase{"one without terminator", "1", true},
                      SwitchCase{"one, then junk after the NUL", std::string("1\0xyz", 5), true},
                      SwitchCase{"one padded to the buffer", "1" + std::string(63, '\0'), true},
                      SwitchCase{"zero", std::string("0\0", 2), false},
                      SwitchCase{"zero one", std::string("01\0", 3), false},
                      SwitchCase{"true", std::string("true\0", 5), false},
                      SwitchCase{"one and a blank", std::string("1 \0", 3), false},
                      SwitchCase{"number one", std::string("\x01\0\0\0", 4), false},
                      SwitchCase{"empty", std::string(), false},
                      SwitchCase{"65 bytes", "1" + std::string(64, '\0'), false}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) {
        std::string name;
        for (const char* c = info.param.what; *c; ++c)
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

TEST_F(DebugLogTest, NoSwitchKeyWritesNothing) {
    fake.SetDebugSwitch(false);
    WriteDebugLog("abc");
    EXPECT_TRUE(fake.debugLines.empty());
}

TEST_F(DebugLogTest, MessageIsPassedThroughUnformatted) {
    WriteDebugLog("");
    WriteDebugLog("100%s %d done");
    WriteDebugLog("\xC6\xC4\xC0\xCF");  // CP949 bytes pass unchanged
    EXPECT_EQ(fake.debugLines,
              (std::vector<std::string>{"[Kestrionv4_Setup] ", "[Kestrionv4_Setup] 100%s %d done",
                                        "[Kestrionv4_Setup] \xC6\xC4\xC0\xCF"}));
}

TEST_F(DebugLogTest, SwitchIsReadAfreshOnEveryCall) {
    fake.SetMachineValue(kKey, "debug", std::string("0\0", 2));
    WriteDebugLog("first");
    fake.SetMachineValue(kKey, "debug", std::string("1\0", 2));
    WriteDebugLog("second");
    fake.SetMachineValue(kKey, "debug", std::string("0\0", 2));
    WriteDebugLog("third");
    EXPECT_EQ(fake.Traces(), std::vector<std::string>{"second"});
}

}  // namespace
}  // namespace qv::test
