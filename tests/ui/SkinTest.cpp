// The painted skin as the windows will load it from the resources: every picture at
// both densities and exact sizes, and the properties the main window relies on when
// it places pictures over each other, swaps them and draws on the lcd.
#include "SkinResources.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <set>
#include <vector>

namespace {

struct Expected {
  const char* name;
  int width, height;
};

const std::vector<Expected>& allPictures() {
  static const std::vector<Expected> all = {{"channel_panel", 149, 118},
                                            {"lcd", 426, 81},
                                            {"keyboard_panel", 221, 125},
                                            {"pitch_panel", 59, 94},
                                            {"tempo_panel", 132, 115},
                                            {"effects_panel", 96, 171},
                                            {"pattern_frame", 96, 61},
                                            {"bank_frame", 96, 61},
                                            {"bp1", 77, 37},
                                            {"bp2", 77, 37},
                                            {"bp3", 77, 37},
                                            {"bp4", 77, 37},
                                            {"bp5", 77, 37},
                                            {"bp6", 77, 37},
                                            {"bp7", 77, 37},
                                            {"bp8", 77, 37},
                                            {"samples_pressed", 72, 25},
                                            {"song_pressed", 72, 25},
                                            {"samples_button", 72, 25},
                                            {"song_button", 72, 25},
                                            {"emblem", 109, 96},
                                            {"logo", 166, 38},
                                            {"cover_keys", 209, 64},
                                            {"cover_pitch", 45, 47},
                                            {"active_led", 14, 5},
                                            {"play_on", 42, 20},
                                            {"play_off", 42, 20},
                                            {"distort_on", 15, 13},
                                            {"distort_off", 15, 13},
                                            {"octave_on", 23, 16},
                                            {"octave_off", 23, 16},
                                            {"white_step_on", 23, 25},
                                            {"white_step_off", 23, 25},
                                            {"black_step_on", 23, 25},
                                            {"black_step_off", 23, 25},
                                            {"minus_10", 23, 25},
                                            {"plus_10", 23, 25},
                                            {"knobline", 760, 19},
                                            {"symbolline", 120, 30},
                                            {"splash", 452, 303},
                                            {"about_loopwren", 222, 49},
                                            {"about_kestra", 320, 85},
                                            {"about_kestra_strip", 320, 15},
                                            {"about_author", 250, 221},
                                            {"delete16", 16, 16},
                                            {"delete16_disabled", 16, 16},
                                            {"replace16", 16, 16},
                                            {"replace16_disabled", 16, 16},
                                            {"icon", 256, 256}};
  return all;
}

const std::set<QString> kSeeThrough = {"icon", "delete16", "delete16_disabled", "replace16",
                                       "replace16_disabled"};
const QRgb kLcdBlue = qRgb(111, 168, 239);
const QRgb kWindowColour = qRgb(197, 155, 114);

QString path(const QString& name, int scale) {
  return QStringLiteral(":/skin/%1%2.png").arg(name, scale == 2 ? "@2x" : "");
}

QImage load(const QString& name, int scale = 1) {
  QImage image(path(name, scale));
  return image.convertToFormat(QImage::Format_ARGB32);
}

int luma(QRgb c) {
  return (qRed(c) * 299 + qGreen(c) * 587 + qBlue(c) * 114) / 1000;
}

double meanLuma(const QImage& image) {
  double sum = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      sum += luma(image.pixel(x, y));
  return sum / (image.width() * image.height());
}

int maxChannelDifference(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                   std::abs(qBlue(a) - qBlue(b))});
}

// A rectangle given in 1x pixels, as the window's coordinates are, taken from a picture
// at either density.
QImage cut(const QImage& image, const QRect& logical, int scale) {
  return image.copy(QRect(logical.topLeft() * scale, logical.size() * scale));
}

int differingPixels(const QImage& a, const QImage& b) {
  int n = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      n += a.pixel(x, y) != b.pixel(x, y);
  return n;
}

// The main window's geometry the pictures must fit, in window coordinates.
const QPoint kChannelPanel{8, 8}, kKeyboardPanel{166, 96}, kPitchPanel{394, 96},
    kTempoPanel{460, 96}, kEffectsPanel{600, 40};

QRect onPanel(QPoint panel, const QRect& windowRect) {
  return windowRect.translated(-panel);
}

} // namespace

