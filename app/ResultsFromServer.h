#pragma once

#include "Period.h"
#include "ServerConfig.h"

namespace quiltaro {

// The results window over the class's rounds on the server, refreshed every
// few seconds while the class plays, opened on `period`. Runs Qt's event
// loop; the status to exit with. The class shown is `askedClass` (--class),
// or that of quiltaro.conf; the teacher may choose another the login serves.
int showServerResults(const ServerSettings& settings, const Period& period = {},
                      const QString& askedClass = {});

} // namespace quiltaro
