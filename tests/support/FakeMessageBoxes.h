#pragma once

#include "ui/MessageBoxes.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

// Answers the message boxes from a script and records what they said.
// Installed for the life of the object.
class TFakeMessageBoxes final : public IMessageBoxes {
public:
  TFakeMessageBoxes() { SetMessageBoxes(this); }
  ~TFakeMessageBoxes() override { SetMessageBoxes(nullptr); }
  TFakeMessageBoxes(const TFakeMessageBoxes&) = delete;
  TFakeMessageBoxes& operator=(const TFakeMessageBoxes&) = delete;

  bool ConfirmYesNo(const std::string& text) override {
    Confirms.push_back(text);
    if (WhileAsking)
      WhileAsking();
    if (Answers.empty())
      return false;
    const bool answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  void ShowErrorMessage(const std::string& text) override { Errors.push_back(text); }
  void ShowInfoMessage(const std::string& text) override { Infos.push_back(text); }

  // Answers for the coming confirmations, in order; "いいえ" once they run out.
  std::deque<bool> Answers;
  // What happens while a question is open (the event loop runs on).
  std::function<void()> WhileAsking;
  std::vector<std::string> Confirms;
  std::vector<std::string> Errors;
  std::vector<std::string> Infos;
};
