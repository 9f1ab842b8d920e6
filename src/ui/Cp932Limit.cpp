#include "ui/Cp932Limit.h"

#include "base/CodePage.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QValidator>

namespace {

// An edit is refused when it takes the text beyond the limit and makes it
// longer; a stored text over the limit may still be shortened.
bool Allowed(size_t bytes, size_t shownBytes, int maxBytes) {
  return bytes <= static_cast<size_t>(maxBytes) || bytes <= shownBytes;
}

class TCp932LengthValidator final : public QValidator {
public:
  TCp932LengthValidator(int maxBytes, QLineEdit& edit)
      : QValidator(&edit), edit_(edit), maxBytes_(maxBytes) {
    QObject::connect(&edit, &QLineEdit::textChanged, this, [this](const QString& text) {
      shownBytes_ = Cp932ByteLength(text.toStdString());
    });
  }

  // setText runs the validator as well: a stored text over the limit would
  // count as refused and leave the next edit unchecked.
  void Show(const QString& text) {
    shownBytes_ = Cp932ByteLength(text.toStdString());
    edit_.setText(text);
  }

  State validate(QString& input, int&) const override {
    return Allowed(Cp932ByteLength(input.toStdString()), shownBytes_, maxBytes_) ? Acceptable
                                                                                 : Invalid;
  }

private:
  QLineEdit& edit_;
  int maxBytes_;
  size_t shownBytes_ = 0;
};

size_t MemoBytes(const QString& text) {
  return Cp932ByteLength(text.toStdString()) + static_cast<size_t>(text.count('\n'));
}

// Keeps the last text within the limit and brings it back, with its cursor,
// when an edit goes over it.
class TCp932MemoLimit final : public QObject {
public:
  TCp932MemoLimit(int maxBytes, QPlainTextEdit& edit)
      : QObject(&edit), edit_(edit), maxBytes_(maxBytes), accepted_(edit.toPlainText()) {
    connect(&edit, &QPlainTextEdit::cursorPositionChanged, this,
            [this] { cursorAt_ = edit_.textCursor().position(); });
    connect(&edit, &QPlainTextEdit::textChanged, this, [this] { TextChanged(); });
  }

  void Show(const QString& text) {
    accepted_ = text;
    edit_.setPlainText(text);
  }

private:
  void TextChanged() {
    const QString text = edit_.toPlainText();
    if (Allowed(MemoBytes(text), MemoBytes(accepted_), maxBytes_)) {
      accepted_ = text;
      return;
    }
    const int restoreAt = std::min(cursorAt_, static_cast<int>(accepted_.size()));
    const QSignalBlocker block(edit_);
    edit_.setPlainText(accepted_);
    QTextCursor cursor = edit_.textCursor();
    cursor.setPosition(restoreAt);
    edit_.setTextCursor(cursor);
  }

  QPlainTextEdit& edit_;
  int maxBytes_;
  QString accepted_;
  int cursorAt_ = 0;
};

// The limit an edit was given, a child of it; null without one.
template <typename TLimit> TLimit* LimitOf(QObject& edit) {
  for (QObject* child : edit.children())
    if (auto* limit = dynamic_cast<TLimit*>(child))
      return limit;
  return nullptr;
}

} // namespace

void LimitCp932Bytes(QLineEdit& edit, int maxBytes) {
  edit.setValidator(new TCp932LengthValidator(maxBytes, edit));
}

void LimitCp932Bytes(QPlainTextEdit& edit, int maxBytes) {
  new TCp932MemoLimit(maxBytes, edit);
}

void ShowStoredText(QLineEdit& edit, const QString& text) {
  if (auto* limit = LimitOf<TCp932LengthValidator>(edit))
    limit->Show(text);
  else
    edit.setText(text);
}

void ShowStoredText(QPlainTextEdit& edit, const QString& text) {
  if (auto* limit = LimitOf<TCp932MemoLimit>(edit))
    limit->Show(text);
  else
    edit.setPlainText(text);
}
