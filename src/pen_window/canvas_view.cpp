#include "pen_window/canvas_view.h"

#include <iterator>

#include "pen/pen_system.h"
#include "pen/pen_tally.h"
#include "wintab/wintab_binding.h"

namespace {

constexpr COLORREF kPaper = RGB(255, 255, 255);
constexpr COLORREF kFrame = RGB(200, 200, 200);
constexpr COLORREF kMark = RGB(220, 40, 40);
constexpr COLORREF kBar = RGB(40, 110, 200);

RECT AsRect(const CanvasRect& rect) { return RECT{rect.left, rect.top, rect.right, rect.bottom}; }

void Fill(HDC dc, const RECT& rect, COLORREF colour) {
  SetDCBrushColor(dc, colour);
  FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

// The room around the tablet's area in the window's colour, the area as
// paper with a thin frame.
void DrawBlankCanvas(PenWindowState& state) {
  Fill(state.inkDc, AsRect(state.canvas.bounds), GetSysColor(COLOR_BTNFACE));
  RECT paper = AsRect(state.canvas.canvas);
  Fill(state.inkDc, paper, kFrame);
  InflateRect(&paper, -1, -1);
  Fill(state.inkDc, paper, kPaper);
}

void DrawAllInk(PenWindowState& state) {
  DrawBlankCanvas(state);
  for (size_t k = 0; k < state.canvas.ink.size(); ++k) DrawInk(state, InkSegmentAt(state.canvas, k));
}

// The cross-hair of a hovering pen and the tilt line from its tip, drawn
// over the ink; `box` receives the pixels they may touch.
bool MarkOf(const PenWindowState& state, CanvasPoint& tip, CanvasPoint& tiltEnd, bool& crossHair, bool& tilt) {
  if (!state.reading || !state.haveLast || !state.last.inProximity) return false;
  const DecodedPacket& packet = state.last.packet;
  tip = MapToCanvas(state.canvas.tablet, state.canvas.canvas, packet.x, packet.y);
  crossHair = !state.inContact;
  tilt = PenPacketsCarry(state.shadow, wintab::PK_ORIENTATION);
  tiltEnd = tip;
  if (tilt) tiltEnd = TiltEnd(tip, packet.orientation[0], packet.orientation[1], 4 * state.lineHeight);
  return crossHair || tilt;
}

CanvasRect MarkBox(const PenWindowState& state, CanvasPoint tip, CanvasPoint tiltEnd) {
  const int32_t arm = state.lineHeight;
  CanvasRect box{tip.x - arm - 2, tip.y - arm - 2, tip.x + arm + 3, tip.y + arm + 3};
  CanvasRect line{tiltEnd.x - 2, tiltEnd.y - 2, tiltEnd.x + 3, tiltEnd.y + 3};
  return UniteRects(box, line);
}

void DrawMark(const PenWindowState& state, HDC dc) {
  CanvasPoint tip, tiltEnd;
  bool crossHair = false, tilt = false;
  if (!MarkOf(state, tip, tiltEnd, crossHair, tilt)) return;
  HPEN pen = CreatePen(PS_SOLID, 1, kMark);
  HGDIOBJ before = SelectObject(dc, pen);
  const int32_t arm = state.lineHeight;
  if (crossHair) {
    MoveToEx(dc, tip.x - arm, tip.y, nullptr);
    LineTo(dc, tip.x + arm + 1, tip.y);
    MoveToEx(dc, tip.x, tip.y - arm, nullptr);
    LineTo(dc, tip.x, tip.y + arm + 1);
  }
  if (tilt) {
    MoveToEx(dc, tip.x, tip.y, nullptr);
    LineTo(dc, tiltEnd.x, tiltEnd.y);
  }
  SelectObject(dc, before);
  DeleteObject(pen);
}

// The pressure of the last packet against the device's range.
void DrawPressureBar(const PenWindowState& state, HDC dc) {
  RECT bar = state.barArea;
  if (bar.right <= bar.left) return;
  Fill(dc, bar, kFrame);
  InflateRect(&bar, -1, -1);
  Fill(dc, bar, kPaper);
  if (!state.haveLast || !PenPacketsCarry(state.shadow, wintab::PK_NORMAL_PRESSURE)) return;
  const uint32_t share = PressureShare(state.shadow, state.last.packet.normalPressure);
  bar.right = bar.left + static_cast<LONG>((bar.right - bar.left) * static_cast<LONG>(share) / 100);
  Fill(dc, bar, kBar);
}

void NotePaintedPackets(PenWindowState& state) {
  if (state.unpainted.empty()) return;
  const uint64_t now = MicrosecondsNow();
  const size_t last = std::size(state.latencyCounts) - 1;
  for (const uint64_t readAt : state.unpainted) {
    const uint64_t bucket = now > readAt ? (now - readAt) / 100u : 0;
    ++state.latencyCounts[bucket < last ? bucket : last];
  }
  state.unpainted.clear();
  ++state.packetPaints;
}

}  // namespace

void PlaceCanvas(PenWindowState& state, const CanvasRect& bounds) {
  ReleaseCanvas(state);
  LayOutCanvas(state.canvas, bounds);
  const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
  if (width <= 0 || height <= 0) return;
  HDC windowDc = GetDC(state.window);
  state.inkDc = CreateCompatibleDC(windowDc);
  state.inkBitmap = CreateCompatibleBitmap(windowDc, width, height);
  ReleaseDC(state.window, windowDc);
  if (state.inkDc == nullptr || state.inkBitmap == nullptr) {
    ReleaseCanvas(state);
    return;
  }
  state.inkBitmapBefore = SelectObject(state.inkDc, state.inkBitmap);
  // The bitmap's pixel 0,0 is the room's top left: the model's coordinates
  // are the window's.
  SetViewportOrgEx(state.inkDc, -bounds.left, -bounds.top, nullptr);
  DrawAllInk(state);
}

void DrawInk(PenWindowState& state, const InkSegment& segment) {
  if (state.inkDc == nullptr) return;
  const InkStyle& style = segment.style;
  const COLORREF colour = RGB(style.red, style.green, style.blue);
  HDC dc = state.inkDc;
  // Clipped to the paper, so that a wide stroke at the edge stays on it.
  RECT paper = AsRect(state.canvas.canvas);
  InflateRect(&paper, -1, -1);
  HRGN clip = CreateRectRgn(paper.left - state.canvas.bounds.left, paper.top - state.canvas.bounds.top,
                            paper.right - state.canvas.bounds.left, paper.bottom - state.canvas.bounds.top);
  SelectClipRgn(dc, clip);
  if (segment.from.x == segment.to.x && segment.from.y == segment.to.y) {
    SetDCBrushColor(dc, colour);
    HGDIOBJ brushBefore = SelectObject(dc, GetStockObject(DC_BRUSH));
    HGDIOBJ penBefore = SelectObject(dc, GetStockObject(NULL_PEN));
    const int32_t half = style.width / 2;
    Ellipse(dc, segment.to.x - half, segment.to.y - half, segment.to.x + half + 2, segment.to.y + half + 2);
    SelectObject(dc, penBefore);
    SelectObject(dc, brushBefore);
  } else {
    LOGBRUSH brush{BS_SOLID, colour, 0};
    HPEN pen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND,
                            static_cast<DWORD>(style.width), &brush, 0, nullptr);
    HGDIOBJ before = SelectObject(dc, pen);
    MoveToEx(dc, segment.from.x, segment.from.y, nullptr);
    LineTo(dc, segment.to.x, segment.to.y);
    SelectObject(dc, before);
    DeleteObject(pen);
  }
  SelectClipRgn(dc, nullptr);
  DeleteObject(clip);
}

