#pragma once

namespace quiltaro {

// Makes the four faces the windows name available: the metric-compatible
// Liberation faces stand in for "Times New Roman" and "Arial" through
// fontconfig, Dancing Script for "Brush Script MT", and the Tahoma face that
// Debian ships with Wine, which fontconfig does not index.
void installFonts();

} // namespace quiltaro
