// mxrtool's own message texts in the user's language: one table holding each message in
// English and in Japanese, chosen by the locale settings of the environment.
#pragma once

#include <QString>

#include <initializer_list>
#include <string>

enum class ToolMsg {
    UsageLead,           // "usage:"
    NoCommand,           //
    UnknownCommand,      // command
    UnknownOption,       // option
    UnexpectedArgument,  // argument
    NeedsValue,          // option
    BadValue,            // option
    BadValueGiven,       // option, value
    Expected,            // the form of the command
    HomeNeedsFolder,     //
    StoreNeedsSub,       //
    DecodeNeedsFile,     //
    ReceiveNeedsPort,    //
    EmulateNeedsOutput,  //
    RecordsOrBaud,       //
    EncodingChoice,      //
    IndexFromZero,       //
    ReportNeedsStore,    //
    ReportNeedsRecord,   //
    ReportNeedsOutput,   //
    ReportNumbers,       //
    JobNeedsSelection,   //
    JobNeedsOutput,      //
    JobNoRecords,        // customer
    NoCustomer,          // name
    NoCable,             // name
    NoSet,               // name
    NoIndex,             // record count, index
    NoPage,              // page, page count
    CannotWrite,         // path
    CannotOpen,          // path, reason
    NotAFile,            // path
    BadDumpDocument,     // path, reason
    CannotCreatePty,     // reason
    NoAppFolder,         //
    MissingStoreIsEmpty, // path
    StoreNotRead,        // path; the program's own message follows
    StoreNotWritten,     // path; the program's own message follows
    CsvNotWritten,       // path; the program's own message follows
    ReceptionFailed,     // the reception's own texts follow
    ReceptionCancelled,  //
    RestoreFailed,       // reason
    ReplacedStoreKept,   // path
    RestoreNotJournaled, // reason
    FolderInUse,         // the application folder
    JournalKeptAside,    // path of the damaged workspace kept aside
    // receive --register, verify
    RegisterNeedsNames,  //
    NotRegistered,       // the reason follows
    IncompleteReception, //
    NameNotUsable,       // name
    VerifyChanged,       // count
    ApprovedSkipped,     // count
    SetApproved,         // set name
    // web user
    WebUserNotChanged,   // reason
    WebPasswordNeeded,   //
    WebCustomerRules,    //
};

// True when messages are to be Japanese: the first of LC_ALL, LC_MESSAGES and LANG that is
// set and not empty names a Japanese locale ("ja", "ja_JP.UTF-8", ...).
bool JapaneseMessages();

// The text of a message in the user's language with %1, %2, ... replaced by args.
QString ToolText(ToolMsg id, std::initializer_list<QString> args = {});
// The same text in a given language (tests compare both).
QString ToolText(ToolMsg id, bool japanese, std::initializer_list<QString> args = {});

// "mxrtool: <text>" on standard error; returns 1, the status of a failed operation.
int ToolFailure(ToolMsg id, std::initializer_list<QString> args = {});
// A note on standard error that does not end the command.
void ToolNote(ToolMsg id, std::initializer_list<QString> args = {});
// A failure told in the program's own words (the CP932 text the main window shows, as users
// and support staff know it), under a lead line in the user's language; returns 1.
int ProgramFailure(ToolMsg lead, std::initializer_list<QString> args,
                   const std::string& cp932Message);
