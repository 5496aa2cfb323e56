#include "ui/SampleMenu.h"
#include "MainWindowFixture.h"

#include <QMenu>
#include <QScreen>
#include <QtTest>

using namespace lw;
using lw::test::MainWindowFixture;

namespace {

// Three columns: the last choice (slot 2) and a separator over four samples, then three,
// then two.
std::vector<SampleMenuEntry> Entries() {
  return {{"Snare", "MILU", false, 2}, {"-", "-", false},          {"Kick", "MI00", false},
          {"Hat", "MI01", false},      {"Snare", "MI02", false},   {"clap", "MI03", false},
          {"Kalimba", "MI04", true},   {"Ride", "MI05", false},    {"Bass", "MI06", false},
          {"Tom", "MI07", true},       {"Étouffée", "MI08", false}};
}

// A popup opened on the screen, recording what it reports.
struct Popup {
  SampleMenu menu{nullptr};
  QStringList chosen;

  explicit Popup(const std::vector<SampleMenuEntry>& entries = Entries()) {
    menu.onChoose = [this](const QString& name) {
      QVERIFY2(!menu.isVisible(), "reported only once hidden");
      chosen << name;
    };
    menu.Build(entries);
    menu.PopupAt({20, 20});
  }
  QPoint Centre(const QString& name) const { return menu.EntryRect(name).center(); }
  QImage Picture(const QString& name) { return menu.grab(menu.EntryRect(name)).toImage(); }
  // The popup's area no entry covers, which the menu's frame and margins fill.
  QMargins Margins() const {
    QRect bounds;
    for (const auto& column : menu.Columns()) {
      for (const QString& name : column) {
        bounds |= menu.EntryRect(name);
      }
    }
    return {bounds.left(), bounds.top(), menu.width() - 1 - bounds.right(),
            menu.height() - 1 - bounds.bottom()};
  }
};

// Types a single character, or presses keys named as shortcuts are ("Down", "Ctrl+S").
void Press(SampleMenu& menu, const QString& key) {
  if (key.size() == 1) {
    const auto code = static_cast<Qt::Key>(key.toUpper().front().unicode());
    QTest::sendKeyEvent(QTest::Click, &menu, code, key, Qt::NoModifier);
    return;
  }
  const QKeyCombination combination = QKeySequence::fromString(key)[0];
  QVERIFY2(combination.key() != Qt::Key_unknown, qPrintable(key));
  QTest::keyClick(&menu, combination.key(), combination.keyboardModifiers());
}

} // namespace

class SampleMenuTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void keys_data();
  void keys();
  void pointer();
  void sizedToItsEntries();
  void staysOnTheScreen();
};

void SampleMenuTest::keys_data() {
  QTest::addColumn<QString>("keys");
  QTest::addColumn<QString>("trace");  // the entry highlighted after each key, "." for none
  QTest::addColumn<QString>("chosen"); // by the last key; empty: nothing
  const char* const rows[][4] = {
      {"up and down, through columns, past the separator, round the ends",
       "Down Down Down Down Down Down Up Up End Down Up Home Up",
       "MILU MI00 MI01 MI02 MI03 MI04 MI03 MI02 MI08 MILU MI08 MILU MI08", ""},
      {"left and right keep the row, clamped, never onto the separator",
       "Left Right Right Right Left Down Left Left Down Down Right",
       "MILU MI04 MI07 MI07 MI04 MI05 MI00 MI00 MI01 MI02 MI06", ""},
      {"letters step through the entries they start, round the end", "k k k Down x Ctrl+S",
       "MI00 MI04 MI00 MI01 MI01 MI01", ""},
      {"a letter whose entries are one sample, its last use among them", "s", "", "MILU"},
      {"Return with nothing highlighted chooses the first entry", "Return", "", "MILU"},
      {"Return on an entry", "Down Down Return", "MILU MI00", "MI00"},
      {"Enter", "Up Enter", "MI08", "MI08"},
      {"Space", "Down Right Space", "MILU MI04", "MI04"},
      {"a letter one entry starts", "r", "", "MI05"},
      {"in either case", "C", "", "MI03"},
      {"accented", "é", "", "MI08"},
      {"Escape", "Down Esc", "MILU", ""}};
  for (const auto& row : rows) {
    QTest::newRow(row[0]) << row[1] << row[2] << row[3];
  }
}

void SampleMenuTest::keys() {
  QFETCH(QString, keys);
  QFETCH(QString, trace);
  QFETCH(QString, chosen);
  Popup p;
  QCOMPARE(p.menu.Highlighted(), QString());
  const QStringList pressed = keys.split(' ');
  const QStringList highlighted = trace.split(' ', Qt::SkipEmptyParts);
  for (int i = 0; i < pressed.size(); ++i) {
    Press(p.menu, pressed[i]);
    if (i < highlighted.size()) {
      QCOMPARE(p.menu.Highlighted(), highlighted[i] == "." ? QString() : highlighted[i]);
    }
  }
  QCOMPARE(p.chosen, chosen.isEmpty() ? QStringList() : QStringList{chosen});
  QCOMPARE(p.menu.isVisible(), chosen.isEmpty() && !keys.endsWith("Esc"));
  // Opened again, nothing is highlighted until a key or the pointer says so.
  p.menu.PopupAt({40, 40});
  QCOMPARE(p.menu.Highlighted(), QString());
}

