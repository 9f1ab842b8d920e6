#include "ui/Cp932Limit.h"

#include "base/CodePage.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QValidator>

namespace {

class TCp932LengthValidator final : public QValidator {
public:
  TCp932LengthValidator(int maxBytes, QObject* parent) : QValidator(parent), maxBytes_(maxBytes) {}

  State validate(QString& input, int&) const override {
    return Cp932ByteLength(input.toStdString()) <= static_cast<size_t>(maxBytes_) ? Acceptable
                                                                                  : Invalid;
  }

private:
  int maxBytes_;
};

size_t MemoBytes(const QString& text) {
  return Cp932ByteLength(text.toStdString()) + static_cast<size_t>(text.count('\n'));
}

} // namespace

void LimitCp932Bytes(QLineEdit& edit, int maxBytes) {
  edit.setValidator(new TCp932LengthValidator(maxBytes, &edit));
}

void LimitCp932Bytes(QPlainTextEdit& edit, int maxBytes) {
  // The last text within the limit comes back, with its cursor, when an edit
  // goes over it.
  auto accepted = std::make_shared<QString>(edit.toPlainText());
  auto cursorAt = std::make_shared<int>(0);
  QObject::connect(&edit, &QPlainTextEdit::cursorPositionChanged, &edit,
                   [&edit, cursorAt] { *cursorAt = edit.textCursor().position(); });
  QObject::connect(&edit, &QPlainTextEdit::textChanged, &edit,
                   [&edit, accepted, cursorAt, maxBytes] {
                     const QString text = edit.toPlainText();
                     if (MemoBytes(text) <= static_cast<size_t>(maxBytes)) {
                       *accepted = text;
                       return;
                     }
                     const int restoreAt = std::min(*cursorAt, static_cast<int>(accepted->size()));
                     const QSignalBlocker block(edit);
                     edit.setPlainText(*accepted);
                     QTextCursor cursor = edit.textCursor();
                     cursor.setPosition(restoreAt);
                     edit.setTextCursor(cursor);
                   });
}
