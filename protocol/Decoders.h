// The frame decoders, one per family. Each reads m.FrameText (upper-case hex digits, one per
// frame byte) and rewrites the current reading, the LCD mirror and the extremes of m, calling
// out through m.hooks(). Each returns the frame's outcome: Decoded, or Undecodable when the
// frame carries a letter where a decimal digit is read; an undecodable frame changes nothing
// but the link-alive mark.
#pragma once

#include "Meter.h"

namespace dmm {

FrameOutcome LcdDisplayQ13(Meter& m);
FrameOutcome LcdDisplayQ31(Meter& m);
FrameOutcome LcdDisplayQ32(Meter& m);

} // namespace dmm
