#pragma once

#include "SendingActivity.h"
#include "ServerConfig.h"

namespace quiltaro {

class ServerConnection;

// Which computer sent which pupil's rounds, and when the last arrived, as
// the server recorded them (sent_by, received), for the class `className`
// (every class when empty), with the computers the school attached to it
// that sent nothing. The teacher's role only. False with the connection's
// problem when it could not be read.
bool readSendingActivity(ServerConnection& server, const QString& className, SendingActivity& into);

// The same from the server of `settings`, for the teacher's window.
SendingActivityReader serverSendingActivity(const ServerSettings& settings);

} // namespace quiltaro
