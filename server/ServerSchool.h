#pragma once

#include "SchoolSummary.h"
#include "ServerConfig.h"

#include <QStringList>

#include <vector>

namespace quiltaro {

// The school's table over the server: every class the teacher's role may
// read (those with rounds or a list there, and `alsoThese`), each counted
// as its own view counts it, its listed pupils included. A class that
// could not be read says why on its line.
std::vector<ClassLine> readServerSchool(const ServerSettings& settings,
                                        const QStringList& alsoThese, const Period& period,
                                        const QDateTime& now);

} // namespace quiltaro
