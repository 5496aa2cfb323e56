#include "paint_skin_svg.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QPainterPathStroker>
#include <QRadialGradient>
#include <QTransform>
#include <cmath>
#include <stdexcept>

namespace skin {

namespace {

// A conical gradient is written as this many wedges, each a little wider than its
// share so that no seam shows between neighbours.
constexpr int kWedges = 120;
constexpr double kWedgeOverlapDegrees = 0.5;

QString num(double v) {
  QString s = QString::number(v, 'f', 3);
  while (s.endsWith('0'))
    s.chop(1);
  if (s.endsWith('.'))
    s.chop(1);
  return s == QStringLiteral("-0") ? QStringLiteral("0") : s;
}

QString hex(const QColor& c) {
  return QStringLiteral("#%1%2%3")
      .arg(c.red(), 2, 16, QChar('0'))
      .arg(c.green(), 2, 16, QChar('0'))
      .arg(c.blue(), 2, 16, QChar('0'));
}

// ` NAME="#rrggbb"`, with ` NAME-opacity` after it when the colour lets some through.
QString paintAttribute(const QString& name, const QColor& c) {
  QString out = QStringLiteral(" %1=\"%2\"").arg(name, hex(c));
  if (c.alpha() != 255)
    out += QStringLiteral(" %1-opacity=\"%2\"").arg(name, num(c.alphaF()));
  return out;
}

// A subpath that ends where it began is closed, as QPainter's stroker takes it.
QString pathData(const QPainterPath& path) {
  QString d;
  int subpathStart = 0;
  const auto closeIfRound = [&](int last) {
    if (last > subpathStart &&
        QPointF(path.elementAt(last)) == QPointF(path.elementAt(subpathStart)))
      d += QStringLiteral("Z");
  };
  for (int i = 0; i < path.elementCount(); ++i) {
    const QPainterPath::Element e = path.elementAt(i);
    switch (e.type) {
    case QPainterPath::MoveToElement:
      if (i > 0)
        closeIfRound(i - 1);
      subpathStart = i;
      d += QStringLiteral("M%1 %2").arg(num(e.x), num(e.y));
      break;
    case QPainterPath::LineToElement:
      d += QStringLiteral("L%1 %2").arg(num(e.x), num(e.y));
      break;
    case QPainterPath::CurveToElement: {
      const QPainterPath::Element b = path.elementAt(i + 1);
      const QPainterPath::Element end = path.elementAt(i + 2);
      d += QStringLiteral("C%1 %2 %3 %4 %5 %6")
               .arg(num(e.x), num(e.y), num(b.x), num(b.y), num(end.x), num(end.y));
      i += 2;
      break;
    }
    case QPainterPath::CurveToDataElement:
      break; // read with its curve
    }
  }
  if (path.elementCount() > 0)
    closeIfRound(path.elementCount() - 1);
  return d;
}

// The outline every kind of mark draws (a pen runs along it, a brush fills it).
QPainterPath shapeOf(const Mark& m) {
  QPainterPath shape;
  switch (m.kind) {
  case Mark::Kind::Path:
  case Mark::Kind::FillPath:
  case Mark::Kind::Brushing:
    return m.path;
  case Mark::Kind::Ellipse:
    shape.addEllipse(m.rect);
    break;
  case Mark::Kind::Rect:
  case Mark::Kind::FillRect:
    shape.addRect(m.rect);
    break;
  case Mark::Kind::Line:
    shape.moveTo(m.line.p1());
    shape.lineTo(m.line.p2());
    break;
  case Mark::Kind::Arc:
    shape.arcMoveTo(m.rect, m.startAngle / 16.0);
    shape.arcTo(m.rect, m.startAngle / 16.0, m.spanAngle / 16.0);
    break;
  }
  return shape;
}

bool fills(const Mark& m) {
  return m.kind != Mark::Kind::Line && m.kind != Mark::Kind::Arc && m.brush.style() != Qt::NoBrush;
}

bool strokes(const Mark& m) {
  return m.kind != Mark::Kind::FillPath && m.kind != Mark::Kind::FillRect &&
         m.pen.style() != Qt::NoPen;
}

void checkPen(const QPen& pen) {
  if (pen.style() != Qt::SolidLine || pen.isCosmetic() || pen.brush().style() != Qt::SolidPattern ||
      pen.joinStyle() == Qt::MiterJoin || pen.joinStyle() == Qt::SvgMiterJoin)
    throw std::invalid_argument("the SVG writer takes solid, non-cosmetic pens with round or "
                                "bevelled joins only");
}

QColor colourAt(const QGradientStops& stops, double t) {
  if (t <= stops.front().first)
    return stops.front().second;
  for (qsizetype i = 1; i < stops.size(); ++i) {
    if (t <= stops[i].first) {
      const double span = stops[i].first - stops[i - 1].first;
      return mix(stops[i - 1].second, stops[i].second,
                 span > 0 ? (t - stops[i - 1].first) / span : 1.0);
    }
  }
  return stops.back().second;
}

class Writer {
public:
  explicit Writer(QSize size) : size_(size) {}

