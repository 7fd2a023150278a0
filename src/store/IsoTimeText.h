#pragma once
// IsoTime's text written straight into a byte buffer, for writers of many times (the
// JSON list, the backup) that must not make a string per time.

#include "store/DateTime.h"

namespace quillpad {

// Room enough for any text IsoTime gives.
inline constexpr int IsoTimeCapacity = 64;

// Writes exactly what IsoTime(value, bias) gives, as Latin-1 bytes; returns how many.
int WriteIsoTime(char *out, TDateTime value, int bias);

}  // namespace quillpad
