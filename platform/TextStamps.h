// Text on an opaque background, laid out and rasterised once and copied after.
// A text drawn in opaque background mode covers a rectangle whose pixels do
// not depend on what was under it, so the same text in the same font and
// colours can be copied instead of shaped and drawn again: a tenth of the
// time, which counts where a picture holds a hundred labels. A text whose
// glyphs reach outside that rectangle (and so blend with what is under them)
// is not stamped; the caller draws it.
#pragma once

#include "platform/Raster.h"

#include <QPoint>
#include <QString>

class QPainter;

// Draws text as painter.drawText(baseline, text) would into target, the
// pixels of the image the painter draws on with no transform, clip or
// composition; false when the text or the painter's state cannot be stamped.
bool StampText(QPainter& painter, CRaster& target, QPoint baseline, const QString& text);
