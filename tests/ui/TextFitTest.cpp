// Every text of every window fits the rectangle it is drawn in, in the font it is drawn
// in, and that font is the family the windows are set in, not a stand-in for it.
#include "DialogsFixture.h"
#include "song/Song.h"
#include "ui/DialogParts.h"
#include "ui/RenderProgressDialog.h"
#include "ui/SequencerWindow.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QTextDocument>
#include <QtTest>

#include <functional>
#include <optional>

using namespace lw;
using lw::test::DialogsFixture;

namespace {

// A text, the rectangle its widget lays it out in, and where it lands there.
struct TextPlace {
  QString text;
  QRect room;
  QRect extent;
};

// A label's room: its contents less the margin, less the indent on the sides it aligns to
// (with a frame and no indent set, half an x).
QRect LabelRoom(const QLabel& label, Qt::Alignment align) {
  const int margin = label.margin();
  QRect room = label.contentsRect().adjusted(margin, margin, -margin, -margin);
  int indent = label.indent();
  if (indent < 0 && label.frameWidth() > 0) {
    indent = QFontMetrics(label.font()).horizontalAdvance(QLatin1Char('x')) / 2 - margin;
  }
  if (indent > 0) {
    room.adjust(align & Qt::AlignLeft ? indent : 0, align & Qt::AlignTop ? indent : 0,
                align & Qt::AlignRight ? -indent : 0, align & Qt::AlignBottom ? -indent : 0);
  }
  return room;
}

std::optional<TextPlace> LabelText(const QLabel& label) {
  if (!label.pixmap().isNull() || label.text().isEmpty()) {
    return std::nullopt;
  }
  const Qt::Alignment align = QStyle::visualAlignment(label.layoutDirection(), label.alignment());
  const QRect room = LabelRoom(label, align);
  const bool rich = label.textFormat() == Qt::RichText ||
                    (label.textFormat() == Qt::AutoText && Qt::mightBeRichText(label.text()));
  if (rich) {
    QTextDocument document;
    document.setDefaultFont(label.font());
    document.setDocumentMargin(0);
    document.setHtml(label.text());
    if (label.wordWrap()) {
      document.setTextWidth(room.width());
    }
    const QSize size(qCeil(document.idealWidth()), qCeil(document.size().height()));
    return TextPlace{label.text(), room,
                     QStyle::alignedRect(label.layoutDirection(), align, size, room)};
  }
  const int flags = static_cast<int>(align) | (label.wordWrap() ? Qt::TextWordWrap : 0);
  return TextPlace{label.text(), room,
                   QFontMetrics(label.font()).boundingRect(room, flags, label.text())};
}

QStyleOptionButton ButtonOption(const QAbstractButton& button) {
  QStyleOptionButton option;
  option.initFrom(&button);
  option.text = button.text();
  option.icon = button.icon();
  option.iconSize = button.iconSize();
  if (const auto* push = qobject_cast<const QPushButton*>(&button)) {
    if (push->isDefault()) {
      option.features |= QStyleOptionButton::DefaultButton;
    }
    if (push->autoDefault()) {
      option.features |= QStyleOptionButton::AutoDefaultButton;
    }
    if (push->isFlat()) {
      option.features |= QStyleOptionButton::Flat;
    }
  }
  return option;
}

// A button's caption lies in the style's contents rectangle: centred on a push button,
// to the left on a check box or a radio button, after the icon if it has one.
std::optional<TextPlace> ButtonText(const QAbstractButton& button) {
  if (button.text().isEmpty()) {
    return std::nullopt;
  }
  const bool push = qobject_cast<const QPushButton*>(&button) != nullptr;
  const QStyle::SubElement element = push ? QStyle::SE_PushButtonContents
                                     : qobject_cast<const QCheckBox*>(&button) != nullptr
                                         ? QStyle::SE_CheckBoxContents
                                         : QStyle::SE_RadioButtonContents;
  const QStyleOptionButton option = ButtonOption(button);
  QRect room = button.style()->subElementRect(element, &option, &button);
  if (!button.icon().isNull()) {
    constexpr int kIconSpacing = 4; // what the styles leave between an icon and its caption
    room.setLeft(room.left() + button.iconSize().width() + kIconSpacing);
  }
  const Qt::Alignment align = push ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter;
  const int flags = static_cast<int>(QStyle::visualAlignment(button.layoutDirection(), align)) |
                    Qt::TextShowMnemonic;
  return TextPlace{button.text(), room,
                   QFontMetrics(button.font()).boundingRect(room, flags, button.text())};
}

// A box's text lies in the style's contents rectangle less the text margins, less the two
// pixels QLineEdit keeps either side; a pixel more goes to the cursor after the last
// character, or the box scrolls its text aside.
std::optional<TextPlace> LineEditText(const QLineEdit& edit) {
  if (edit.text().isEmpty()) {
    return std::nullopt;
  }
  QStyleOptionFrame option;
  option.initFrom(&edit);
  option.rect = edit.contentsRect();
  option.lineWidth =
      edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit) : 0;
  option.state |= QStyle::State_Sunken;
  constexpr int kSideMargin = 2;
  constexpr int kCursorWidth = 1;
  const QRect room = edit.style()
                         ->subElementRect(QStyle::SE_LineEditContents, &option, &edit)
                         .marginsRemoved(edit.textMargins())
                         .adjusted(kSideMargin, 0, -kSideMargin - kCursorWidth, 0);
  const Qt::Alignment align = QStyle::visualAlignment(edit.layoutDirection(), edit.alignment());
  return TextPlace{
      edit.text(), room,
      QFontMetrics(edit.font()).boundingRect(room, static_cast<int>(align), edit.displayText())};
}

