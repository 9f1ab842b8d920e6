#include "ui/FileDialogs.h"

#include <QFileDialog>

namespace {

class TQtFileDialogs final : public IFileDialogs {
public:
  std::string OpenFile(const std::string& title, const std::string& filter,
                       const std::string& defaultExt) override {
    QFileDialog dialog(nullptr, QString::fromStdString(title), QString(),
                       QString::fromStdString(filter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(QString::fromStdString(defaultExt));
    return Run(dialog);
  }

  std::string SaveFile(const std::string& title, const std::string& filter,
                       const std::string& defaultExt, const std::string& fileName) override {
    QFileDialog dialog(nullptr, QString::fromStdString(title), QString::fromStdString(fileName),
                       QString::fromStdString(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QString::fromStdString(defaultExt));
    // The dialog itself asks before an existing file is overwritten.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    return Run(dialog);
  }

private:
  static std::string Run(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
      return "";
    return dialog.selectedFiles().first().toStdString();
  }
};

IFileDialogs* injected = nullptr;

} // namespace

void SetFileDialogs(IFileDialogs* dialogs) {
  injected = dialogs;
}

IFileDialogs& FileDialogs() {
  static TQtFileDialogs real;
  return injected != nullptr ? *injected : real;
}
