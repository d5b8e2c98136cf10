// Colours of the chart model (0x00BBGGRR) as Qt colours and back.
#pragma once
#include <QColor>

#include "charts/chartmodel.h"

namespace rv {

inline QColor ToQColor(TColor c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }
inline TColor FromQColor(const QColor& q) {
  return TColor(q.red()) | TColor(q.green()) << 8 | TColor(q.blue()) << 16;
}

}  // namespace rv
