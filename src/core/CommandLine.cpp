#include "core/CommandLine.h"

#include <fmt/printf.h>

namespace {

struct TWindowWord {
  const char* Word;
  TProgramWindow Window;
};

// In the order of the tray menu.
const TWindowWord kWindows[] = {
    {"memory", TProgramWindow::MirelMemory},
    {"phonelist", TProgramWindow::PhoneList},
    {"history", TProgramWindow::IncomingHistory},
    {"new", TProgramWindow::NewEntry},
    {"display", TProgramWindow::NumberDisplay},
    {"settings", TProgramWindow::Settings},
    {"about", TProgramWindow::About},
};

TProgramWindow WindowOf(const std::string& word) {
  for (const TWindowWord& w : kWindows)
    if (word == w.Word)
      return w.Window;
  return TProgramWindow::None;
}

TCommandLine UsageError(std::string error) {
  return {TCommandVerb::Usage, TProgramWindow::None, std::move(error)};
}

} // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  TCommandLine command;
  if (args.size() >= 2 && args[1] == "-shutdown") {
    command.Verb = TCommandVerb::Shutdown;
    return command;
  }
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    TCommandLine verb;
    if (arg == "-headless") {
      command.Headless = true;
      continue;
    }
    if (arg == "-notify") {
      command.Notify = true;
      continue;
    }
    if (arg == "-show") {
      if (i + 1 >= args.size())
        return UsageError("-show の後に画面の名前がありません。");
      verb.Verb = TCommandVerb::Show;
      verb.Window = WindowOf(args[++i]);
      if (verb.Window == TProgramWindow::None)
        return UsageError(fmt::sprintf("画面の名前 [%s] は使えません。", args[i]));
    } else if (arg == "-exit") {
      verb.Verb = TCommandVerb::Exit;
    } else if (arg == "-help" || arg == "--help" || arg == "-h") {
      verb.Verb = TCommandVerb::Help;
    } else {
      continue; // the design ignores every other argument
    }
    if (command.Verb != TCommandVerb::None)
      return UsageError("指示は一つだけ指定してください。");
    verb.Headless = command.Headless;
    verb.Notify = command.Notify;
    command = verb;
  }
  return command;
}

std::string WindowWord(TProgramWindow window) {
  for (const TWindowWord& w : kWindows)
    if (w.Window == window)
      return w.Word;
  return {};
}

std::string UsageText() {
  return "使い方: teloria2 [-arun] [-headless]\n"
         "        teloria2 -show memory|phonelist|history|new|display|settings|about [-notify]\n"
         "        teloria2 -exit\n"
         "        teloria2 -shutdown\n"
         "\n"
         "  (指定なし)   Teloria II を起動します。起動済みなら、その旨をバルーンで知らせます。\n"
         "  -arun        起動時のバルーンを出しません。\n"
         "  -headless    画面なしで動きます。ウィンドウ、アイコン、メッセージボックスを使わず、\n"
         "               メッセージはログに書きます。DISPLAY、WAYLAND_DISPLAY、\n"
         "               QT_QPA_PLATFORM のどれもないときも画面なしで動きます。\n"
         "  -show 画面   起動中の Teloria II で画面を開きます。起動していなければ起動し、\n"
         "               準備ができてから開きます。画面:\n"
         "                 memory     MirelKT5メモリ\n"
         "                 phonelist  登録一覧\n"
         "                 history    電話着信履歴\n"
         "                 new        情報の編集 (新規)\n"
         "                 display    着信電話情報の表示 (最新の着信)\n"
         "                 settings   各種設定\n"
         "                 about      Teloria II について\n"
         "  -notify      -show で画面を開けなかったとき、そのことをバルーンでも知らせます\n"
         "               (デスクトップのメニューの項目が使います)。\n"
         "  -exit        起動中の Teloria II を終了し (メニューの「終了」と同じ)、\n"
         "               終わるまで待ちます。\n"
         "  -shutdown    (最初の引数のみ) 起動中の Teloria II に終了を求め、最大 3 秒待ちます。\n"
         "               後の引数は無視します。\n"
         "  -help        この説明を表示します。\n";
}
