// The window the pen context is opened on.
#pragma once

// The canvas's own window, except under Wine (see context_window.cpp).
void* ContextWindowFor(void* canvasWindow);