TEST(SkinPictures, EveryPictureExistsAtBothDensitiesWithItsExactSize) {
  for (const Expected& e : allPictures()) {
    SCOPED_TRACE(e.name);
    const QImage one(path(e.name, 1));
    const QImage two(path(e.name, 2));
    ASSERT_FALSE(one.isNull());
    ASSERT_FALSE(two.isNull());
    EXPECT_EQ(one.size(), QSize(e.width, e.height));
    EXPECT_EQ(two.size(), QSize(2 * e.width, 2 * e.height));
    // Qt reads the density from the @2x name, so a window can use either picture as is.
    EXPECT_EQ(two.devicePixelRatio(), 2.0);
    EXPECT_EQ(two.deviceIndependentSize(), QSizeF(e.width, e.height));
  }
}

namespace {

// The picture as an eye sees it from a little way off: brightness over mid grey, in
// 1x pixels (a 2x picture averaged over 2 x 2 blocks), softened over 3 x 3 pixels.
std::vector<double> softLuma(const QImage& image, int scale) {
  const int w = image.width() / scale, h = image.height() / scale;
  std::vector<double> sharp(w * h), soft(w * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double sum = 0;
      for (int dy = 0; dy < scale; ++dy)
        for (int dx = 0; dx < scale; ++dx) {
          const QRgb c = image.pixel(x * scale + dx, y * scale + dy);
          sum += (luma(c) * qAlpha(c) + 128.0 * (255 - qAlpha(c))) / 255.0;
        }
      sharp[y * w + x] = sum / (scale * scale);
    }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double sum = 0;
      int n = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
          if (x + dx >= 0 && x + dx < w && y + dy >= 0 && y + dy < h) {
            sum += sharp[(y + dy) * w + x + dx];
            ++n;
          }
      soft[y * w + x] = sum / n;
    }
  return soft;
}

} // namespace

TEST(SkinPictures, TheDoubleDensityPictureIsTheSameDrawing) {
  for (const Expected& e : allPictures()) {
    SCOPED_TRACE(e.name);
    const std::vector<double> one = softLuma(load(e.name, 1), 1);
    const std::vector<double> two = softLuma(load(e.name, 2), 2);
    double total = 0;
    for (size_t i = 0; i < one.size(); ++i)
      total += std::abs(one[i] - two[i]);
    // Text and hairlines land on slightly different pixels at the two densities; a
    // picture drawn at the wrong scale or in the wrong place differs by far more.
    EXPECT_LT(total / one.size(), 6.0);
  }
}

TEST(SkinPictures, PicturesOnTheWindowAreOpaqueAndTheIconIsRounded) {
  for (const Expected& e : allPictures()) {
    if (kSeeThrough.count(e.name))
      continue;
    SCOPED_TRACE(e.name);
    for (int scale : {1, 2}) {
      const QImage image = load(e.name, scale);
      bool opaque = true;
      for (int y = 0; y < image.height() && opaque; ++y)
        for (int x = 0; x < image.width() && opaque; ++x)
          opaque = qAlpha(image.pixel(x, y)) == 255;
      EXPECT_TRUE(opaque);
    }
  }
  const QImage icon = load("icon");
  EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(icon.pixel(255, 255)), 0);
  EXPECT_EQ(qAlpha(icon.pixel(128, 128)), 255);
  EXPECT_EQ(qAlpha(load("delete16").pixel(0, 0)), 0);
}

TEST(SkinPictures, DecorationBlendsIntoTheWindowBackground) {
  for (const char* name : {"emblem", "logo", "channel_panel", "lcd", "effects_panel",
                           "samples_button", "about_loopwren"})
    for (int scale : {1, 2}) {
      SCOPED_TRACE(name);
      const QImage image = load(name, scale);
      EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, kWindowColour & 0xFFFFFF);
      EXPECT_EQ(image.pixel(image.width() - 1, image.height() - 1) & 0xFFFFFF,
                kWindowColour & 0xFFFFFF);
    }
  const QImage kestra = load("about_kestra");
  EXPECT_EQ(kestra.pixel(kestra.width() - 1, 0) & 0xFFFFFF, qRgb(255, 226, 196) & 0xFFFFFF);
}

