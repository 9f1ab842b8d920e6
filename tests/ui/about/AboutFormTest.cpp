#include "ui/AboutForm.h"
#include "ui/UiWindows.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

class AboutFormTest : public QObject {
  Q_OBJECT

private slots:
  void cleanup() { Windows().FreeAll(); }

  void shownOnceWithItsContents() {
    Windows().ShowAbout();
    TAboutForm* form = Windows().About();
    QVERIFY(form->isVisible());
    Windows().ShowAbout();
    QCOMPARE(Windows().About(), form);
    QCOMPARE(form->windowTitle(), QString::fromUtf8("Teloria II について"));
    QCOMPARE(form->size(), QSize(418, 305));
    QCOMPARE(form->Title1Label->text(), QString("Teloria II"));
    QCOMPARE(form->Title2Label->text(), QString("Teloria II"));
    QCOMPARE(form->Title2Label->pos() - form->Title1Label->pos(), QPoint(2, 2));
    QCOMPARE(form->Label2->text(), QString("1.1"));
    QCOMPARE(form->Image1->pixmap().size(), QSize(20, 29));
    QVERIFY(!form->Image1->pixmap().toImage().isNull());
    QCOMPARE(form->UrlLabel->text(), QString("https://teloria.example/"));
    QCOMPARE(form->UrlLabel->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(!form->UrlLabel->toolTip().isEmpty());
    QCOMPARE(form->findChild<QPushButton*>("OkButton")->text(), QString::fromUtf8("閉じる"));

    QTest::mouseClick(form->OkButton, Qt::LeftButton);
    QVERIFY(!form->isVisible());
    Windows().ShowAbout();
    QCOMPARE(Windows().About(), form);
    QVERIFY(form->isVisible());
  }
};

QTEST_MAIN(AboutFormTest)
#include "AboutFormTest.moc"
#include "ui/UiWindows.h"
