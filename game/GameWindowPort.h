#pragma once

#include "RoundObserver.h"

namespace quiltaro {

// The images of the game window whose visibility is the window's mode.
enum class Image { Fleche, Arret, Loupe };

// What the rules read and change of the game window's controls. The mode is
// never stored anywhere else: it is which images are shown.
class GameControls {
public:
    virtual ~GameControls() = default;
    virtual bool isShown(Image image) const = 0;
    virtual void setShown(Image image, bool shown) = 0;
    virtual void setScorePictureShown(int index, bool shown) = 0;
    virtual void openFarewell() = 0;
    // Who is told what happens in the rounds; by default, nobody.
    virtual RoundObserver& roundObserver() { return RoundObserver::none(); }
};

// The drawing and animation operations of the game window that the rules
// call; the game window's display implements them.
class GameDisplay {
public:
    virtual ~GameDisplay() = default;
    virtual void startRound() = 0;
    virtual void printTryLine() = 0;
    virtual void printPrompt() = 0;
    virtual void printBoundLabels() = 0;
    virtual void sweepHighBound() = 0;
    virtual void sweepLowBound() = 0;
    virtual void magnifierZoom() = 0;
    virtual void showScorePictures() = 0;
    // The flat red ellipse and the blinking message of a guess outside the interval.
    virtual void blinkOutOfInterval() = 0;
    // Erases the bound labels and the "?" before the brackets close on the mark.
    virtual void eraseLabelsAboveLine() = 0;
    // The found answer in place of the "?", centred on the red mark.
    virtual void printAnswerOverMark() = 0;
    // "Solution : " and the red value on the try line, after giving up.
    virtual void showSolution() = 0;
    // Erases from the try line down to y = bottom and prompts for the next try.
    virtual void beginNextTry(double bottom) = 0;
};

} // namespace quiltaro
