#pragma once

#include "Results.h"

#include <QWidget>

namespace quiltaro {

// The teacher's view of a pupil's record: how many tries the pupil needs to
// find the red number, game after game and by difficulty; the points each
// game ended with; and a table of the last games. It only reads the record,
// and lives apart from the game's three windows: it runs in its own process
// (quiltaro --results), never through the game's reactions, so it sits here
// beside the store rather than with the game's windows.
class ResultsWindow final : public QWidget {
    Q_OBJECT
public:
    explicit ResultsWindow(const ResultsData& data, QWidget* parent = nullptr);

    static constexpr int recentGames = 30;
};

} // namespace quiltaro
