// The program's icon as the desktop's icon theme takes it: `paint_skin --icons` writes it
// at every hicolor size and as SVG, all from the art of the icon the windows carry.
#include "SkinResources.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <set>

namespace {

constexpr std::array<int, 7> kSizes = {16, 32, 48, 64, 128, 256, 512};
const QString kName = QStringLiteral("org.loopwren.LoopWren");

struct ToolRun {
  int exitCode = -1;
  QString errors;
};

ToolRun paintIcons(const QString& folder) {
  QProcess tool;
  tool.start(QStringLiteral(LOOPWREN_PAINT_SKIN), {QStringLiteral("--icons"), folder, kName});
  if (!tool.waitForFinished(120000))
    return {};
  return {tool.exitCode(), QString::fromLocal8Bit(tool.readAllStandardError())};
}

class IconTheme : public testing::Test {
protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(dir_->isValid());
    const ToolRun run = paintIcons(dir_->path());
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
  }
  static void TearDownTestSuite() { dir_.reset(); }

  static QString file(const QString& size, const QString& suffix) {
    return dir_->filePath(QStringLiteral("hicolor/%1/apps/%2.%3").arg(size, kName, suffix));
  }
  static QImage png(int size) {
    return QImage(file(QStringLiteral("%1x%1").arg(size), QStringLiteral("png")))
        .convertToFormat(QImage::Format_ARGB32);
  }
  static QString svgFile() { return file(QStringLiteral("scalable"), QStringLiteral("svg")); }

  static std::unique_ptr<QTemporaryDir> dir_;
};

std::unique_ptr<QTemporaryDir> IconTheme::dir_;

int difference(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                   std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
}

struct Comparison {
  double mean = 0;  // of the largest channel difference, alpha included
  int farApart = 0; // pixels whose channels differ by more than 40
};

Comparison compare(const QImage& a, const QImage& b) {
  Comparison c;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const int d = difference(a.pixel(x, y), b.pixel(x, y));
      c.mean += d;
      c.farApart += d > 40;
    }
  c.mean /= a.width() * a.height();
  return c;
}

// The icon scaled down by averaging, as a pixel of a small icon should show the art under it.
QImage scaledDown(const QImage& icon, int size) {
  return icon.convertToFormat(QImage::Format_ARGB32_Premultiplied)
      .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
      .convertToFormat(QImage::Format_ARGB32);
}

QImage drawSvg(const QString& path, int size) {
  QSvgRenderer renderer(path);
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  if (!renderer.isValid())
    return {};
  {
    QPainter p(&image);
    renderer.render(&p);
  }
  return image.convertToFormat(QImage::Format_ARGB32);
}

TEST_F(IconTheme, EverySizeIsASquareTileOnAClearGround) {
  for (int size : kSizes) {
    SCOPED_TRACE(size);
    const QImage icon = png(size);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(size, size));
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(icon.pixel(size - 1, 0)), 0);
    EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255);
  }
}

TEST_F(IconTheme, ItsLargeSizesAreTheWindowIconPixelForPixel) {
  EXPECT_EQ(png(256),
            QImage(QStringLiteral(":/skin/icon.png")).convertToFormat(QImage::Format_ARGB32));
  EXPECT_EQ(png(512),
            QImage(QStringLiteral(":/skin/icon@2x.png")).convertToFormat(QImage::Format_ARGB32));
}

TEST_F(IconTheme, ItsSmallSizesShowTheSameArt) {
  const QImage large = png(512);
  for (int size : kSizes) {
    SCOPED_TRACE(size);
    const Comparison c = compare(png(size), scaledDown(large, size));
    // Thin rims painted at a sixteenth blend a little differently from an average.
    EXPECT_LT(c.mean, size < 64 ? 16.0 : 6.0);
    // The same measure tells a different picture: the art upside down is far off.
    EXPECT_GT(compare(png(size), scaledDown(large, size).mirrored(false, true)).mean, 30.0);
  }
}

TEST_F(IconTheme, TheScalableIconDrawsTheSameShapes) {
  for (int size : {64, 256, 512}) {
    SCOPED_TRACE(size);
    const QImage drawn = drawSvg(svgFile(), size);
    ASSERT_FALSE(drawn.isNull());
    const Comparison c = compare(drawn, png(size));
    // The pictures' brushed texture is all that the SVG leaves out.
    EXPECT_LT(c.mean, 2.5);
    EXPECT_LE(c.farApart, 0);
  }
}

TEST_F(IconTheme, TheScalableIconIsPlainPathsAndGradients) {
  // Clip paths, filters and embedded pictures are left out: many icon renderers
  // ignore them.
  QFile svg(svgFile());
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&svg);
  const std::set<QString> allowed = {"svg",  "title", "defs", "linearGradient", "radialGradient",
                                     "stop", "path"};
  std::set<QString> seen;
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement) {
      seen.insert(xml.name().toString());
      EXPECT_FALSE(xml.attributes().hasAttribute("clip-path")) << xml.lineNumber();
      EXPECT_FALSE(xml.attributes().hasAttribute("filter")) << xml.lineNumber();
    }
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  for (const QString& element : seen)
    EXPECT_TRUE(allowed.count(element)) << element.toStdString();
  EXPECT_TRUE(seen.count("path"));
}

TEST(IconThemeTool, FailsWhenTheFolderCannotBeMade) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QFile blocker(dir.filePath("file"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  const ToolRun run = paintIcons(dir.filePath("file/icons"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(run.errors.contains("cannot write")) << run.errors.toStdString();
}

} // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  lw::InitSkinResources();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
