#include "TavrelLogger.h"
#include "Testing.h"

namespace {

// Each test gets the shared logger back as it was made.
class LoggerTest : public testing::Test {
protected:
    void TearDown() override
    {
        auto &logger = TavrelLogger::sharedInstance();
        logger.verbosityLevel = LoggerLevels::Custom;
        logger.infoGlyph = "\U0001F535";
    }
    TavrelLogger &logger = TavrelLogger::sharedInstance();
};

TEST_F(LoggerTest, LineIsGlyphMessageLocationMessage)
{
    EXPECT_EQ(logger.getMessage("Unable to get Plist", LoggerLevels::Info, "/src/store/TavrelPlist.cpp", 42),
              "\U0001F535 Unable to get Plist [/src/store/TavrelPlist.cpp:42] Unable to get Plist");
    for (const auto &[level, glyph] : {std::pair{LoggerLevels::Error, "\U0001F6AB"},
                                       {LoggerLevels::Warning, "\U0001F514"},
                                       {LoggerLevels::Success, "\u2705"},
                                       {LoggerLevels::Custom, "\U0001F536"},
                                       {LoggerLevels::None, ""}})
        EXPECT_EQ(logger.getMessage("m", level, "f", 7), std::string(glyph) + " m [f:7] m");
    logger.infoGlyph = "ℹ"; // a changed glyph takes effect at once
    EXPECT_EQ(logger.getMessage("m", LoggerLevels::Info, "f", 2), "ℹ m [f:2] m");
}

TEST_F(LoggerTest, DefaultsAreInfoAndTheCallSite)
{
    const unsigned line = __LINE__ + 1;
    const std::string out = capturedOutput([&] { logger.logMessage("hello"); });
    EXPECT_EQ(out, "\U0001F535 hello [" + std::string(__FILE__) + ":" + std::to_string(line) + "] hello\n");
}

TEST_F(LoggerTest, VerbosityFiltersByRawValue)
{
    logger.verbosityLevel = LoggerLevels::None;
    std::string out = capturedOutput([&] {
        for (int raw = 0; raw <= 5; ++raw)
            logger.logMessage("x", LoggerLevels(raw));
    });
    EXPECT_EQ(out, "");
    EXPECT_FALSE(logger.getMessage("x", LoggerLevels::Info, "f", 1).empty()); // ignores verbosity

    logger.verbosityLevel = LoggerLevels::Error;
    out = capturedOutput([&] {
        for (int raw = 0; raw <= 5; ++raw)
            logger.logMessage("level" + std::to_string(raw), LoggerLevels(raw), "f", 1);
    });
    EXPECT_EQ(out, " level0 [f:1] level0\n\U0001F6AB level1 [f:1] level1\n");
}

TEST_F(LoggerTest, AssertLogsAtCustomFromTheLoggersOwnLocation)
{
    int evaluated = 0;
    const std::string out =
        capturedOutput([&] { logger.logMessageAndAssert([&] { return ++evaluated > 0; }, "checked"); });
    EXPECT_EQ(evaluated, 1);
    EXPECT_EQ(out.rfind("\U0001F536 checked [", 0), 0u) << out;
    EXPECT_NE(out.find("TavrelLogger.cpp:"), std::string::npos) << out;
    EXPECT_EQ(out.find(__FILE__), std::string::npos);

    logger.verbosityLevel = LoggerLevels::Info; // Custom lines are filtered like any other
    EXPECT_EQ(capturedOutput([&] { logger.logMessageAndAssert([] { return true; }, "quiet"); }), "");
}

} // namespace
