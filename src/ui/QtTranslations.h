#pragma once

class QCoreApplication;

// Loads Qt's own texts (the file dialogs, the buttons of message boxes) in
// the user's language, else in Japanese, the program's language. Returns
// whether a translation was found; without one Qt stays in English.
bool LoadQtTranslations(QCoreApplication& app);
