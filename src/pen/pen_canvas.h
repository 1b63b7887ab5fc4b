// The canvas of the pen window as plain data: the tablet's active area
// mapped onto a rectangle of the window kept to the tablet's aspect ratio,
// the ink the pen left (in tablet coordinates, so that it can be drawn again
// at any size), the width and darkness of each piece of a stroke from its
// pressure, the tilt drawn from the tip, and the area that needs painting
// since the window last painted. Pixels are the front end's; this only says
// where they go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A rectangle in canvas pixels; right and bottom are exclusive.
struct CanvasRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct CanvasPoint {
  int32_t x = 0, y = 0;
};

// The tablet's coordinates as the packets give them. yUp: y grows upwards
// (the usual tablet context, origin at the lower left).
struct TabletArea {
  int32_t xMin = 0, xMax = 0;
  int32_t yMin = 0, yMax = 0;
  bool yUp = true;
};

// One packet's worth of ink: where the pen was, how hard it pressed, which
// end touched, and whether it starts a new stroke.
struct InkPoint {
  int32_t x = 0, y = 0;
  uint32_t pressure = 0;
  bool eraser = false;
  bool startsStroke = false;
};

struct InkStyle {
  int32_t width = 1;  // pixels
  uint8_t red = 0, green = 0, blue = 0;
};

// A piece of a stroke to draw: a line from `from` to `to` with round ends
// (a dot where they are the same).
struct InkSegment {
  CanvasPoint from, to;
  InkStyle style;
};

struct PenCanvas {
  TabletArea tablet;
  uint32_t pressureMin = 0, pressureMax = 0;  // the device's range (max <= min: none known)
  CanvasRect bounds;  // the room the window gives the canvas
  CanvasRect canvas;  // the tablet's area inside it
  std::vector<InkPoint> ink;
  uint32_t strokes = 0;
  bool inked = false;   // drawnBox holds something
  CanvasRect drawnBox;  // every pixel of ink lies inside
  bool dirty = false;   // `repaint` needs painting
  CanvasRect repaint;
};

// Pressure at its heaviest draws this wide, in pixels, on a canvas `width`
// pixels wide: a fortieth of it, at least 3.
int32_t HeaviestInkWidth(int32_t canvasWidth);

// The largest rectangle of the tablet's aspect ratio centred in `bounds`
// (the whole of it when the tablet has no extent).
CanvasRect FitTablet(const TabletArea& tablet, const CanvasRect& bounds);

// A tablet position on the canvas; positions outside the tablet's area are
// held at its edge.
CanvasPoint MapToCanvas(const TabletArea& tablet, const CanvasRect& canvas, int32_t x, int32_t y);

// Width from 1 pixel at no pressure to `heaviest` at the range's top, and
// darkness from mid grey to black (blue for the eraser) alike.
InkStyle InkFor(uint32_t pressure, uint32_t pressureMin, uint32_t pressureMax, bool eraser, int32_t heaviest);

// The end of the tilt line drawn from the tip: azimuth in tenths of a
// degree clockwise from the canvas's up, altitude in tenths of a degree
// above the tablet (900: upright, no line); `length` pixels when flat.
CanvasPoint TiltEnd(CanvasPoint tip, int32_t azimuth, int32_t altitude, int32_t length);

// Sets the room and maps the tablet into it; the ink's box is worked out
// again and the whole room needs painting.
void LayOutCanvas(PenCanvas& canvas, const CanvasRect& bounds);

// Adds a point of ink and gives the segment that draws it: from the
// stroke's previous point, or a dot when it starts a stroke.
InkSegment AddInk(PenCanvas& canvas, const InkPoint& point);

// The segment that draws ink point k, as AddInk gave it.
InkSegment InkSegmentAt(const PenCanvas& canvas, size_t k);

// Empties the canvas of ink; the whole room needs painting.
void ClearInk(PenCanvas& canvas);

// Marks a rectangle as needing paint.
void MarkForRepaint(PenCanvas& canvas, const CanvasRect& rect);

// The pixels a segment may touch.
CanvasRect SegmentBox(const InkSegment& segment);

CanvasRect UniteRects(const CanvasRect& a, const CanvasRect& b);
