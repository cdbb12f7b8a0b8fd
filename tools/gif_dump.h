#pragma once

// gifdump's work: loads a GIF file as the animated-GIF control does in a running program (every
// frame decoded during the load, unscaled, unmirrored) and writes what the control holds and shows:
// OUTDIR/info.txt, OUTDIR/frame-NNN.rgba (the picture while frame NNN is on show, R G B A bytes, top
// row first, alpha 0 where the container shows through) and OUTDIR/snapshot-NNN.gif (the frame's
// snapshot file).

#include <filesystem>

namespace pap::tools {

// Writes the dump; a file that does not load gives "frames 0" and no pictures. False only when the
// file cannot be read or the output cannot be written.
bool DumpGif(const std::filesystem::path& file, const std::filesystem::path& outDir);

}  // namespace pap::tools
