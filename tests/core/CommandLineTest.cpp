#include "core/CommandLine.h"

#include <gtest/gtest.h>

namespace {

TCommandLine Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "teloria2");
  return ParseCommandLine(args);
}

} // namespace

TEST(CommandLine, VerbsAnywhereAndTheDesignsArgumentsStillIgnored) {
  const std::pair<std::vector<std::string>, TProgramWindow> shows[] = {
      {{"-show", "memory"}, TProgramWindow::MirelMemory},
      {{"-arun", "-show", "phonelist"}, TProgramWindow::PhoneList},
      {{"-show", "history", "-autorun"}, TProgramWindow::IncomingHistory},
      {{"-show", "new"}, TProgramWindow::NewEntry},
      {{"-show", "display"}, TProgramWindow::NumberDisplay},
      {{"-x", "-show", "settings"}, TProgramWindow::Settings},
      {{"-show", "about"}, TProgramWindow::About},
  };
  for (const auto& [args, window] : shows) {
    const TCommandLine command = Parse(args);
    EXPECT_EQ(command.Verb, TCommandVerb::Show) << args.back();
    EXPECT_EQ(command.Window, window) << args.back();
    EXPECT_EQ(Parse({"-show", WindowWord(window)}).Window, window);
  }
  EXPECT_TRUE(Parse({"-notify", "-show", "display"}).Notify);
  EXPECT_EQ(Parse({"-exit"}).Verb, TCommandVerb::Exit);
  const TCommandLine headless = Parse({"-headless", "-show", "about"});
  EXPECT_TRUE(headless.Headless);
  EXPECT_EQ(headless.Window, TProgramWindow::About);
  EXPECT_FALSE(Parse({"-arun"}).Headless);
  // "-shutdown" as the first argument wins over whatever follows it.
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"-shutdown"}, {"-shutdown", "-show"}, {"-shutdown", "-show", "history", "-exit"}})
    EXPECT_EQ(Parse(args).Verb, TCommandVerb::Shutdown) << ::testing::PrintToString(args);
  for (const char* help : {"-help", "--help", "-h"})
    EXPECT_EQ(Parse({help}).Verb, TCommandVerb::Help) << help;
  // What the design ignores stays ignored, "-SHOW" and "-EXIT" included.
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{},
                                             {"-arun"},
                                             {"-autorun"},
                                             {"-arun", "-shutdown"},
                                             {"-SHUTDOWN"},
                                             {"-SHOW", "x"},
                                             {"-EXIT"},
                                             {"anything"}})
    EXPECT_EQ(Parse(args).Verb, TCommandVerb::None) << ::testing::PrintToString(args);
}

TEST(CommandLine, UnknownWindowsMissingWordsAndSecondVerbsAreUsageErrors) {
  const std::pair<std::vector<std::string>, std::string> errors[] = {
      {{"-show"}, "-show の後に画面の名前がありません。"},
      {{"-show", "phone"}, "画面の名前 [phone] は使えません。"},
      {{"-show", "Settings"}, "画面の名前 [Settings] は使えません。"},
      {{"-show", "-arun"}, "画面の名前 [-arun] は使えません。"},
      {{"-exit", "-show", "about"}, "指示は一つだけ指定してください。"},
      {{"-show", "about", "-help"}, "指示は一つだけ指定してください。"},
  };
  for (const auto& [args, error] : errors) {
    const TCommandLine command = Parse(args);
    EXPECT_EQ(command.Verb, TCommandVerb::Usage) << error;
    EXPECT_EQ(command.Error, error);
  }
  const std::string usage = UsageText();
  for (const char* word : {"-show", "-exit", "-shutdown", "-arun", "memory", "phonelist", "history",
                           "new", "display", "settings", "about"})
    EXPECT_NE(usage.find(word), std::string::npos) << word;
}
