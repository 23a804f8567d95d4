#include "LibPq.h"

#include <dlfcn.h>

namespace quiltaro {

namespace {

template <typename Function> bool find(void* library, const char* name, Function*& function) {
    function = reinterpret_cast<Function*>(dlsym(library, name));
    return function != nullptr;
}

} // namespace

const LibPq* libPq() {
    static const LibPq* const loaded = []() -> const LibPq* {
        // The name the package installs, the one Qt's driver is linked to.
        void* library = dlopen("libpq.so.5", RTLD_LAZY | RTLD_LOCAL);
        if (!library)
            return nullptr;
        static LibPq functions{};
        const bool all = find(library, "PQconninfoParse", functions.conninfoParse) &&
                         find(library, "PQconninfoFree", functions.conninfoFree) &&
                         find(library, "PQfreemem", functions.freemem) &&
                         find(library, "PQstatus", functions.status) &&
                         find(library, "PQsocket", functions.socket) &&
                         find(library, "PQconnectStart", functions.connectStart) &&
                         find(library, "PQconnectPoll", functions.connectPoll) &&
                         find(library, "PQerrorMessage", functions.errorMessage) &&
                         find(library, "PQfinish", functions.finish);
        return all ? &functions : nullptr;
    }();
    return loaded;
}

} // namespace quiltaro
