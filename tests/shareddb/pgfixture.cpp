// The ctest fixture around the shared PostgreSQL test server: `start FILE` before the cases
// that use it, `stop FILE` after them.
#include <cstdio>
#include <cstring>

#include "pgserver.h"

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "start") == 0)
        return PgTestServer::startShared(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "stop") == 0)
        return PgTestServer::stopShared(argv[2]);
    std::fprintf(stderr, "usage: %s start|stop FILE\n", argv[0]);
    return 2;
}
