#pragma once

// The screen as the X server shows it: the bench reads the game's pixels and
// which window has the focus, as a pupil would see them.

#include <cstdint>
#include <optional>
#include <vector>

struct _XDisplay;

namespace quiltaro::bench {

struct Box {
    int x, y, w, h;
};

class XScreen {
public:
    XScreen();
    ~XScreen();
    XScreen(const XScreen&) = delete;
    XScreen& operator=(const XScreen&) = delete;

    // Connected, to a 24-bit screen whose pixels read as 0xRRGGBB.
    bool ok() const;
    int width() const;
    int height() const;
    // How many pixels of a rectangle of the screen have the colour 0xRRGGBB.
    int count(Box b, unsigned long rgb) const;
    // The client area, on the screen, of the top-level window with the focus.
    std::optional<Box> focusedWindow() const;
    // The pixels of a rectangle of the screen, 0xRRGGBB, row by row.
    std::vector<std::uint32_t> pixels(Box b) const;
    // Where a top-level window of the process `pid` is, once it is mapped.
    std::optional<Box> windowOf(long pid) const;

private:
    _XDisplay* d_;
};

// Where the game's windows are without a window manager, in screen pixels.
constexpr int welcomeX = 72, welcomeY = 99;
constexpr int gameX = 82, gameY = 198;
// The welcome illustration's red mark: 2 x 28 pixels at (264, 146) in the client.
constexpr Box redMark{welcomeX + 260, welcomeY + 142, 10, 36};
// A patch inside the game's light cyan interval, left of any red mark.
constexpr Box gameInterval{gameX + 100, gameY + 140, 10, 10};

inline bool welcomeDrawn(const XScreen& screen) {
    return screen.count(redMark, 0xff0000) >= 40;
}

} // namespace quiltaro::bench
