// The text log: its file, line format, indent, line-end conversion, the
// debugger output and the switches that silence it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "log_capture.h"
#include "core/memory.h"
#include "core/utility.h"

namespace {

TEST(Log, TextsWithoutLineEndShareOneLineWithOnePrefix) {
    LogCapture log;
    EXPECT_EQ(WriteLogText("abc"), -1);
    EXPECT_EQ(WriteLogText("def\n"), -1);
    EXPECT_EQ(WriteLogText("second\n"), -1);
    EXPECT_EQ(log.FileWithoutTimes(), "abcdef\r\nsecond\r\n");
    auto times = log.Times();
    ASSERT_EQ(times.size(), 2u);
    EXPECT_GE(times[0], 0);
    EXPECT_GE(times[1], 0);
    // The time prefix does not go to the debugger.
    EXPECT_EQ(log.Debug(), "abcdef\r\nsecond\r\n");
}

TEST(Log, PrefixCountsMillisecondsSinceTheLogBegan) {
    LogCapture log;
    Sleep(1234);  // the headless clock moves by exactly this much (plus its read steps)
    WriteLogText("later\n");
    EXPECT_EQ(log.FileWithoutTimes(), "later\r\n");
    auto times = log.Times();
    ASSERT_EQ(times.size(), 1u);
    long ms = times[0];
    EXPECT_GE(ms, 1234);
    EXPECT_LT(ms, 1240);
}

TEST(Log, IndentWritesTabsToFileAndDebuggerButPrefixOnlyToFile) {
    LogCapture log;
    IncreaseLogIndent();
    IncreaseLogIndent();
    WriteLogText("one\n");
    WriteLogText("two");
    WriteLogText(" more\n");
    DecreaseLogIndent();
    DecreaseLogIndent();
    DecreaseLogIndent();  // stays at 0
    EXPECT_EQ(g_SystemState.logIndent, 0u);
    WriteLogText("flat\n");
    EXPECT_EQ(log.FileWithoutTimes(), "\t\tone\r\n\t\ttwo more\r\nflat\r\n");
    EXPECT_EQ(log.Debug(), "\t\tone\r\n\t\ttwo more\r\nflat\r\n");
}

TEST(Log, LoneLineFeedsBecomeCrLfUntilTheFirstExistingPair) {
    LogCapture log;
    WriteLogText("a\nb\r\nc\n");
    EXPECT_EQ(log.FileWithoutTimes(), "a\r\nb\r\nc\n");
}

TEST(Log, JapaneseTextIsWrittenAsShiftJis) {
    LogCapture log;
    WriteLogText("メモリ\n");
    EXPECT_EQ(log.FileWithoutTimes(), "\x83\x81\x83\x82\x83\x8A\r\n");
}

TEST(Log, LongTextIsWrittenWholeAndConverted) {
    LogCapture log;
    std::string text = std::string(100, 'x') + "\n" + std::string(199, 'x') + "\n";
    WriteLogText(text.c_str());
    std::string expected(100, 'x');
    expected.append("\r\n").append(199, 'x').append("\r\n");
    EXPECT_EQ(log.FileWithoutTimes(), expected);
    EXPECT_EQ(g_MemoryTracker.count, 0);  // the conversion buffer was given back
}

TEST(Log, LongTextStillGoesOutWhenItsBufferCannotBeHad) {
    LogCapture log;
    std::string text(300, 'y');
    text += "\n";
    SetTrackedAllocFailures(1);
    EXPECT_EQ(WriteLogText(text.c_str()), -1);
    // The failed allocation dumped the tracker first; then the text itself,
    // unconverted.
    std::string file = log.FileWithoutTimes();
    EXPECT_NE(file.find("Alloc memory dump"), std::string::npos);
    EXPECT_EQ(file.substr(file.size() - text.size()), text);
    WriteLogText("after\n");
    EXPECT_EQ(log.FileWithoutTimes().substr(file.size()), "after\r\n");
}

TEST(Log, SwitchedOffWritesNoFileAndNoDebuggerOutput) {
    LogCapture log;
    std::filesystem::remove(log.dir().path() / "Log.txt");
    EXPECT_EQ(SetLogEnabled(0), 0);
    EXPECT_EQ(g_SystemState.logOff, 1);
    EXPECT_EQ(InitLogFile(), 1);
    EXPECT_EQ(WriteLogText("hidden\n"), -1);
    EXPECT_EQ(WriteLogFormat("%s", "hidden"), -1);
    EXPECT_FALSE(std::filesystem::exists(log.dir().path() / "Log.txt"));
    EXPECT_EQ(log.Debug(), "");
    SetLogEnabled(1);
    EXPECT_EQ(g_SystemState.logOff, 0);
}

TEST(Log, InitStartsAnEmptyFileEachRun) {
    LogCapture log;
    WriteLogText("old run\n");
    InitLogFile();
    EXPECT_EQ(log.File(), "");
    WriteLogText("new\n");
    EXPECT_EQ(log.FileWithoutTimes(), "new\r\n");
}

TEST(Log, DateStampNameCarriesTheLocalTime) {
    LogCapture log;
    g_SystemState.logDateStamp = 1;
    InitLogFile();
    WriteLogText("stamped\n");
    std::string name = g_SystemState.logFileName;
    // "Log" year _ month _ day _ hour _ minute _ second ".txt", plain decimal.
    ASSERT_GT(name.size(), 7u);
    EXPECT_EQ(name.substr(0, 3), "Log");
    EXPECT_EQ(name.substr(name.size() - 4), ".txt");
    std::string stamp = name.substr(3, name.size() - 7);
    EXPECT_EQ(std::count(stamp.begin(), stamp.end(), '_'), 5) << name;
    EXPECT_EQ(stamp.find_first_not_of("0123456789_"), std::string::npos) << name;
    EXPECT_EQ(stamp.substr(0, 2), "20") << name;
    EXPECT_NE(log.dir().Read(name).find("stamped\r\n"), std::string::npos);
}

TEST(Log, HostWindowSendsToTheDebuggerOnly) {
    LogCapture log;
    std::filesystem::remove(log.dir().path() / "Log.txt");
    g_SystemState.externalWindow = 1;
    IncreaseLogIndent();
    WriteLogText("hosted\n");
    g_SystemState.externalWindow = 0;
    EXPECT_EQ(log.Debug(), "hosted\r\n");
    EXPECT_FALSE(std::filesystem::exists(log.dir().path() / "Log.txt"));
}

TEST(Log, MissingStartDirectoryLosesTheLineQuietly) {
    LogCapture log;
    g_SystemState.startDirectory[0] = '\0';
    EXPECT_EQ(WriteLogText("nowhere\n"), -1);
    std::string gone = PlatformWindowsPath(log.dir().str()) + "\\no\\such\\dir";
    std::size_t n = gone.copy(g_SystemState.startDirectory, sizeof g_SystemState.startDirectory - 1);
    g_SystemState.startDirectory[n] = '\0';
    EXPECT_EQ(WriteLogText("nowhere\n"), -1);
    EXPECT_EQ(log.Debug(), "");
}

TEST(Log, FormattedLineIsCutToItsBufferWithoutSplittingACharacter) {
    LogCapture log;
    std::string longText(3000, 'z');
    EXPECT_EQ(WriteLogFormat("%s", longText.c_str()), -1);
    EXPECT_EQ(log.FileWithoutTimes(), std::string(1022, 'z') + "\r\n");

    // 1021 bytes and then a two-byte character that would end at byte 1023.
    InitLogFile();
    std::string tail(1021, 'a');
    EXPECT_EQ(WriteLogFormat("%s%s", tail.c_str(), "メモ"), -1);
    EXPECT_EQ(log.FileWithoutTimes(), tail + "\r\n");

    InitLogFile();
    WriteLogFormat("value %d and %s", 42, "text");
    EXPECT_EQ(log.FileWithoutTimes(), "value 42 and text\r\n");
}

}  // namespace
