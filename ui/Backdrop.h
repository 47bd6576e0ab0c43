// The picture behind the whole installation: a gradient from bright blue at
// the top to black at the bottom with the product name at the upper left.
#pragma once

#include "MemoryDC.h"

// Draws the picture for a client area of cx by cy into memDC, built to be
// compatible with hRefDC.
BOOL PaintBackdrop(CMemoryDC& memDC, HDC hRefDC, int cx, int cy, const char* pszProductName);