TEST(SkinLcd, CellsTheProgramFillsArePlainLcdBlue) {
  for (int scale : {1, 2}) {
    const QImage lcd = load("lcd", scale);
    for (int step = 0; step < 16; ++step) {
      const int x = 21 * step;
      for (const QRect cell : {QRect(QPoint(69 + x, 29), QPoint(84 + x, 44)),
                               QRect(QPoint(72 + x, 59), QPoint(80 + x, 67))}) {
        const QImage area = cut(lcd, cell, scale);
        int off = 0;
        for (int yy = 0; yy < area.height(); ++yy)
          for (int xx = 0; xx < area.width(); ++xx)
            off += (area.pixel(xx, yy) & 0xFFFFFF) != (kLcdBlue & 0xFFFFFF);
        EXPECT_EQ(off, 0) << "step " << step << " at scale " << scale;
      }
    }
  }
}

TEST(SkinLcd, StepNumbersAndRowLabelsArePrinted) {
  const QImage lcd = load("lcd");
  std::vector<QImage> squares;
  for (int i = 0; i < 16; ++i) {
    const QImage inside = cut(lcd, QRect(67 + 21 * i + 2, 5 + 2, 15, 15), 1);
    int ink = 0;
    for (int y = 0; y < inside.height(); ++y)
      for (int x = 0; x < inside.width(); ++x)
        ink += luma(inside.pixel(x, y)) < 90;
    EXPECT_GE(ink, 8) << "number " << i + 1;
    for (const QImage& earlier : squares)
      EXPECT_GT(differingPixels(earlier, inside), 10) << "number " << i + 1;
    squares.push_back(inside);
  }
  for (const QRect row : {QRect(4, 5, 60, 19), QRect(4, 27, 60, 19), QRect(4, 52, 60, 22)}) {
    const QImage label = cut(lcd, row, 1);
    int ink = 0;
    for (int y = 0; y < label.height(); ++y)
      for (int x = 0; x < label.width(); ++x)
        ink += luma(label.pixel(x, y)) < 90;
    EXPECT_GE(ink, 20) << "label at y " << row.y();
  }
}

namespace {

// The cell regions of the bank and pattern panels, as the click mapping divides them:
// column = x div 19 (the 77th pixel column still belongs to the fourth), row = y div 18.
QRect cellRegion(int cell) {
  const int column = cell % 4, row = cell / 4;
  return QRect(QPoint(19 * column, 18 * row),
               QPoint(column == 3 ? 76 : 19 * column + 18, row == 1 ? 36 : 18 * row + 17));
}

} // namespace

TEST(SkinCells, EachTemplateLightsOnlyItsOwnCell) {
  for (int scale : {1, 2}) {
    std::vector<QImage> panels;
    for (int n = 1; n <= 8; ++n)
      panels.push_back(load(QStringLiteral("bp%1").arg(n), scale));
    for (int n = 0; n < 8; ++n) {
      SCOPED_TRACE(testing::Message() << "bp" << n + 1 << " at scale " << scale);
      int brightest = -1;
      double best = 0, runnerUp = 0;
      for (int cell = 0; cell < 8; ++cell) {
        const double l = meanLuma(cut(panels[n], cellRegion(cell), scale));
        if (l > best) {
          runnerUp = best;
          best = l;
          brightest = cell;
        } else {
          runnerUp = std::max(runnerUp, l);
        }
      }
      EXPECT_EQ(brightest, n);
      EXPECT_GT(best - runnerUp, 40.0);
      // Two templates differ only inside the two cells they light.
      for (int m = 0; m < 8; ++m) {
        const QRect a = cellRegion(n), b = cellRegion(m);
        int strays = 0;
        for (int y = 0; y < panels[n].height(); ++y)
          for (int x = 0; x < panels[n].width(); ++x) {
            const QPoint at(x / scale, y / scale);
            strays += panels[n].pixel(x, y) != panels[m].pixel(x, y) && !a.contains(at) &&
                      !b.contains(at);
          }
        EXPECT_EQ(strays, 0) << "against bp" << m + 1;
      }
    }
  }
}

