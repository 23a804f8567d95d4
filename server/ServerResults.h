#pragma once

#include "ClassListEditor.h"
#include "ServerConfig.h"

namespace quiltaro {

// The results window over the class's rounds on the server, refreshed every
// few seconds while the class plays. Runs Qt's event loop; the status to exit with.
int showServerResults(const ServerSettings& settings);

// The class list as the teacher's window edits it with a server: on the
// server, for every computer of the class, with the connection's rights.
ClassListPlace serverClassListPlace(const ServerSettings& settings);

} // namespace quiltaro
