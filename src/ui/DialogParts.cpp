#include "ui/DialogParts.h"

#include "ui/Skin.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QWidget>

namespace lw {

namespace {

class RoundedPanel : public QWidget {
public:
  RoundedPanel(QWidget* parent, const char* name, QRect geometry) : QWidget(parent) {
    setObjectName(name);
    setGeometry(geometry);
  }

protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kFieldColour);
    painter.drawRoundedRect(rect(), 8, 8);
  }
};

} // namespace

QWidget* AddRoundedPanel(QWidget* parent, const char* name, QRect geometry) {
  return new RoundedPanel(parent, name, geometry);
}

QLabel* AddLabel(QWidget* parent, const QString& name, const QString& text, QPoint at) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->move(at);
  label->adjustSize();
  return label;
}

void SetBackground(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  palette.setColor(widget->backgroundRole(), colour); // buttons fill with their own role
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

void SetFieldColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Base, colour);
  widget->setPalette(palette);
}

namespace {

QFont WindowFamilyFont(bool bold) {
  QFont font(WindowFontFamily());
  font.setStyleHint(QFont::SansSerif);
  font.setBold(bold);
  return font;
}

} // namespace

QString WindowFontFamily() {
  return QStringLiteral("DejaVu Sans Condensed");
}

QFont WindowFont(qreal points, bool bold) {
  QFont font = WindowFamilyFont(bold);
  font.setPointSizeF(points);
  return font;
}

QFont WindowFontPixels(int pixels, bool bold) {
  QFont font = WindowFamilyFont(bold);
  font.setPixelSize(pixels);
  return font;
}

void CentreOnScreen(QWidget* window) {
  const QWidget* parent = window->parentWidget();
  QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    return;
  }
  const QRect area = screen->availableGeometry();
  const QSize outer = window->frameGeometry().size();
  window->move(area.center() - QPoint(outer.width() / 2, outer.height() / 2));
}

std::string StoredText(const QString& text) {
  return text.toStdString();
}

QString ShownText(const std::string& text) {
  return QString::fromStdString(text);
}

} // namespace lw
