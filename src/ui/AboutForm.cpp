#include "ui/AboutForm.h"

#include "settings/Logging.h"
#include "ui/EventGuard.h"
#include "ui/Fonts.h"
#include "ui/MessageBoxes.h"
#include "ui/PlatformAbilities.h"
#include "ui/WindowFront.h"

#include <QDesktopServices>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QUrl>
#include <memory>

namespace {

const QColor LightBlue(0xDD, 0xEE, 0xFF);
const QColor DeepBlue(0x1E, 0x4E, 0x9A);

QLabel* MakeLabel(const char* name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  return label;
}

// The shadowed title: the same text twice, 2 pixels apart.
void PlaceTitle(QLabel* label, int x, int y, const QColor& colour) {
  QFont font = label->font();
  font.setPixelSize(20);
  font.setBold(true);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  label->adjustSize();
  label->move(x, y);
}

} // namespace

QPixmap ProductPicture() {
  QPixmap picture(20, 29);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  // Body of the adapter.
  QLinearGradient body(0, 0, 20, 29);
  body.setColorAt(0, QColor(0x6F, 0xA8, 0xDC));
  body.setColorAt(1, DeepBlue);
  painter.setBrush(body);
  painter.setPen(QPen(DeepBlue.darker(), 1));
  painter.drawRoundedRect(QRectF(1.5, 1.5, 17, 26), 3, 3);
  // Its display, where the number appears.
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xE8, 0xF6, 0xE0));
  painter.drawRect(QRectF(4, 5, 12, 6));
  // A handset below it.
  QPainterPath handset;
  handset.moveTo(4, 20);
  handset.quadTo(10, 13, 16, 20);
  painter.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(handset);
  return picture;
}

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
  MakeOwnWindow(*this);
  setObjectName("AboutForm");
  setWindowTitle(QString::fromUtf8("Teloria II について"));
  QFont font = ProportionalGothic(9);
  font.setPixelSize(12);
  setFont(font);
  setFixedSize(418, 305);
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, LightBlue);
  setPalette(palette);

  Image1 = MakeLabel("Image1", {}, this);
  Image1->setPixmap(ProductPicture());
  Image1->setGeometry(40, 48, 20, 29);
  Title2Label = MakeLabel("Title2Label", "Teloria II", this);
  PlaceTitle(Title2Label, 72, 52, Qt::gray);
  Title1Label = MakeLabel("Title1Label", "Teloria II", this);
  PlaceTitle(Title1Label, 70, 50, DeepBlue);
  Label2 = MakeLabel("Label2", VersionText, this);
  Label2->adjustSize();
  Label2->move(Title1Label->geometry().right() + 12, 60);

  UrlLabel = MakeLabel("UrlLabel", QString::fromUtf8(HomePageUrl), this);
  QFont link = UrlLabel->font();
  link.setUnderline(true);
  UrlLabel->setFont(link);
  QPalette linkPalette = UrlLabel->palette();
  linkPalette.setColor(QPalette::WindowText, Qt::blue);
  UrlLabel->setPalette(linkPalette);
  UrlLabel->setCursor(Qt::PointingHandCursor);
  UrlLabel->setToolTip(QString::fromUtf8("クリックするとブラウザでホームページを開きます"));
  UrlLabel->adjustSize();
  UrlLabel->move(72, 150);
  UrlLabel->installEventFilter(this);

  OkButton = new QPushButton(QString::fromUtf8("閉じる"), this);
  OkButton->setObjectName("OkButton");
  OkButton->setGeometry(160, 250, 100, 30);
  connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });

  // FormCreate: the constant opacity of the layered window.
  if (PlatformSetsWindowOpacity())
    setWindowOpacity(Opacity / 255.0);
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == UrlLabel && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    UrlLabelClick();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TAboutForm::UrlLabelClick() {
  GuardEvent(
      "ホームページを開けません。",
      [] {
        if (!QDesktopServices::openUrl(QUrl(QString::fromUtf8(HomePageUrl))))
          Log(llWarning, "ホームページを開けません。");
      },
      [](const std::exception& e) { ShowErrorMessage(e.what()); });
}

void TAboutForm::OkButtonClick() {
  hide();
}
