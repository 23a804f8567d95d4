#pragma once

// The class on a PostgreSQL server started by the bench itself: what one
// round costs to send, how many rounds a burst of computers gets in, how long
// the teacher's view takes to read a million rounds, and whether the
// animations keep their pace while the server is up or frozen.

#include <string>

namespace quiltaro::bench {

struct LiveGame;

struct ServerFigures {
    double sendMs = 0;            // one round sent, median
    double burstPerSecond = 0;    // 50 computers sending together
    double classReadMs = 0;       // 1,000,000 rounds read into RoundRecords
    double sweepRatioAlone = 0;   // the sweep while rounds go to the record only
    double sweepRatioUp = 0;      // ... and to a server that answers
    double sweepRatioStopped = 0; // ... to a server stopped with SIGSTOP
    bool ok = false;
};

ServerFigures measureServer(LiveGame& live, int classRounds = 1000000);

// `quiltaro_bench --server`: these figures alone, and the results window
// opened by `game` on a school's server.
int serverOnly(int argc, char** argv, const std::string& game);

} // namespace quiltaro::bench
