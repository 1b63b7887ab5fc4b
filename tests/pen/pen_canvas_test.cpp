// The pen window's canvas model: the tablet's area kept to its shape, where
// a tablet position lands, the ink's width and darkness from pressure, the
// tilt line, and the strokes, their box and what needs painting. The
// expectations are worked out by hand from the rules in pen_canvas.h.
#include <gtest/gtest.h>

#include "pen/pen_canvas.h"

namespace {

// The simulated library's tablet: 44704 x 27940, an aspect of exactly 1.6.
constexpr TabletArea kTablet{0, 44704, 0, 27940, true};

bool Same(const CanvasRect& a, const CanvasRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(pen_canvas, fits_the_tablet_to_its_aspect_ratio_centred_in_the_room) {
  struct Row {
    TabletArea tablet;
    CanvasRect bounds;
    CanvasRect expected;
  };
  const Row rows[] = {
      // Too wide a room: 400 high, so 640 wide, 80 to spare on each side.
      {kTablet, {0, 0, 800, 400}, {80, 0, 720, 400}},
      {kTablet, {10, 20, 810, 420}, {90, 20, 730, 420}},
      // Too tall a room: 320 wide, so 200 high, 400 to spare above and below.
      {kTablet, {0, 0, 320, 1000}, {0, 400, 320, 600}},
      // A square tablet in a 300 x 200 room.
      {{-50, 50, -50, 50, true}, {0, 0, 300, 200}, {50, 0, 250, 200}},
      // No extent, or no room: the room as it is.
      {{0, 0, 0, 100, true}, {0, 0, 300, 200}, {0, 0, 300, 200}},
      {kTablet, {5, 5, 5, 5}, {5, 5, 5, 5}},
  };
  for (size_t k = 0; k < std::size(rows); ++k) {
    const CanvasRect fitted = FitTablet(rows[k].tablet, rows[k].bounds);
    EXPECT_TRUE(Same(fitted, rows[k].expected)) << "row " << k << ": " << fitted.left << "," << fitted.top << ","
                                                << fitted.right << "," << fitted.bottom;
  }
}

TEST(pen_canvas, maps_the_tablet_corner_to_corner_with_y_upwards_and_holds_the_edges) {
  // A 640 x 400 canvas: its last pixels, 639 and 399 across, stand for the
  // tablet's top values.
  const CanvasRect canvas{80, 0, 720, 400};
  TabletArea downwards = kTablet;
  downwards.yUp = false;
  struct Row {
    TabletArea tablet;
    int32_t x, y;
    CanvasPoint expected;
  };
  const Row rows[] = {
      {kTablet, 0, 0, {80, 399}},          // the lower left corner
      {kTablet, 44704, 27940, {719, 0}},   // the upper right one
      {kTablet, 22352, 13970, {399, 200}}, // 319.5 and 199.5 rounded down
      {kTablet, -500, 30000, {80, 0}},     // beyond the edges: held there
      {kTablet, 50000, -1, {719, 399}},
      {downwards, 0, 0, {80, 0}},
      {downwards, 0, 27940, {80, 399}},
  };
  for (size_t k = 0; k < std::size(rows); ++k) {
    const CanvasPoint point = MapToCanvas(rows[k].tablet, canvas, rows[k].x, rows[k].y);
    EXPECT_EQ(point.x, rows[k].expected.x) << "row " << k;
    EXPECT_EQ(point.y, rows[k].expected.y) << "row " << k;
  }
}

TEST(pen_canvas, ink_grows_wider_and_darker_with_pressure) {
  struct Row {
    uint32_t pressure, low, high;
    bool eraser;
    int32_t width;
    uint8_t red, green, blue;
  };
  const Row rows[] = {
      {0, 0, 8191, false, 1, 128, 128, 128},     // the lightest touch: 1 pixel, mid grey
      {8191, 0, 8191, false, 21, 0, 0, 0},       // the heaviest: 21 pixels, black
      {4096, 0, 8191, false, 11, 64, 64, 64},    // half way (500 thousandths)
      {9000, 0, 8191, false, 21, 0, 0, 0},       // beyond the range: the heaviest
      {8191, 0, 8191, true, 21, 0, 0, 255},      // the eraser in blue
      {0, 0, 8191, true, 1, 128, 128, 255},
      {100, 100, 1123, false, 1, 128, 128, 128}, // the range's bottom is no pressure
      {7, 0, 0, false, 21, 0, 0, 0},             // no range known: any pressure is full
      {0, 0, 0, false, 1, 128, 128, 128},
  };
  for (size_t k = 0; k < std::size(rows); ++k) {
    const Row& row = rows[k];
    const InkStyle style = InkFor(row.pressure, row.low, row.high, row.eraser, 21);
    EXPECT_EQ(style.width, row.width) << "row " << k;
    EXPECT_EQ(style.red, row.red) << "row " << k;
    EXPECT_EQ(style.green, row.green) << "row " << k;
    EXPECT_EQ(style.blue, row.blue) << "row " << k;
  }
  EXPECT_EQ(HeaviestInkWidth(640), 16);
  EXPECT_EQ(HeaviestInkWidth(80), 3);
}

TEST(pen_canvas, draws_the_tilt_from_the_tip_in_its_direction_shortened_as_the_pen_stands_up) {
  struct Row {
    int32_t azimuth, altitude;
    CanvasPoint expected;
  };
  const Row rows[] = {
      {0, 0, {100, 60}},      // flat, pointing up the canvas: the whole length
      {900, 0, {140, 100}},   // to the right
      {1800, 0, {100, 140}},  // down
      {2700, 0, {60, 100}},   // to the left
      {900, 600, {120, 100}}, // at 60 degrees: half the length
      {450, 900, {100, 100}}, // upright: no line
  };
  for (size_t k = 0; k < std::size(rows); ++k) {
    const CanvasPoint end = TiltEnd(CanvasPoint{100, 100}, rows[k].azimuth, rows[k].altitude, 40);
    EXPECT_EQ(end.x, rows[k].expected.x) << "row " << k;
    EXPECT_EQ(end.y, rows[k].expected.y) << "row " << k;
  }
}

TEST(pen_canvas, counts_strokes_joins_their_points_and_keeps_their_box_through_a_new_layout) {
  PenCanvas canvas;
  canvas.tablet = kTablet;
  canvas.pressureMax = 8191;
  LayOutCanvas(canvas, CanvasRect{0, 0, 800, 400});  // the canvas 80,0 to 720,400: heaviest 16
  canvas.dirty = false;

  const InkSegment dot = AddInk(canvas, InkPoint{0, 0, 0, false, false});
  EXPECT_EQ(canvas.strokes, 1u);  // the first point starts a stroke even unasked
  EXPECT_EQ(dot.from.x, 80);
  EXPECT_EQ(dot.to.x, 80);
  EXPECT_EQ(dot.to.y, 399);
  // Width 1: half of it (0) and a pixel more on each side.
  EXPECT_TRUE(Same(canvas.drawnBox, CanvasRect{79, 398, 82, 401}));
  EXPECT_TRUE(canvas.dirty);
  EXPECT_TRUE(Same(canvas.repaint, canvas.drawnBox));

  const InkSegment line = AddInk(canvas, InkPoint{44704, 27940, 8191, false, false});
  EXPECT_EQ(canvas.strokes, 1u);
  EXPECT_EQ(line.from.x, 80);
  EXPECT_EQ(line.from.y, 399);
  EXPECT_EQ(line.to.x, 719);
  EXPECT_EQ(line.to.y, 0);
  EXPECT_EQ(line.style.width, 16);
  // Half of 16 and a pixel more beyond both ends.
  EXPECT_TRUE(Same(canvas.drawnBox, CanvasRect{71, -9, 729, 409}));

  const InkSegment next = AddInk(canvas, InkPoint{22352, 13970, 0, true, true});
  EXPECT_EQ(canvas.strokes, 2u);
  EXPECT_EQ(next.from.x, next.to.x);  // a new stroke begins with a dot
  EXPECT_EQ(next.style.blue, 255);

  const CanvasRect before = canvas.drawnBox;
  LayOutCanvas(canvas, CanvasRect{0, 0, 800, 400});
  EXPECT_TRUE(Same(canvas.drawnBox, before));
  EXPECT_TRUE(Same(canvas.repaint, CanvasRect{0, 0, 800, 400}));
  for (size_t k = 0; k < canvas.ink.size(); ++k) {
    const InkSegment again = InkSegmentAt(canvas, k);
    const InkSegment& first = k == 0 ? dot : k == 1 ? line : next;
    EXPECT_EQ(again.from.x, first.from.x) << "point " << k;
    EXPECT_EQ(again.to.y, first.to.y) << "point " << k;
  }

  ClearInk(canvas);
  EXPECT_EQ(canvas.strokes, 0u);
  EXPECT_TRUE(canvas.ink.empty());
  EXPECT_FALSE(canvas.inked);
  EXPECT_TRUE(AddInk(canvas, InkPoint{0, 0, 0, false, false}).from.x == 80);
  EXPECT_EQ(canvas.strokes, 1u);
}

}  // namespace
