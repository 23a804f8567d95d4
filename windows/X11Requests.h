#pragma once

class QWidget;

namespace quiltaro {

// What the game asks of an X server itself, past Qt. Each does nothing on
// other platforms.

// Gives a shown window a really empty title on X11. Qt never sends an empty
// title to the window system: it puts the program's name in its place, and
// the game and farewell windows must have none.
void keepTitleEmpty(QWidget* window);

// Lets a whole animation frame leave for a local X server at once. Does
// nothing over a network connection.
void makeRoomForFrames();

} // namespace quiltaro
