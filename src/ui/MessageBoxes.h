#pragma once

#include <string>

// The three common boxes, behind an interface so tests can answer them.
// Without a screen (offscreen, or no GUI at all) a box is a log line instead
// and a question is answered "いいえ".
class IMessageBoxes {
public:
  virtual ~IMessageBoxes() = default;
  // "確認" with "はい(&Y)" and "いいえ(&N)"; true for "はい(&Y)".
  virtual bool ConfirmYesNo(const std::string& text) = 0;
  // "エラー" with "OK".
  virtual void ShowErrorMessage(const std::string& text) = 0;
  // "情報" with "OK".
  virtual void ShowInfoMessage(const std::string& text) = 0;
};

// Replaces the modal boxes (null restores them); for tests.
void SetMessageBoxes(IMessageBoxes* boxes);

bool ConfirmYesNo(const std::string& text);
void ShowErrorMessage(const std::string& text);
void ShowInfoMessage(const std::string& text);