namespace {

// Where the pointer of a knob frame points, in degrees clockwise from straight up,
// found from the light pointer pixels on the dark knob cap.
double pointerAngle(const QImage& frame, int scale) {
  const double centre = 9.5 * scale;
  double sx = 0, sy = 0;
  int n = 0;
  for (int y = 0; y < frame.height(); ++y)
    for (int x = 0; x < frame.width(); ++x) {
      const double dx = x + 0.5 - centre, dy = y + 0.5 - centre;
      const double r = std::hypot(dx, dy) / scale;
      if (r < 2.0 || r > 7.5 || luma(frame.pixel(x, y)) < 170)
        continue;
      sx += dx;
      sy += dy;
      ++n;
    }
  if (n == 0)
    return std::nan("");
  return std::atan2(sx, -sy) * 180.0 / std::numbers::pi;
}

} // namespace

TEST(SkinKnobs, FortyDistinctFramesSweepClockwiseFromMinimumToMaximum) {
  for (int scale : {1, 2}) {
    SCOPED_TRACE(scale);
    const QImage strip = load("knobline", scale);
    std::vector<QImage> frames;
    frames.reserve(40);
    for (int i = 0; i < 40; ++i)
      frames.push_back(cut(strip, QRect(19 * i, 0, 19, 19), scale));
    for (int i = 0; i < 40; ++i)
      for (int j = i + 1; j < 40; ++j)
        EXPECT_GT(differingPixels(frames[i], frames[j]), 0) << i << " and " << j;
    double previous = -180;
    for (int i = 0; i < 40; ++i) {
      const double a = pointerAngle(frames[i], scale);
      EXPECT_GT(a, previous) << "frame " << i;
      previous = a;
    }
    EXPECT_NEAR(pointerAngle(frames[0], scale), -150, 8);
    EXPECT_NEAR(pointerAngle(frames[20], scale), 0, 8);
    EXPECT_NEAR(pointerAngle(frames[39], scale), 150, 8);
  }
}

TEST(SkinKnobs, KnobsSitOnTheirPanelsWithoutASeam) {
  const struct {
    const char* panel;
    QPoint origin;
    std::vector<QPoint> knobs;
  } seats[] = {{"channel_panel",
                kChannelPanel,
                {{28, 23}, {28, 52}, {28, 82}, {61, 23}, {61, 52}, {61, 82}}},
               {"pitch_panel", kPitchPanel, {{414, 144}}},
               {"tempo_panel", kTempoPanel, {{483, 164}}},
               {"effects_panel", kEffectsPanel, {{622, 77}, {656, 77}, {622, 165}, {656, 165}}}};
  for (int scale : {1, 2}) {
    const QImage frame = cut(load("knobline", scale), QRect(19 * 20, 0, 19, 19), scale);
    for (const auto& seat : seats) {
      const QImage panel = load(seat.panel, scale);
      for (QPoint knob : seat.knobs) {
        SCOPED_TRACE(testing::Message() << seat.panel << " knob at " << knob.x() << "," << knob.y()
                                        << " scale " << scale);
        const QImage under = cut(panel, QRect(knob - seat.origin, QSize(19, 19)), scale);
        int worst = 0;
        for (int y = 0; y < under.height(); ++y)
          for (int x = 0; x < under.width(); ++x) {
            const double r = std::hypot(x + 0.5 - 9.5 * scale, y + 0.5 - 9.5 * scale) / scale;
            if (r > 11.5) // beyond the knob and its shadow: only the panel and its scale
              worst = std::max(worst, maxChannelDifference(under.pixel(x, y), frame.pixel(x, y)));
          }
        EXPECT_LE(worst, 2);
      }
    }
  }
}

TEST(SkinSymbols, SixteenDistinctSymbolsOnLcdBlue) {
  for (int scale : {1, 2}) {
    const QImage strip = load("symbolline", scale);
    std::vector<QImage> symbols;
    symbols.reserve(16);
    for (int i = 0; i < 16; ++i)
      symbols.push_back(cut(strip, QRect(15 * (i % 8), 15 * (i / 8), 15, 15), scale));
    for (int i = 0; i < 16; ++i) {
      SCOPED_TRACE(testing::Message() << "symbol " << i << " scale " << scale);
      const QImage& s = symbols[i];
      int blue = 0, ink = 0, rim = 0, rimBlue = 0;
      for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) {
          const bool isBlue = (s.pixel(x, y) & 0xFFFFFF) == (kLcdBlue & 0xFFFFFF);
          blue += isBlue;
          ink += luma(s.pixel(x, y)) < 80;
          if (x == 0 || y == 0 || x == s.width() - 1 || y == s.height() - 1) {
            ++rim;
            rimBlue += isBlue;
          }
        }
      const int area = s.width() * s.height();
      // The background is the lcd's blue: all round the edge of the cell and between strokes.
      EXPECT_GT(rimBlue, rim * 7 / 10);
      EXPECT_GT(blue, area * 3 / 10);
      EXPECT_GT(ink, area / 20);
      for (QPoint corner : {QPoint(0, 0), QPoint(s.width() - 1, 0), QPoint(0, s.height() - 1),
                            QPoint(s.width() - 1, s.height() - 1)})
        EXPECT_EQ(s.pixel(corner) & 0xFFFFFF, kLcdBlue & 0xFFFFFF);
      for (int j = 0; j < i; ++j)
        EXPECT_GT(differingPixels(symbols[j], s), area / 10) << "looks like symbol " << j;
    }
  }
}

