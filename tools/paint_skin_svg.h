// Marks written out as a scalable SVG document.
//
// Only plain SVG 1.1 paths and linear and radial gradients are written: no clip paths,
// filters or embedded pictures, which many icon renderers ignore. So a clipped mark is
// written as its outline cut by the clip, and a conical gradient (which SVG lacks) as
// thin wedges of its colours. The brushed texture stays in the pictures only.
#pragma once

#include "paint_skin_marks.h"

#include <QByteArray>
#include <QSize>
#include <QString>

namespace skin {

// The document for marks drawn on a canvas of `size` logical pixels. Throws
// std::invalid_argument for a pen or brush it cannot write (dashes, patterns, textures,
// transformed brushes, a conical gradient on anything but a circle round its centre).
QByteArray svgDocument(const Marks& marks, QSize size, const QString& title);

} // namespace skin
