// mxrtool: scripting, batch work and checks over the same core as MXRView.
#include <QCoreApplication>
#include <QGuiApplication>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>

#include "commands.h"
#include "toolmessages.h"

#ifndef MXR_VERSION_TEXT
#define MXR_VERSION_TEXT "0.0.0.0"
#endif

namespace {

// The command forms after the word "usage:" of the user's language.
const char kUsage[] =
    " mxrtool [--home DIR] COMMAND ...\n"
    "  store dump FILE | store resave IN OUT | store from-json IN.json OUT [--recalc]\n"
    "  store backups | store restore BACKUPFILE\n"
    "  decode REPLAYFILE\n"
    "  receive (--port N | --device PATH) [--silence-s S] [--register --customer C --cable K "
    "--set S]\n"
    "  verify [--customer C [--cable K [--set S]]]\n"
    "  emulate (--device PATH | --pty | --replay-out FILE) [--seed S] [--records N] [--baud B] "
    "[--repeat]\n"
    "  db (init | push | pull | sync | status)\n"
    "  csv STORE --customer C --cable K --set S --index I -o OUT.csv [--encoding cp932|utf8bom]\n"
    "  report STORE --customer C --cable K --set S --index I (--pdf OUT.pdf | --png OUT.png "
    "[--page P] | --screen-png OUT.png [--size WxH]) [options]\n"
    "  report STORE --job --customer C (--from YYYY-MM-DD --to YYYY-MM-DD | --sets S,...) "
    "[--history] [--phase] (--pdf OUT.pdf | --csv OUT.csv) [options]\n"
    "  analyze STORE --customer C --cable K [--set S]\n"
    "  journal [STORE] [--customer C] [--cable K] [--set S] [--since YYYY-MM-DD] "
    "[--until YYYY-MM-DD] [--limit N]\n"
    "  web user (add NAME --role admin|viewer [--customer C]... | passwd NAME | remove NAME | "
    "list) (--store FILE | --db) [--password-stdin]\n"
    "  fleet STORE [--customer C] [--due-before YYYY-MM-DD] [--as-of YYYY-MM-DD] "
    "[--format json|csv]\n"
    "  register export STORE [--encoding sjis|utf8] FILE | register import STORE FILE\n";

// Each command's options, one line each, for "mxrtool COMMAND --help".
struct CommandHelp {
    const char* command;
    const char* text;
};
const CommandHelp kCommandHelp[] = {
    {"store",
     "usage: mxrtool store (dump FILE | resave IN OUT | from-json IN.json OUT [--recalc])\n"
     "  dump FILE              print the data store as JSON\n"
     "  resave IN OUT          load IN and save it to OUT with the program's writer\n"
     "  from-json IN.json OUT  build a data store from a dump document\n"
     "  --recalc               recompute final values, triggers and ratios (from-json)\n"},
    {"decode",
     "usage: mxrtool decode REPLAYFILE\n"
     "  REPLAYFILE             hex text lines of a reception, decoded as the dialog does\n"},
    {"receive", "usage: mxrtool receive (--port N | --device PATH) [--silence-s S]\n"
                "                       [--register --customer C --cable K --set S]\n"
                "  --port N               the port number, through the [Ports] mapping\n"
                "  --device PATH          a serial device path\n"
                "  --silence-s S          cancel after S seconds without a byte\n"
                "  --register             file the records into set S of cable K of customer C\n"
                "                         (made when missing), saved and journaled\n"},
    {"verify", "usage: mxrtool verify [--customer C [--cable K [--set S]]]\n"
               "  compares each stored record with the archived reception it was registered\n"
               "  from; exit 1 when any record differs where no journaled edit explains it\n"},
    {"emulate",
     "usage: mxrtool emulate (--device PATH | --pty | --replay-out FILE) [options]\n"
     "  --device PATH          send the dump to a serial device\n"
     "  --pty                  create a pseudo-terminal, print its path, send on opening\n"
     "  --replay-out FILE      write the dump as a replay file\n"
     "  --seed S               the seed of the records (default 1)\n"
     "  --records N            number of records (default 5)\n"
     "  --baud B               line rate of the pacing (default 38400)\n"
     "  --repeat               with --pty: send again at every opening\n"},
    {"db", "usage: mxrtool db (init | push | pull | sync | status) [--switch-database]\n"
           "  init                   create or update the shared database's tables\n"
           "  push                   send new and changed measurements\n"
           "  pull                   fetch measurements this store lacks into it\n"
           "  sync                   push, then pull (what the menu command does)\n"
           "  status                 connection check and counts\n"
           "  --switch-database      sync although the store synchronised with another\n"
           "                         database before (both databases' data then merge)\n"
           "  The connection comes from MXRView.INI [SharedDB] (host, port, database, user,\n"
           "  sslmode), each missing value from libpq's PG* variables; the password from\n"
           "  ~/.pgpass or PGPASSWORD.\n"},
    {"csv", "usage: mxrtool csv STORE --customer C --cable K --set S --index I -o OUT.csv\n"
            "  --customer C           customer name\n"
            "  --cable K              cable name\n"
            "  --set S                measurement data set name\n"
            "  --index I              measurement index in the set (from 0)\n"
            "  -o OUT.csv             the CSV file to write\n"
            "  --encoding E           cp932 (default) or utf8bom\n"},
    {"report",
     "usage: mxrtool report STORE --customer C --cable K --set S --index I OUTPUT [options]\n"
     "  --customer C, --cable K, --set S, --index I   the measurement\n"
     "  --pdf OUT.pdf          every printed page into a PDF\n"
     "  --png OUT.png          one printed page into a PNG\n"
     "  --page P               the page of --png (default 1)\n"
     "  --screen-png OUT.png   the screen report as the main window shows it\n"
     "  --size WxH             size of --screen-png (default 1280x960)\n"
     "  --width MIN            graph width in minutes\n"
     "  --axis UA              full scale of the current axis in uA\n"
     "  --start MIN            start of the graph in minutes\n"
     "  --judgments on|off     print the judgments\n"
     "  --page-numbers on|off  print page numbers\n"
     "  --margins T,L,B,R      print margins in mm\n"
     "usage: mxrtool report STORE --job --customer C SELECTION OUTPUT [options]\n"
     "  --job                  the test report of a customer's visit: cover, summary, every\n"
     "                         selected measurement's pages\n"
     "  --from, --to YYYY-MM-DD  the measurements of these days (both inclusive)\n"
     "  --sets S,...           only these sets: SET (in every cable) or CABLE/SET\n"
     "  --history              each cable's history pages after its measurements\n"
     "  --phase                each cable's phase comparison table\n"
     "  --pdf OUT.pdf          the whole document into a PDF\n"
     "  --csv OUT.csv          the summary table as CSV (CP932)\n"
     "  --number N, --report-date D, --tester NAME, --witness NAME, --remarks TEXT\n"
     "                         the cover's texts (the report date defaults to today)\n"},
    {"analyze",
     "usage: mxrtool analyze STORE --customer C --cable K [--set S]\n"
     "  --customer C, --cable K   the cable: its history, phase balance, step tests, signs\n"
     "  --set S                only this measurement data set\n"},
    {"journal", "usage: mxrtool journal [STORE] [options]\n"
                "  STORE                  the data store (default: the application folder's)\n"
                "  --customer C           only changes at or below this customer\n"
                "  --cable K              ... this cable (with --customer)\n"
                "  --set S                ... this measurement data set (with --cable)\n"
                "  --since YYYY-MM-DD     changes from this day on (local time)\n"
                "  --until YYYY-MM-DD     changes up to the end of this day\n"
                "  --limit N              only the newest N changes\n"},
    {"web",
     "usage: mxrtool web user SUBCOMMAND (--store FILE | --db) [options]\n"
     "  add NAME --role admin|viewer [--customer C]... --password-stdin\n"
     "                         a user of mxrweb: an admin sees every customer, a viewer the\n"
     "                         customers named (names of the store)\n"
     "  passwd NAME --password-stdin   a new password (one line of standard input)\n"
     "  remove NAME            the user can no longer log in\n"
     "  list                   the users, their roles and customers (no password hashes)\n"
     "  --store FILE           the users file beside this store (FILE.webusers, mode 0600)\n"
     "  --db                   the shared database's users (connection as for db)\n"},
    {"fleet", "usage: mxrtool fleet STORE [options]\n"
              "  --customer C           only this customer's cables (may be repeated)\n"
              "  --due-before YYYY-MM-DD  only cables due before this day (and untested ones)\n"
              "  --as-of YYYY-MM-DD     plan as on this day (default: today)\n"
              "  --format json|csv      JSON (default) or the fleet window's CSV\n"},
    {"register",
     "usage: mxrtool register (export STORE [--encoding sjis|utf8] FILE | import STORE FILE)\n"
     "  export                 write the store's cable register to FILE as CSV\n"
     "  --encoding E           sjis (Shift-JIS, the default) or utf8 (UTF-8 with a BOM)\n"
     "  import                 read the register from FILE (either encoding): every row is\n"
     "                         checked first; one bad row and nothing is written (exit 1)\n"},
};

} // namespace

