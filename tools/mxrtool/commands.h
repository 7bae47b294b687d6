// The command groups of mxrtool; each is implemented in its own cmd_*.cpp.
#pragma once

#include <QStringList>

#include <initializer_list>
#include <string>

#include "toolmessages.h"

struct ToolContext {
    // The --home option as given (empty when absent); resolve it with the application folder
    // rules before reading settings.
    std::string homeOption;
};

// Each returns the exit status: 0 success, 1 the operation failed, 2 usage error.
// store backups | store restore FILE
int runBackupCommand(const ToolContext& ctx, const QString& sub, const QStringList& args);
int runStoreCommand(const ToolContext& ctx, const QStringList& args); // store dump|resave|from-json
int runDecodeCommand(const ToolContext& ctx, const QStringList& args);  // decode
int runReceiveCommand(const ToolContext& ctx, const QStringList& args); // receive
int runEmulateCommand(const ToolContext& ctx, const QStringList& args); // emulate
int runVerifyCommand(const ToolContext& ctx, const QStringList& args);  // verify

// Writes a usage error (the text, then the usage lines) to standard error and returns 2.
int usageError(const QString& text);
int usageError(ToolMsg id, std::initializer_list<QString> args = {});

int runCsvCommand(const ToolContext& ctx, const QStringList& args);     // csv
int runReportCommand(const ToolContext& ctx, const QStringList& args);  // report
int runAnalyzeCommand(const ToolContext& ctx, const QStringList& args); // analyze
int runDbCommand(const ToolContext& ctx, const QStringList& args);      // db init|push|pull|sync|status
int runJournalCommand(const ToolContext& ctx, const QStringList& args); // journal
int runWebCommand(const ToolContext& ctx, const QStringList& args);     // web user ...
int runFleetCommand(const ToolContext& ctx, const QStringList& args);   // fleet
int runRegisterCommand(const ToolContext& ctx, const QStringList& args); // register export|import
