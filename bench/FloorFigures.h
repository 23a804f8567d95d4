#pragma once

// The memory of the least Qt program with the game's windows, fonts and
// pictures (qt_floor), beside which the game's own peak reads.

namespace quiltaro::bench {

// The peak resident memory of qt_floor, in kB, read as the game's is; 0 when
// it could not run.
long floorPeakKb(bool fullScreen);

} // namespace quiltaro::bench