TEST(SkinButtons, PressingAButtonUncoversASunkenLookOfIt) {
  struct Seat {
    const char* panel;
    QPoint origin;
    QRect button;
    const char* face;
  };
  std::vector<Seat> seats;
  for (int top : {26, 55, 85})
    seats.push_back({"channel_panel", kChannelPanel, QRect(91, top, 15, 13), "distort_off"});
  for (int top : {25, 54, 84})
    seats.push_back({"channel_panel", kChannelPanel, QRect(119, top, 23, 16), "octave_off"});
  for (int left : {190, 220, 280, 310, 340})
    seats.push_back({"keyboard_panel", kKeyboardPanel, QRect(left, 114, 23, 25), "black_step_off"});
  for (int left : {175, 205, 235, 265, 295, 325, 355})
    seats.push_back({"keyboard_panel", kKeyboardPanel, QRect(left, 145, 23, 25), "white_step_off"});
  for (int i = 0; i < 5; ++i)
    seats.push_back(
        {"keyboard_panel", kKeyboardPanel, QRect(236 + 30 * i, 188, 23, 16), "octave_off"});
  seats.push_back({"tempo_panel", kTempoPanel, QRect(475, 112, 23, 25), "minus_10"});
  seats.push_back({"tempo_panel", kTempoPanel, QRect(557, 112, 23, 25), "plus_10"});
  seats.push_back({"tempo_panel", kTempoPanel, QRect(525, 161, 42, 20), "play_off"});
  for (int scale : {1, 2})
    for (const Seat& seat : seats) {
      SCOPED_TRACE(testing::Message() << seat.face << " at " << seat.button.x() << ","
                                      << seat.button.y() << " scale " << scale);
      const QImage pressed = cut(load(seat.panel, scale), onPanel(seat.origin, seat.button), scale);
      const QImage face = load(seat.face, scale);
      EXPECT_GT(differingPixels(pressed, face), pressed.width() * pressed.height() / 3);
      EXPECT_LT(meanLuma(pressed), meanLuma(face));
    }
  for (const char* button : {"samples", "song"}) {
    const QImage up = load(QStringLiteral("%1_button").arg(button));
    const QImage down = load(QStringLiteral("%1_pressed").arg(button));
    EXPECT_GT(differingPixels(up, down), up.width() * up.height() / 3) << button;
    EXPECT_LT(meanLuma(down), meanLuma(up)) << button;
  }
}

namespace {

double meanChroma(const QImage& image) {
  double sum = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y);
      sum += std::max({qRed(c), qGreen(c), qBlue(c)}) - std::min({qRed(c), qGreen(c), qBlue(c)});
    }
  return sum / (image.width() * image.height());
}

} // namespace

TEST(SkinButtons, LitPicturesOutshineUnlitOnes) {
  for (int scale : {1, 2}) {
    for (const char* lamp : {"play", "distort", "octave", "black_step"}) {
      SCOPED_TRACE(testing::Message() << lamp << " scale " << scale);
      const QImage on = load(QStringLiteral("%1_on").arg(lamp), scale);
      const QImage off = load(QStringLiteral("%1_off").arg(lamp), scale);
      EXPECT_GT(meanLuma(on), meanLuma(off) + 8);
    }
    // An ivory key cannot get much brighter; lit, it glows in the lamps' amber.
    const QImage on = load("white_step_on", scale), off = load("white_step_off", scale);
    EXPECT_GT(meanChroma(on), meanChroma(off) + 30) << "scale " << scale;
  }
}

