#include "Judging.h"

#include "AnswerEntry.h"

namespace quiltaro {

void judgeAnswer(RoundState& s, GameControls& controls, GameDisplay& display) {
    const std::string answer = s.typedAnswer;
    Verdict verdict = Verdict::Right;
    s.pointTyped = 0;
    display.printTryLine();
    s.guessValue = answerValue(s.typedAnswer);

    if (s.guessValue > s.highBound || s.guessValue < s.lowBound) {
        verdict = Verdict::Outside;
        controls.setShown(Image::Fleche, true);
        display.blinkOutOfInterval();
        if (s.score > 0) {
            controls.setScorePictureShown(s.score - 1, false);
            --s.score;
            display.showScorePictures();
        }
    } else if (s.guessValue != s.redValue) {
        if (s.guessValue > s.redValue)
            display.sweepHighBound();
        else
            display.sweepLowBound();
        display.printBoundLabels();
        if (s.highX - s.lowX < scoring::magnifierBelowWidth)
            controls.setShown(Image::Loupe, true);
        s.typedAnswer.clear();
        s.shownAnswer.clear();
        ++s.tryNumber;
        display.printTryLine();
        display.printPrompt();
        controls.roundObserver().guessJudged(
            s, answer, s.guessValue > s.redValue ? Verdict::TooHigh : Verdict::TooLow);
        return;
    } else {
        display.eraseLabelsAboveLine();
        display.sweepHighBound();
        display.sweepLowBound();
        display.printAnswerOverMark();
        if (s.tryNumber <= scoring::lastTryForOnePoint && s.score < RoundState::maxScore)
            ++s.score;
        if (s.tryNumber <= scoring::lastTryForTwoPoints && s.score < RoundState::maxScore)
            ++s.score;
        display.showScorePictures();
        controls.setShown(Image::Arret, true);
        controls.setShown(Image::Fleche, true);
    }
    ++s.tryNumber;
    controls.roundObserver().guessJudged(s, answer, verdict);
}

} // namespace quiltaro