  void add(const Mark& m) {
    if (m.kind == Mark::Kind::Brushing)
      return; // a texture of single pixels: it belongs to the pictures
    const QPainterPath shape = shapeOf(m);
    if (fills(m)) {
      if (m.brush.style() == Qt::ConicalGradientPattern)
        addWedges(m);
      else if (m.clip)
        addPath(shape.intersected(*m.clip), fill(m.brush), shape.fillRule());
      else
        addPath(shape, fill(m.brush), shape.fillRule());
    }
    if (strokes(m)) {
      checkPen(m.pen);
      if (m.clip) {
        QPainterPathStroker stroker(m.pen);
        addPath(stroker.createStroke(shape).intersected(*m.clip),
                paintAttribute(QStringLiteral("fill"), m.pen.color()), Qt::WindingFill);
      } else {
        addStroke(shape, m.pen);
      }
    }
  }

  QByteArray document(const QString& title) const {
    QString out = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" "
                                 "width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 %2\">\n")
                      .arg(size_.width())
                      .arg(size_.height());
    out += QStringLiteral("<title>%1</title>\n").arg(title.toHtmlEscaped());
    if (!defs_.isEmpty())
      out += QStringLiteral("<defs>\n") + defs_ + QStringLiteral("</defs>\n");
    out += body_ + QStringLiteral("</svg>\n");
    return out.toUtf8();
  }

private:
  void addPath(const QPainterPath& path, const QString& paint, Qt::FillRule rule) {
    if (path.isEmpty())
      return;
    body_ +=
        QStringLiteral("<path d=\"%1\"%2%3/>\n")
            .arg(pathData(path), paint,
                 rule == Qt::OddEvenFill ? QStringLiteral(" fill-rule=\"evenodd\"") : QString());
  }

  void addStroke(const QPainterPath& path, const QPen& pen) {
    const QString cap = pen.capStyle() == Qt::RoundCap    ? QStringLiteral("round")
                        : pen.capStyle() == Qt::SquareCap ? QStringLiteral("square")
                                                          : QStringLiteral("butt");
    const QString join =
        pen.joinStyle() == Qt::RoundJoin ? QStringLiteral("round") : QStringLiteral("bevel");
    body_ += QStringLiteral("<path d=\"%1\" fill=\"none\"%2 stroke-width=\"%3\" "
                            "stroke-linecap=\"%4\" stroke-linejoin=\"%5\"/>\n")
                 .arg(pathData(path), paintAttribute(QStringLiteral("stroke"), pen.color()),
                      num(pen.widthF()), cap, join);
  }