std::optional<TextPlace> PlaceOf(const QWidget& widget) {
  if (const auto* edit = qobject_cast<const QLineEdit*>(&widget)) {
    return LineEditText(*edit);
  }
  if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
    return LabelText(*label);
  }
  if (qobject_cast<const QPushButton*>(&widget) != nullptr ||
      qobject_cast<const QCheckBox*>(&widget) != nullptr ||
      qobject_cast<const QRadioButton*>(&widget) != nullptr) {
    return ButtonText(static_cast<const QAbstractButton&>(widget));
  }
  return std::nullopt;
}

// A control a text could run into: another text, a box, a list or a gauge; not a panel
// or a frame drawn behind the texts.
bool IsControl(const QWidget& widget) {
  return PlaceOf(widget).has_value() || qobject_cast<const QLineEdit*>(&widget) != nullptr ||
         qobject_cast<const QAbstractScrollArea*>(&widget) != nullptr ||
         qobject_cast<const QProgressBar*>(&widget) != nullptr;
}

QString Where(const QRect& r) {
  return QStringLiteral("%1x%2 at %3,%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
}

// Everything wrong with one window's texts, a line each.
QStringList Misfits(const QString& window, const QWidget& root) {
  QStringList found;
  const QString family = WindowFontFamily();
  for (const QWidget* widget : root.findChildren<QWidget*>()) {
    const std::optional<TextPlace> place = PlaceOf(*widget);
    if (!place || widget->window() != &root) {
      continue;
    }
    const QString who =
        QStringLiteral("%1 / %2 \"%3\": ").arg(window, widget->objectName(), place->text);
    const QString drawnIn = QFontInfo(widget->font()).family();
    if (drawnIn != family) {
      found << who + QStringLiteral("drawn in %1, not %2").arg(drawnIn, family);
    }
    if (!place->room.contains(place->extent)) {
      found << who +
                   QStringLiteral("needs %1, has %2").arg(Where(place->extent), Where(place->room));
    }
    // A label sized to its text fits by making, but must stay clear of what is beside it.
    const QWidget* parent = widget->parentWidget();
    if (!parent->rect().contains(widget->geometry())) {
      found << who + QStringLiteral("runs off its window at %1").arg(Where(widget->geometry()));
    }
    const QObjectList siblings = parent->children();
    for (const QObject* object : siblings) {
      const auto* other = qobject_cast<const QWidget*>(object);
      if (other == nullptr || other == widget || !IsControl(*other) ||
          !other->geometry().intersects(widget->geometry())) {
        continue;
      }
      if (PlaceOf(*other) && siblings.indexOf(other) < siblings.indexOf(widget)) {
        continue; // reported from the other side
      }
      found << who + QStringLiteral("runs into %1 at %2")
                         .arg(other->objectName(), Where(other->geometry()));
    }
  }
  return found;
}

// Header sections (the sequencer's slot numbers) are drawn across their whole width.
QStringList HeaderMisfits(const QString& window, const QWidget& root) {
  QStringList found;
  for (const QHeaderView* header : root.findChildren<QHeaderView*>()) {
    if (header->isHidden() || header->model() == nullptr || header->window() != &root) {
      continue;
    }
    const QFontMetrics metrics(header->font());
    for (int i = 0; i < header->count(); ++i) {
      const QString text = header->model()->headerData(i, header->orientation()).toString();
      const int room = header->sectionSize(i);
      if (metrics.horizontalAdvance(text) > room) {
        found << QStringLiteral("%1 / %2 \"%3\": needs %4 pixels, has %5")
                     .arg(window, header->objectName(), text)
                     .arg(metrics.horizontalAdvance(text))
                     .arg(room);
      }
    }
  }
  return found;
}

// Builds and shows every window of the program as the program does, and hands each over
// while it is up.
void ForEachWindow(const std::function<void(const QString&, QWidget&)>& look) {
  DialogsFixture f;
  f.window->tempoBox()->setText(QString::number(kMaxTempo)); // the box at its widest
  f.window->show();
  look(QStringLiteral("main window"), *f.window);
  auto modal = [&](const QString& name, const std::function<void()>& open) {
    f.user = [&](QDialog& dialog) { look(name, dialog); };
    open();
  };
  modal(QStringLiteral("sample manager"), [&] { f.dialogs->ShowSampleManager(); });
  modal(QStringLiteral("step controllers"), [&] { f.dialogs->ShowControllers(); });
  f.dialogs->ShowSequencer();
  look(QStringLiteral("sequencer"), f.dialogs->sequencer());
  f.dialogs->renderWav().Show();
  look(QStringLiteral("render progress"), f.dialogs->renderWav());
  f.dialogs->renderWav().Hide();
  modal(QStringLiteral("bounce"), [&] { (void)f.dialogs->AskBounceName("loop"); });
  modal(QStringLiteral("export"), [&] { (void)f.dialogs->AskExport(true); });
  for (int which = 0; which < 3; ++which) {
    modal(QStringLiteral("about box %1").arg(which), [&] { f.dialogs->ShowAbout(which); });
  }
  modal(QStringLiteral("splash"), [&] { f.dialogs->ShowSplash(); });
  modal(QStringLiteral("audio and midi"), [&] {
    (void)f.dialogs->AskOutput(
        {}, "JACK, as \"LoopWren-01\": 8192 frames a period (185.76 ms), 18446744073709551615 "
            "xruns so far");
  });
}

} // namespace

class TextFitTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void everyTextFitsInTheWindowsFont();
  void aTextShortOfRoomIsReported();
};

void TextFitTest::everyTextFitsInTheWindowsFont() {
  QStringList windows;
  QStringList misfits;
  int texts = 0;
  ForEachWindow([&](const QString& name, QWidget& window) {
    windows << name;
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
      texts += widget->window() == &window && PlaceOf(*widget).has_value() ? 1 : 0;
    }
    misfits << Misfits(name, window) << HeaderMisfits(name, window);
  });
  QCOMPARE(windows.size(), 12);
  QVERIFY(texts > 0);
  for (const QString& misfit : misfits) {
    qWarning().noquote() << misfit;
  }
  QVERIFY2(misfits.isEmpty(), "texts that do not fit, listed above");
}

// The check is not blind: any text given less height than it takes, or a line less
// width, is reported by its widget's name. A text's extent is fractional and covers one
// pixel more or less depending on where it starts, so "less" is two pixels short.
void TextFitTest::aTextShortOfRoomIsReported() {
  QStringList missed;
  ForEachWindow([&](const QString& name, QWidget& window) {
    for (QWidget* widget : window.findChildren<QWidget*>()) {
      const std::optional<TextPlace> place = PlaceOf(*widget);
      if (!place || widget->window() != &window || !place->room.contains(place->extent)) {
        continue;
      }
      const QRect laidOut = widget->geometry();
      const auto* label = qobject_cast<const QLabel*>(widget);
      const QSize shortBy = place->room.size() - place->extent.size() + QSize(2, 2);
      QList<QSize> shrinks{{0, shortBy.height()}};
      if (label == nullptr || !label->wordWrap()) {
        shrinks.append({shortBy.width(), 0}); // a wrapped text would take another line
      }
      for (const QSize& shrink : shrinks) {
        widget->resize(laidOut.size() - shrink);
        const QString tag = QStringLiteral("%1 / %2 \"").arg(name, widget->objectName());
        if (Misfits(name, window).filter(tag).isEmpty()) {
          missed << tag + place->text + QStringLiteral("\" shrunk by ") +
                        QStringLiteral("%1x%2").arg(shrink.width()).arg(shrink.height());
        }
        widget->setGeometry(laidOut);
      }
    }
  });
  for (const QString& miss : missed) {
    qWarning().noquote() << miss;
  }
  QVERIFY2(missed.isEmpty(), "texts short of room that were not reported, listed above");
}

QTEST_MAIN(TextFitTest)
#include "TextFitTest.moc"
