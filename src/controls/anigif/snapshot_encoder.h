#pragma once

// The frame snapshot: one decoded frame of the index strip written as a complete single-image GIF89a
// file, with the frame's colour table as a 256-entry global table, its transparent index (if any) in a
// graphic control block, the image at 0, 0 and the pixels LZW-compressed by our own encoder. It is
// what the control hands out when its picture property is read, so it encodes the slice as the strip
// holds it now (mirrored or not).

#include <cstdint>
#include <vector>

#include "controls/anigif/gif_stream.h"

namespace pap::anigif {

// The GIF file bytes of frame `frameNumber` (from 1). Empty when the number is out of range, the frame
// is not decoded into the strip yet, or the strip or colour table does not hold it.
std::vector<uint8_t> SnapshotFrame(const GifStream& gif, int32_t frameNumber);

}  // namespace pap::anigif
