#include "ui/QtTranslations.h"

#include "settings/Logging.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool LoadQtTranslations(QCoreApplication& app) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  auto* translator = new QTranslator(&app);
  // An English locale has no file of its own: the program still reads as
  // the Japanese software it is.
  if (translator->load(QLocale(), "qtbase", "_", folder) ||
      translator->load(QLocale(QLocale::Japanese, QLocale::Japan), "qtbase", "_", folder)) {
    QCoreApplication::installTranslator(translator);
    return true;
  }
  delete translator;
  Log(llWarning, "Qt の日本語訳 (qtbase_ja.qm) が見つかりません。");
  return false;
}
