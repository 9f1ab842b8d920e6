#pragma once

class QLineEdit;
class QPlainTextEdit;

// Input limits counted in CP932 bytes, as the fields were sized on Windows:
// an edit that would exceed the limit is refused as it is typed or pasted.
void LimitCp932Bytes(QLineEdit& edit, int maxBytes);
// Line breaks count as CR LF, the form the memo is stored in.
void LimitCp932Bytes(QPlainTextEdit& edit, int maxBytes);
