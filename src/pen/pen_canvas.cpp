#include "pen/pen_canvas.h"

#include <cmath>

namespace {

int64_t Span(int32_t low, int32_t high) { return static_cast<int64_t>(high) - low; }

int32_t Clamp(int64_t value, int64_t low, int64_t high) {
  return static_cast<int32_t>(value < low ? low : value > high ? high : value);
}

// The share of the pressure range in thousandths.
int64_t PressureShare(uint32_t pressure, uint32_t low, uint32_t high) {
  if (high <= low) return pressure > 0 ? 1000 : 0;
  if (pressure <= low) return 0;
  if (pressure >= high) return 1000;
  return (static_cast<int64_t>(pressure) - low) * 1000 / (static_cast<int64_t>(high) - low);
}

}  // namespace

int32_t HeaviestInkWidth(int32_t canvasWidth) {
  const int32_t width = canvasWidth / 40;
  return width < 3 ? 3 : width;
}

CanvasRect UniteRects(const CanvasRect& a, const CanvasRect& b) {
  CanvasRect united;
  united.left = a.left < b.left ? a.left : b.left;
  united.top = a.top < b.top ? a.top : b.top;
  united.right = a.right > b.right ? a.right : b.right;
  united.bottom = a.bottom > b.bottom ? a.bottom : b.bottom;
  return united;
}

CanvasRect FitTablet(const TabletArea& tablet, const CanvasRect& bounds) {
  const int64_t tabletWidth = Span(tablet.xMin, tablet.xMax);
  const int64_t tabletHeight = Span(tablet.yMin, tablet.yMax);
  const int64_t width = Span(bounds.left, bounds.right);
  const int64_t height = Span(bounds.top, bounds.bottom);
  if (tabletWidth <= 0 || tabletHeight <= 0 || width <= 0 || height <= 0) return bounds;
  int64_t fittedWidth = width;
  int64_t fittedHeight = width * tabletHeight / tabletWidth;
  if (fittedHeight > height) {
    fittedHeight = height;
    fittedWidth = height * tabletWidth / tabletHeight;
  }
  CanvasRect fitted;
  fitted.left = static_cast<int32_t>(bounds.left + (width - fittedWidth) / 2);
  fitted.top = static_cast<int32_t>(bounds.top + (height - fittedHeight) / 2);
  fitted.right = static_cast<int32_t>(fitted.left + fittedWidth);
  fitted.bottom = static_cast<int32_t>(fitted.top + fittedHeight);
  return fitted;
}

CanvasPoint MapToCanvas(const TabletArea& tablet, const CanvasRect& canvas, int32_t x, int32_t y) {
  CanvasPoint point{canvas.left, canvas.top};
  const int64_t tabletWidth = Span(tablet.xMin, tablet.xMax);
  const int64_t tabletHeight = Span(tablet.yMin, tablet.yMax);
  // The last pixel stands for the range's top: x at xMax is on the canvas.
  const int64_t lastX = Span(canvas.left, canvas.right) - 1;
  const int64_t lastY = Span(canvas.top, canvas.bottom) - 1;
  if (tabletWidth > 0 && lastX > 0) {
    const int64_t across = Span(tablet.xMin, x) * lastX / tabletWidth;
    point.x = canvas.left + Clamp(across, 0, lastX);
  }
  if (tabletHeight > 0 && lastY > 0) {
    const int64_t down = Span(tablet.yMin, y) * lastY / tabletHeight;
    const int64_t held = Clamp(down, 0, lastY);
    point.y = static_cast<int32_t>(tablet.yUp ? canvas.top + lastY - held : canvas.top + held);
  }
  return point;
}

InkStyle InkFor(uint32_t pressure, uint32_t pressureMin, uint32_t pressureMax, bool eraser, int32_t heaviest) {
  const int64_t share = PressureShare(pressure, pressureMin, pressureMax);
  InkStyle style;
  style.width = static_cast<int32_t>(1 + ((heaviest - 1) * share + 500) / 1000);
  // Grey 128 at the lightest touch, black at the heaviest.
  const auto level = static_cast<uint8_t>(128 - 128 * share / 1000);
  style.red = level;
  style.green = level;
  style.blue = eraser ? 255 : level;
  return style;
}

