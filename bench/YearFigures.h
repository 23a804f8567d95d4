#pragma once

// A class's school year in the teacher's window: 30 pupils over 36 weeks,
// some 150,000 rounds, in the pupils' records or on the class's server
// among a school of 20 such classes.

#include <QString>

#include <string>

namespace quiltaro::bench {

// From `quiltaro --results FOLDER` started to the window painted, on the
// records of the class written under `folder`; median of 5.
double measureYearOpen(const std::string& game, const QString& folder);

// From `quiltaro --results` started to the window painted, the teacher's
// computer configured for the class on a PostgreSQL server of the bench's
// own that holds the school; median of 5.
double measureServerYearOpen(const std::string& game);

} // namespace quiltaro::bench
