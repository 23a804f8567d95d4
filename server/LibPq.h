#pragma once

#include <libpq-fe.h>

namespace quiltaro {

// The few libpq functions the class's server needs beside Qt's driver,
// found when first asked for. libpq and what it brings (TLS, Kerberos, LDAP)
// weigh some 5 MB in memory: a computer whose class has no server never
// loads them, and one that has loads them with Qt's driver anyway.
struct LibPq {
    PQconninfoOption* (*conninfoParse)(const char* conninfo, char** errmsg);
    void (*conninfoFree)(PQconninfoOption* options);
    void (*freemem)(void* ptr);
    ConnStatusType (*status)(const PGconn* conn);
    int (*socket)(const PGconn* conn);
    // A connection made without blocking, that can be given up on.
    PGconn* (*connectStart)(const char* conninfo);
    PostgresPollingStatusType (*connectPoll)(PGconn* conn);
    char* (*errorMessage)(const PGconn* conn);
    void (*finish)(PGconn* conn);
};

// Null when libpq cannot be loaded (the driver's package is missing).
const LibPq* libPq();

} // namespace quiltaro
