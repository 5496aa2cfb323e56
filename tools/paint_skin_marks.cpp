#include "paint_skin_marks.h"

namespace skin {

Mark fillPathMark(const QPainterPath& path, const QBrush& brush) {
  Mark m;
  m.kind = Mark::Kind::FillPath;
  m.path = path;
  m.brush = brush;
  return m;
}

Mark ellipseMark(QPointF centre, double rx, double ry, const QBrush& brush, const QPen& pen) {
  Mark m;
  m.kind = Mark::Kind::Ellipse;
  m.rect = QRectF(centre.x() - rx, centre.y() - ry, 2 * rx, 2 * ry);
  m.brush = brush;
  m.pen = pen;
  return m;
}

void draw(Canvas& c, const Marks& marks) {
  c.p.save();
  c.p.setRenderHint(QPainter::Antialiasing);
  for (const Mark& m : marks) {
    if (m.clip) {
      c.p.save();
      c.p.setClipPath(*m.clip);
    }
    c.p.setPen(m.pen);
    c.p.setBrush(m.brush);
    switch (m.kind) {
    case Mark::Kind::Path:
      c.p.drawPath(m.path);
      break;
    case Mark::Kind::FillPath:
      c.p.fillPath(m.path, m.brush);
      break;
    case Mark::Kind::Ellipse:
      c.p.drawEllipse(m.rect);
      break;
    case Mark::Kind::Rect:
      c.p.drawRect(m.rect);
      break;
    case Mark::Kind::FillRect:
      if (m.brush.style() == Qt::SolidPattern)
        c.p.fillRect(m.rect, m.brush.color()); // the plain colour has a quicker way in
      else
        c.p.fillRect(m.rect, m.brush);
      break;
    case Mark::Kind::Line:
      c.p.drawLine(m.line);
      break;
    case Mark::Kind::Arc:
      c.p.drawArc(m.rect, m.startAngle, m.spanAngle);
      break;
    case Mark::Kind::Brushing:
      brush(c, m.path, m.seed, m.strength);
      break;
    }
    if (m.clip)
      c.p.restore();
  }
  c.p.restore();
}

} // namespace skin