void SampleMenuTest::pointer() {
  Popup p;
  const QImage plainKick = p.Picture("MI00");
  // The press that opened the popup, let go over it, chooses nothing.
  MainWindowFixture::Release(&p.menu, p.Centre("MI01"));
  QVERIFY(p.menu.isVisible());
  for (const auto& column : p.menu.Columns()) {
    for (const QString& name : column) {
      MainWindowFixture::Move(&p.menu, p.Centre(name), Qt::NoButton);
      QCOMPARE(p.menu.Highlighted(), name == "-" ? QString() : name);
    }
  }
  MainWindowFixture::Move(&p.menu, p.Centre("MI00"), Qt::NoButton);
  QVERIFY(p.Picture("MI00") != plainKick);
  MainWindowFixture::Move(&p.menu, {-5, -5}, Qt::NoButton);
  QCOMPARE(p.menu.Highlighted(), QString());
  QCOMPARE(p.Picture("MI00"), plainKick);

  MainWindowFixture::Click(&p.menu, p.Centre("-"));
  QVERIFY(p.menu.isVisible() && p.chosen.isEmpty());
  MainWindowFixture::Click(&p.menu, p.Centre("MI04"));
  QCOMPARE(p.chosen, QStringList{"MI04"});
  // Pressed elsewhere, dragged onto an entry and let go there.
  p.menu.PopupAt({40, 40});
  MainWindowFixture::Move(&p.menu, p.Centre("MI07"), Qt::LeftButton);
  MainWindowFixture::Release(&p.menu, p.Centre("MI07"));
  QCOMPARE(p.chosen, (QStringList{"MI04", "MI07"}));
  p.menu.PopupAt({40, 40});
  MainWindowFixture::Press(&p.menu, {p.menu.width() + 10, 5});
  QVERIFY(!p.menu.isVisible());
  QCOMPARE(p.chosen.size(), 2);
}

void SampleMenuTest::sizedToItsEntries() {
  // Two short entries: no larger than the platform's own menu of the same lines.
  Popup two({{"Kick", "MI00", false}, {"Hat", "MI01", false}});
  QMenu reference;
  reference.addAction(QStringLiteral("Kick"));
  reference.addAction(QStringLiteral("Hat"));
  QVERIFY(two.menu.width() <= reference.sizeHint().width());
  QVERIFY(two.menu.height() <= reference.sizeHint().height());

  // Columns side by side, each as wide as its widest entry, the tallest filling the
  // height: the same margin on opposite sides, whatever the entries.
  Popup before;
  const QMargins margins = before.Margins();
  QCOMPARE(margins.left(), margins.right());
  QCOMPARE(margins.top(), margins.bottom());
  QCOMPARE(two.Margins(), margins);
  QCOMPARE(before.menu.EntryRect("MI04").left(), before.menu.EntryRect("MI03").right() + 1);
  QCOMPARE(before.menu.EntryRect("MI07").left(), before.menu.EntryRect("MI06").right() + 1);

  // A longer caption widens its own column and the popup by as much, nothing else.
  std::vector<SampleMenuEntry> entries = Entries();
  entries[7].caption = "Ride, a long one from the far end of the shelf";
  Popup after(entries);
  const int growth = after.menu.EntryRect("MI05").width() - before.menu.EntryRect("MI05").width();
  QVERIFY(growth > 0);
  QCOMPARE(after.menu.EntryRect("MI00"), before.menu.EntryRect("MI00"));
  QCOMPARE(after.menu.EntryRect("MI08"), before.menu.EntryRect("MI08").translated(growth, 0));
  QCOMPARE(after.menu.size(), before.menu.size() + QSize(growth, 0));

  // An '&' takes room of its own rather than marking a shortcut.
  const QString caption = QStringLiteral("Rhythm & Blues, brushed snare, left hand");
  Popup ampersand({{caption, "MI00", false}});
  Popup plain({{QString(caption).remove('&'), "MI00", false}});
  QCOMPARE(ampersand.menu.Caption("MI00"), caption);
  QVERIFY(ampersand.menu.width() > plain.menu.width());
}

// Opened anywhere on the screen, up to its very corner, the popup stays on it, moved only
// off the sides it would run over and only as far as that takes.
void SampleMenuTest::staysOnTheScreen() {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  Popup p;
  for (const QPointF share :
       {QPointF(0, 0), QPointF(0.5, 0.5), QPointF(0.99, 0.3), QPointF(0.2, 0.99), QPointF(1, 1)}) {
    const QPoint at(area.x() + qRound(share.x() * (area.width() - 1)),
                    area.y() + qRound(share.y() * (area.height() - 1)));
    p.menu.PopupAt(at);
    const QRect shown = p.menu.geometry();
    QVERIFY(area.contains(shown));
    const bool fitsAcross = at.x() + shown.width() <= area.right() + 1;
    const bool fitsDown = at.y() + shown.height() <= area.bottom() + 1;
    QCOMPARE(fitsAcross ? shown.left() : shown.right(), fitsAcross ? at.x() : area.right());
    QCOMPARE(fitsDown ? shown.top() : shown.bottom(), fitsDown ? at.y() : area.bottom());
    QVERIFY(share != QPointF(1, 1) || (!fitsAcross && !fitsDown));
  }
}

QTEST_MAIN(SampleMenuTest)
#include "SampleMenuTest.moc"
