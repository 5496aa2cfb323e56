// Art kept as a list of marks instead of painted straight away, so that the same shapes
// can be painted into a picture or written out as SVG. A mark is one call of QPainter
// with the pen and brush it is made with; drawing the list makes exactly those calls.
#pragma once

#include "paint_skin_style.h"

#include <QBrush>
#include <QLineF>
#include <QPainterPath>
#include <QPen>
#include <QRectF>
#include <cstdint>
#include <optional>
#include <vector>

namespace skin {

struct Mark {
  enum class Kind {
    Path,     // drawPath(path) with pen and brush
    FillPath, // fillPath(path, brush)
    Ellipse,  // drawEllipse(rect)
    Rect,     // drawRect(rect)
    FillRect, // fillRect(rect, brush)
    Line,     // drawLine(line) with pen
    Arc,      // drawArc(rect, startAngle, spanAngle) with pen
    Brushing, // the brushed-metal texture over path (see brush()); pictures only
  };
  Kind kind = Kind::Path;
  QPainterPath path;
  QRectF rect;
  QLineF line;
  int startAngle = 0; // sixteenths of a degree, anticlockwise from three o'clock
  int spanAngle = 0;
  QPen pen = QPen(Qt::NoPen);
  QBrush brush = QBrush(Qt::NoBrush);
  std::optional<QPainterPath> clip; // the mark shows only inside it
  uint32_t seed = 0;                // Brushing
  double strength = 0;              // Brushing
};

using Marks = std::vector<Mark>;

// Shorthands for building lists of marks.
Mark fillPathMark(const QPainterPath& path, const QBrush& brush);
Mark ellipseMark(QPointF centre, double rx, double ry, const QBrush& brush,
                 const QPen& pen = QPen(Qt::NoPen));

// The dark recessed frame of bezel() as marks.
Marks bezelMarks(const QRectF& inner, double width, double radius = 2.0);

// Paints the marks in order, antialiased, leaving the painter's state as it was.
void draw(Canvas& c, const Marks& marks);

} // namespace skin