void printUsage(std::FILE* to)
{
    std::fprintf(to, "%s%s", ToolText(ToolMsg::UsageLead).toUtf8().constData(), kUsage);
}

int usageError(const QString& text)
{
    std::fprintf(stderr, "mxrtool: %s\n", text.toUtf8().constData());
    printUsage(stderr);
    return 2;
}

int usageError(ToolMsg id, std::initializer_list<QString> args)
{
    return usageError(ToolText(id, args));
}

int main(int argc, char** argv)
{
    // report draws text, which needs a GUI application (offscreen unless told otherwise).
    bool drawing = false;
    for (int i = 1; i < argc; ++i)
        drawing = drawing || std::strcmp(argv[i], "report") == 0;
    if (drawing)
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::unique_ptr<QCoreApplication> app = drawing
                                                ? std::make_unique<QGuiApplication>(argc, argv)
                                                : std::make_unique<QCoreApplication>(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QStringList args = app->arguments().mid(1);
    ToolContext ctx;
    // --home may come before the command or anywhere after it.
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--home") {
            if (i + 1 >= args.size())
                return usageError(ToolMsg::HomeNeedsFolder);
            ctx.homeOption = args[i + 1].toStdString();
            args.remove(i, 2);
            break;
        }
    }
    if (args.isEmpty())
        return usageError(ToolMsg::NoCommand);
    if (args[0] == "--version") {
        std::printf("mxrtool %s\n", MXR_VERSION_TEXT);
        return 0;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        printUsage(stdout);
        std::fputs("  --home DIR  the application folder whose settings are read\n"
                   "  --version   print the version\n"
                   "  COMMAND --help  the options of one command\n",
                   stdout);
        return 0;
    }
    if (args[0].startsWith('-'))
        return usageError(ToolMsg::UnknownOption, {args[0]});
    const QString command = args.takeFirst();
    if (args.contains("--help")) {
        for (const CommandHelp& h : kCommandHelp)
            if (command == h.command) {
                std::fputs(h.text, stdout);
                return 0;
            }
    }
    if (command == "store")
        return runStoreCommand(ctx, args);
    if (command == "decode")
        return runDecodeCommand(ctx, args);
    if (command == "receive")
        return runReceiveCommand(ctx, args);
    if (command == "emulate")
        return runEmulateCommand(ctx, args);
    if (command == "verify")
        return runVerifyCommand(ctx, args);
    if (command == "csv")
        return runCsvCommand(ctx, args);
    if (command == "analyze")
        return runAnalyzeCommand(ctx, args);
    if (command == "report")
        return runReportCommand(ctx, args);
    if (command == "db")
        return runDbCommand(ctx, args);
    if (command == "journal")
        return runJournalCommand(ctx, args);
    if (command == "web")
        return runWebCommand(ctx, args);
    if (command == "fleet")
        return runFleetCommand(ctx, args);
    if (command == "register")
        return runRegisterCommand(ctx, args);
    return usageError(ToolMsg::UnknownCommand, {command});
}
