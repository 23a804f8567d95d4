#pragma once

class QWidget;

namespace quiltaro {

// Gives a shown window a really empty title on X11. Qt never sends an empty
// title to the window system: it puts the program's name in its place, and
// the game and farewell windows must have none.
void keepTitleEmpty(QWidget* window);

} // namespace quiltaro
