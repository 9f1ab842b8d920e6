#pragma once

class QLineEdit;
class QPlainTextEdit;
class QString;

// Input limits counted in CP932 bytes, as the fields were sized on Windows:
// what the user types or pastes is refused when it would leave the text
// over the limit and longer than before. Texts the program shows are never
// cut, and the user may shorten one that is over the limit.
void LimitCp932Bytes(QLineEdit& edit, int maxBytes);
// Line breaks count as CR LF, the form the memo is stored in.
void LimitCp932Bytes(QPlainTextEdit& edit, int maxBytes);
// Show a stored text whole, whatever the edit's limit.
void ShowStoredText(QLineEdit& edit, const QString& text);
void ShowStoredText(QPlainTextEdit& edit, const QString& text);