  // The fill attributes for a brush, adding the gradient it needs to the definitions.
  QString fill(const QBrush& brush) {
    if (!brush.transform().isIdentity())
      throw std::invalid_argument("the SVG writer takes untransformed brushes only");
    if (brush.style() == Qt::SolidPattern)
      return paintAttribute(QStringLiteral("fill"), brush.color());
    const QGradient* g = brush.gradient();
    if (g == nullptr || g->coordinateMode() != QGradient::LogicalMode ||
        g->spread() != QGradient::PadSpread)
      throw std::invalid_argument("the SVG writer takes plain colours and padded linear or "
                                  "radial gradients only");
    const QString id = QStringLiteral("g%1").arg(++gradients_);
    if (g->type() == QGradient::LinearGradient) {
      const auto* linear = static_cast<const QLinearGradient*>(g);
      defs_ += QStringLiteral("<linearGradient id=\"%1\" gradientUnits=\"userSpaceOnUse\" "
                              "x1=\"%2\" y1=\"%3\" x2=\"%4\" y2=\"%5\">\n")
                   .arg(id, num(linear->start().x()), num(linear->start().y()),
                        num(linear->finalStop().x()), num(linear->finalStop().y()));
      addStops(*g);
      defs_ += QStringLiteral("</linearGradient>\n");
    } else if (g->type() == QGradient::RadialGradient) {
      const auto* radial = static_cast<const QRadialGradient*>(g);
      if (radial->focalRadius() != 0.0)
        throw std::invalid_argument("the SVG writer takes radial gradients from a point only");
      defs_ +=
          QStringLiteral("<radialGradient id=\"%1\" gradientUnits=\"userSpaceOnUse\" "
                         "cx=\"%2\" cy=\"%3\" r=\"%4\" fx=\"%5\" fy=\"%6\">\n")
              .arg(id, num(radial->center().x()), num(radial->center().y()), num(radial->radius()),
                   num(radial->focalPoint().x()), num(radial->focalPoint().y()));
      addStops(*g);
      defs_ += QStringLiteral("</radialGradient>\n");
    } else {
      throw std::invalid_argument("the SVG writer cannot fill with this gradient here");
    }
    return QStringLiteral(" fill=\"url(#%1)\"").arg(id);
  }

  void addStops(const QGradient& g) {
    for (const auto& [at, colour] : g.stops()) {
      defs_ += QStringLiteral("  <stop offset=\"%1\" stop-color=\"%2\"%3/>\n")
                   .arg(num(at), hex(colour),
                        colour.alpha() == 255
                            ? QString()
                            : QStringLiteral(" stop-opacity=\"%1\"").arg(num(colour.alphaF())));
    }
  }

  // A conical gradient sweeps its colours anticlockwise from its start angle; each wedge
  // takes the colour at its middle.
  void addWedges(const Mark& m) {
    const auto* conical = static_cast<const QConicalGradient*>(m.brush.gradient());
    const QPointF centre = conical->center();
    if (m.kind != Mark::Kind::Ellipse || m.rect.width() != m.rect.height() ||
        QLineF(m.rect.center(), centre).length() > 1e-9)
      throw std::invalid_argument("the SVG writer fills only circles round the centre of a "
                                  "conical gradient");
    const double step = 360.0 / kWedges;
    for (int i = 0; i < kWedges; ++i) {
      const double from = conical->angle() + i * step;
      QPainterPath wedge;
      wedge.moveTo(centre);
      wedge.arcTo(m.rect, from, step + kWedgeOverlapDegrees);
      wedge.closeSubpath();
      const QColor colour = colourAt(conical->stops(), (i + 0.5) / kWedges);
      addPath(m.clip ? wedge.intersected(*m.clip) : wedge,
              paintAttribute(QStringLiteral("fill"), colour), Qt::WindingFill);
    }
  }

  QSize size_;
  QString defs_;
  QString body_;
  int gradients_ = 0;
};

} // namespace

QByteArray svgDocument(const Marks& marks, QSize size, const QString& title) {
  Writer writer(size);
  for (const Mark& m : marks)
    writer.add(m);
  return writer.document(title);
}

} // namespace skin
