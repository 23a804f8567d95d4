#pragma once

namespace quiltaro {

// Lets a whole animation frame leave for a local X server at once. Does
// nothing on other platforms or over a network connection.
void makeRoomForFrames();

} // namespace quiltaro