TEST(SkinIndicators, TheActiveLedLightsItsSocketsAndCoversDimWhatTheyHide) {
  for (int scale : {1, 2}) {
    const QImage led = load("active_led", scale);
    for (const auto& [panel, origin, at] :
         {std::tuple{"keyboard_panel", kKeyboardPanel, QRect(171, 99, 14, 5)},
          std::tuple{"pitch_panel", kPitchPanel, QRect(400, 99, 14, 5)}}) {
      SCOPED_TRACE(panel);
      const QImage socket = cut(load(panel, scale), onPanel(origin, at), scale);
      EXPECT_GT(meanLuma(led), meanLuma(socket) + 30);
      EXPECT_LE(maxChannelDifference(led.pixel(0, 0), socket.pixel(0, 0)), 2);
    }
    const QImage keys =
        cut(load("keyboard_panel", scale), onPanel(kKeyboardPanel, {172, 110, 209, 64}), scale);
    EXPECT_LT(meanLuma(load("cover_keys", scale)), meanLuma(keys) - 40);
    const QImage pitch =
        cut(load("pitch_panel", scale), onPanel(kPitchPanel, {401, 135, 45, 47}), scale);
    EXPECT_LT(meanLuma(load("cover_pitch", scale)), meanLuma(pitch) - 40);
  }
}

TEST(SkinResources, TheInstalledIconIsThePaintedOne) {
  const QImage installed =
      QImage(QStringLiteral(LOOPWREN_RESOURCES_DIR "/org.loopwren.LoopWren.png"))
          .convertToFormat(QImage::Format_ARGB32);
  ASSERT_FALSE(installed.isNull());
  EXPECT_EQ(installed, load("icon"))
      << "copy the painted icon.png to resources/org.loopwren.LoopWren.png";
}

TEST(SkinResources, TheDesktopEntryOpensTheSongFileType) {
  QFile desktop(QStringLiteral(LOOPWREN_RESOURCES_DIR "/org.loopwren.LoopWren.desktop"));
  QFile mime(QStringLiteral(LOOPWREN_RESOURCES_DIR "/org.loopwren.LoopWren.mime.xml"));
  ASSERT_TRUE(desktop.open(QIODevice::ReadOnly | QIODevice::Text));
  ASSERT_TRUE(mime.open(QIODevice::ReadOnly | QIODevice::Text));
  const QString entry = QString::fromUtf8(desktop.readAll());
  const QString types = QString::fromUtf8(mime.readAll());
  EXPECT_TRUE(entry.contains("MimeType=application/x-loopwren-song;"));
  EXPECT_TRUE(entry.contains("Icon=org.loopwren.LoopWren\n"));
  EXPECT_TRUE(types.contains("<mime-type type=\"application/x-loopwren-song\">"));
  EXPECT_TRUE(types.contains("<comment>LoopWren Tracks</comment>"));
  EXPECT_TRUE(types.contains("<icon name=\"org.loopwren.LoopWren\"/>"));
  EXPECT_TRUE(types.contains("<glob pattern=\"*.LW\"/>"));
}

TEST(SkinTool, PaintingAgainGivesTheCompiledBytes) {
  QTemporaryDir out;
  ASSERT_TRUE(out.isValid());
  QProcess tool;
  tool.start(QStringLiteral(LOOPWREN_PAINT_SKIN), {out.path()});
  ASSERT_TRUE(tool.waitForFinished(120000));
  ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
  QFile qrc(out.filePath("skin.qrc"));
  ASSERT_TRUE(qrc.open(QIODevice::ReadOnly));
  const QString listing = QString::fromUtf8(qrc.readAll());
  for (const Expected& e : allPictures())
    for (int scale : {1, 2}) {
      const QString file = QString::fromLatin1(e.name) + (scale == 2 ? "@2x" : "") + ".png";
      SCOPED_TRACE(file.toStdString());
      EXPECT_TRUE(listing.contains("<file>" + file + "</file>"));
      QFile fresh(out.filePath(file)), compiled(path(e.name, scale));
      ASSERT_TRUE(fresh.open(QIODevice::ReadOnly));
      ASSERT_TRUE(compiled.open(QIODevice::ReadOnly));
      EXPECT_TRUE(fresh.readAll() == compiled.readAll());
    }
}

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  lw::InitSkinResources();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
