// report (not built yet).
#include "commands.h"

int runReportCommand(const ToolContext&, const QStringList&)
{
    return usageError("report is not available yet");
}
