// The canvas drawn with GDI: the ink kept in a bitmap of the canvas's room,
// the pen's cross-hair and tilt line drawn over it, and the pressure bar.
// Window thread only.
#pragma once

#include "pen_window/pen_window_state.h"

// Gives the canvas the room `bounds` (client pixels): a new bitmap with the
// whole ink drawn again.
void PlaceCanvas(PenWindowState& state, const CanvasRect& bounds);

// Draws one piece of ink into the bitmap (the model has marked its box).
void DrawInk(PenWindowState& state, const InkSegment& segment);

// Empties the canvas.
void ClearCanvas(PenWindowState& state);

// Marks where the pen's cross-hair and tilt line go now (and where they
// were) for repainting.
void MoveMark(PenWindowState& state);

// Hands what needs painting to the window system: at most once per call.
void InvalidateCanvas(PenWindowState& state);

// WM_PAINT.
void PaintPenWindow(PenWindowState& state);

// Frees the bitmap and its DC (window destruction).
void ReleaseCanvas(PenWindowState& state);
