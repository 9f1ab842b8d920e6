#pragma once

#include <QColor>
#include <QFrame>
#include <QPushButton>
#include <QWidget>

// Decoration widgets the windows are drawn with; they carry no behaviour.

// A rectangle filled with a two-colour linear gradient.
class TGradient : public QWidget {
  Q_OBJECT
public:
  TGradient(QWidget* parent, QColor begin, QColor end, Qt::Orientation direction);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QColor begin_;
  QColor end_;
  Qt::Orientation direction_;
};

// A panel with a border of one pixel on the chosen edges, in the chosen colour.
class TPanelEx : public QFrame {
  Q_OBJECT
public:
  explicit TPanelEx(QWidget* parent, QColor borderColor = Qt::black,
                    Qt::Edges borders = Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge |
                                        Qt::BottomEdge);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QColor borderColor_;
  Qt::Edges borders_;
};

// A push button painted with a vertical gradient.
class TButtonEx : public QPushButton {
  Q_OBJECT
public:
  TButtonEx(const QString& caption, QWidget* parent);

protected:
  void paintEvent(QPaintEvent* event) override;
};

// Keeps `child` covering its parent's whole client area, as the parent resizes.
void FillParent(QWidget* child);
