#include "core/paint_offset.h"

PaintOffset g_PaintOffset;
