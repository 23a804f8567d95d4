#pragma once

#include "Results.h"

#include <QWidget>

namespace quiltaro {

// The teacher's view of a pupil's record: how many tries the pupil needs to
// find the red number, game after game and by difficulty; the points each
// game ended with; and a table of the last games. It sits here beside the
// store rather than with the game's windows: it only reads the record, runs
// in a program of its own (quiltaro-results, which `quiltaro --results` hands
// over to), and never goes through the game's reactions.
class ResultsWindow final : public QWidget {
    Q_OBJECT
public:
    explicit ResultsWindow(const ResultsData& data, QWidget* parent = nullptr);

    static constexpr int recentGames = 30;
};

} // namespace quiltaro
