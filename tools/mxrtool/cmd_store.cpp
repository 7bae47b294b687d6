// store dump | resave | from-json (not built yet).
#include "commands.h"

int runStoreCommand(const ToolContext&, const QStringList&)
{
    return usageError("store commands are not available yet");
}
