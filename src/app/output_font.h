// The fixed-pitch font of the output box.
#pragma once

#include "app/win32.h"

// The system's message font asked for in fixed pitch, or the stock
// ANSI_FIXED_FONT when the metrics or the font cannot be had. The caller owns
// the result; deleting the stock font is harmless.
HFONT CreateOutputFont();
