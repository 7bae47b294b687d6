// csv (not built yet).
#include "commands.h"

int runCsvCommand(const ToolContext&, const QStringList&)
{
    return usageError("csv is not available yet");
}
