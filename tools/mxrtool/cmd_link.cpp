// decode | receive | emulate (not built yet).
#include "commands.h"

int runDecodeCommand(const ToolContext&, const QStringList&) { return usageError("decode is not available yet"); }
int runReceiveCommand(const ToolContext&, const QStringList&) { return usageError("receive is not available yet"); }
int runEmulateCommand(const ToolContext&, const QStringList&) { return usageError("emulate is not available yet"); }