CanvasPoint TiltEnd(CanvasPoint tip, int32_t azimuth, int32_t altitude, int32_t length) {
  const double pi = 3.14159265358979323846;
  const double lean = std::cos(altitude / 10.0 * pi / 180.0);
  const double direction = azimuth / 10.0 * pi / 180.0;
  const double reach = length * (lean < 0 ? -lean : lean);
  CanvasPoint end;
  end.x = tip.x + static_cast<int32_t>(std::lround(reach * std::sin(direction)));
  end.y = tip.y - static_cast<int32_t>(std::lround(reach * std::cos(direction)));
  return end;
}

CanvasRect SegmentBox(const InkSegment& segment) {
  const int32_t reach = segment.style.width / 2 + 1;
  CanvasRect box;
  box.left = (segment.from.x < segment.to.x ? segment.from.x : segment.to.x) - reach;
  box.top = (segment.from.y < segment.to.y ? segment.from.y : segment.to.y) - reach;
  box.right = (segment.from.x > segment.to.x ? segment.from.x : segment.to.x) + reach + 1;
  box.bottom = (segment.from.y > segment.to.y ? segment.from.y : segment.to.y) + reach + 1;
  return box;
}

void MarkForRepaint(PenCanvas& canvas, const CanvasRect& rect) {
  canvas.repaint = canvas.dirty ? UniteRects(canvas.repaint, rect) : rect;
  canvas.dirty = true;
}

InkSegment InkSegmentAt(const PenCanvas& canvas, size_t k) {
  const InkPoint& point = canvas.ink[k];
  InkSegment segment;
  segment.to = MapToCanvas(canvas.tablet, canvas.canvas, point.x, point.y);
  segment.from = segment.to;
  if (!point.startsStroke && k > 0) {
    const InkPoint& before = canvas.ink[k - 1];
    segment.from = MapToCanvas(canvas.tablet, canvas.canvas, before.x, before.y);
  }
  const int32_t heaviest = HeaviestInkWidth(canvas.canvas.right - canvas.canvas.left);
  segment.style = InkFor(point.pressure, canvas.pressureMin, canvas.pressureMax, point.eraser, heaviest);
  return segment;
}

namespace {

void Ink(PenCanvas& canvas, const CanvasRect& box) {
  canvas.drawnBox = canvas.inked ? UniteRects(canvas.drawnBox, box) : box;
  canvas.inked = true;
}

}  // namespace

InkSegment AddInk(PenCanvas& canvas, const InkPoint& point) {
  canvas.ink.push_back(point);
  if (point.startsStroke || canvas.ink.size() == 1) {
    canvas.ink.back().startsStroke = true;
    ++canvas.strokes;
  }
  const InkSegment segment = InkSegmentAt(canvas, canvas.ink.size() - 1);
  const CanvasRect box = SegmentBox(segment);
  Ink(canvas, box);
  MarkForRepaint(canvas, box);
  return segment;
}

void LayOutCanvas(PenCanvas& canvas, const CanvasRect& bounds) {
  canvas.bounds = bounds;
  canvas.canvas = FitTablet(canvas.tablet, bounds);
  canvas.inked = false;
  for (size_t k = 0; k < canvas.ink.size(); ++k) Ink(canvas, SegmentBox(InkSegmentAt(canvas, k)));
  // Whatever was marked before lay in the old room.
  canvas.repaint = bounds;
  canvas.dirty = true;
}

void ClearInk(PenCanvas& canvas) {
  canvas.ink.clear();
  canvas.strokes = 0;
  canvas.inked = false;
  canvas.drawnBox = CanvasRect{};
  MarkForRepaint(canvas, canvas.bounds);
}
