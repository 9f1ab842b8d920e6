#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The about window: the product's name and version, its picture and a link
// to the maker's web site. One instance, kept; closing hides it.
class TAboutForm final : public QDialog {
  Q_OBJECT
public:
  explicit TAboutForm(QWidget* parent = nullptr);

  static constexpr const char* VersionText = "1.1";
  static constexpr const char* HomePageUrl = "https://teloria.example/";
  static constexpr int Opacity = 248;

  void UrlLabelClick();
  void OkButtonClick();

  QLabel* Title1Label = nullptr;
  QLabel* Title2Label = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Image1 = nullptr;
  QLabel* UrlLabel = nullptr;
  QPushButton* OkButton = nullptr;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// The product picture, 20 × 29: a handset over a small display.
QPixmap ProductPicture();