void ClearCanvas(PenWindowState& state) {
  ClearInk(state.canvas);
  if (state.inkDc != nullptr) DrawBlankCanvas(state);
}

void MoveMark(PenWindowState& state) {
  if (state.marked) MarkForRepaint(state.canvas, state.markBox);
  CanvasPoint tip, tiltEnd;
  bool crossHair = false, tilt = false;
  state.marked = MarkOf(state, tip, tiltEnd, crossHair, tilt);
  if (!state.marked) return;
  state.markBox = MarkBox(state, tip, tiltEnd);
  MarkForRepaint(state.canvas, state.markBox);
}

void InvalidateCanvas(PenWindowState& state) {
  if (!state.canvas.dirty) return;
  const RECT rect = AsRect(state.canvas.repaint);
  InvalidateRect(state.window, &rect, FALSE);
  state.canvas.dirty = false;
}

void PaintPenWindow(PenWindowState& state) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(state.window, &paint);
  if (dc == nullptr) return;
  const CanvasRect& bounds = state.canvas.bounds;
  RECT room = AsRect(bounds);
  RECT touched{};
  if (state.inkDc != nullptr && IntersectRect(&touched, &room, &paint.rcPaint)) {
    BitBlt(dc, touched.left, touched.top, touched.right - touched.left, touched.bottom - touched.top, state.inkDc,
           touched.left, touched.top, SRCCOPY);
    ++state.repaints;
    NotePaintedPackets(state);
  }
  // The rest of the window (the room of the panels) in the window's colour.
  const int saved = SaveDC(dc);
  if (state.inkDc != nullptr) ExcludeClipRect(dc, room.left, room.top, room.right, room.bottom);
  Fill(dc, paint.rcPaint, GetSysColor(COLOR_BTNFACE));
  RestoreDC(dc, saved);
  IntersectClipRect(dc, room.left, room.top, room.right, room.bottom);
  DrawMark(state, dc);
  SelectClipRgn(dc, nullptr);
  DrawPressureBar(state, dc);
  EndPaint(state.window, &paint);
}

void ReleaseCanvas(PenWindowState& state) {
  if (state.inkDc != nullptr && state.inkBitmapBefore != nullptr) SelectObject(state.inkDc, state.inkBitmapBefore);
  if (state.inkBitmap != nullptr) DeleteObject(state.inkBitmap);
  if (state.inkDc != nullptr) DeleteDC(state.inkDc);
  state.inkDc = nullptr;
  state.inkBitmap = nullptr;
  state.inkBitmapBefore = nullptr;
}
