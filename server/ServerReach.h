#pragma once

#include <QString>

#include <chrono>

namespace quiltaro {

// Whether the server takes a connection string, found by connecting with
// libpq's calls that never block and letting go at once. Qt's driver
// connects in one call that nothing can cut, and its header that would let
// it take a connection made here is not installed: the driver connects only
// once the server has answered here, when it is quick to.
enum class Reach { Answered, Failed, Cut };

// Gives up at `deadline` ("timeout expired", as libpq says), or as soon as
// `wake` (a file descriptor, an eventfd) is readable: Cut. `error` gets
// libpq's words on a failure. The host's name is still looked up in one
// blocking call.
Reach reachServer(const QString& conninfo, std::chrono::steady_clock::time_point deadline, int wake,
                  QString* error);

} // namespace quiltaro
