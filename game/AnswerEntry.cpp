#include "AnswerEntry.h"

#include "Judging.h"
#include "NumberText.h"

namespace quiltaro {

Mode modeOf(const GameControls& controls) {
    if (!controls.isShown(Image::Fleche))
        return Mode::Answering;
    return controls.isShown(Image::Arret) ? Mode::RoundOver : Mode::PointLost;
}

float answerValue(const std::string& typedAnswer) {
    // Read in double precision, then rounded once to single precision, like
    // the red value it is compared with.
    return static_cast<float>(decimalValue(typedAnswer));
}

void keyPress(RoundState& s, GameControls& controls, GameDisplay& display, char16_t keyCode) {
    s.keyChar = std::u16string(1, keyCode);
    const Mode mode = modeOf(controls);
    if (keyCode == keys::escape) {
        if (controls.isShown(Image::Arret))
            controls.openFarewell();
        else
            giveUp(s, controls, display);
        return;
    }
    if (keyCode == keys::enter) {
        switch (mode) {
        case Mode::RoundOver:
            display.startRound();
            break;
        case Mode::PointLost:
            // Like continuing with the arrow, but the score frame's row is
            // not reached: the erase stops at y = 300.
            display.beginNextTry(300);
            break;
        case Mode::Answering:
            if (!s.typedAnswer.empty() && s.typedAnswer.back() != '.')
                judgeAnswer(s, controls, display);
            else if (controls.isShown(Image::Loupe))
                display.magnifierZoom();
            break;
        }
        return;
    }
    if (mode == Mode::Answering)
        editAnswer(s, display);
}

void applyAnswerKey(RoundState& s, char16_t code) {
    const bool roomLeft = s.typedAnswer.size() < static_cast<size_t>(RoundState::maxAnswerLength);
    if (code >= u'0' && code <= u'9') {
        if (roomLeft)
            s.typedAnswer += static_cast<char>(code);
    } else if (code == keys::backspace) {
        if (!s.typedAnswer.empty() && s.typedAnswer.back() == '.')
            s.pointTyped = 0;
        if (!s.typedAnswer.empty())
            s.typedAnswer.pop_back();
    } else if (code == keys::comma || code == keys::fullStop) {
        if (!s.typedAnswer.empty() && s.pointTyped == 0 && roomLeft) {
            s.typedAnswer += '.';
            s.pointTyped = 1;
        }
    }
    s.shownAnswer = withDecimalComma(s.typedAnswer);
}

void editAnswer(RoundState& s, GameDisplay& display) {
    applyAnswerKey(s, s.keyChar.empty() ? char16_t{0} : s.keyChar[0]);
    display.printTryLine();
    display.printPrompt();
}

void giveUp(RoundState& s, GameControls& controls, GameDisplay& display) {
    display.showSolution();
    controls.setShown(Image::Arret, true);
    controls.setShown(Image::Fleche, true);
    controls.setShown(Image::Loupe, false);
    display.showScorePictures();
    s.typedAnswer.clear();
    s.score = 0;
    // The pictures of the points just lost are hidden at once: a pupil who
    // gave up should not see smileys that no longer count.
    for (int i = 0; i < RoundState::maxScore; ++i)
        controls.setScorePictureShown(i, false);
    controls.roundObserver().gaveUp(s);
}

} // namespace quiltaro
