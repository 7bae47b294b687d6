// LoadStore / SaveStore: the data store file (also the export file format), with exclusive
// opening, atomic saving and the messages the user is shown.
#pragma once

#include <cstdint>
#include <functional>
#include <ctime>
#include <string>
#include <string_view>

#include "model/customerdb.h"
#include "model/fileidentity.h"

struct StoreOptions {
    // Another copy of the program (or its export/import) holding the file: try again every
    // openRetryMs until openWaitMs have passed since the first attempt.
    int openWaitMs = 60000;
    int openRetryMs = 200;
    // Flush the saved file to disk before it replaces the old one. Only benchmarks that compare
    // with plain page-cache writes turn this off.
    bool syncToDisk = true;
};

enum class StoreStatus {
    Ok,
    OpenFailed,   // "ファイルを開くことが出来ません\n<path>"
    BadSignature, // message 131
    BadVersion,   // message 130
    ArchiveError, // three-line message, "ｱｰｶｲﾌﾞ異常"
    FileError,    // three-line message, "ﾌｧｲﾙｱｸｾｽ異常"
    OutOfMemory,  // three-line message, "メモリ不足"
    OtherError,   // three-line message, "例外発生"
};

struct StoreOutcome {
    bool ok = true;
    StoreStatus status = StoreStatus::Ok;
    // The version of the file read (3 or 6; 6 for a missing file; the version found when it is
    // refused with message 130). Saving always writes 6.
    int32_t version = 6;
    // The exact text to show the user (CP932); empty on success.
    std::string message;
    // LoadStore: the file was refused or read only in part, so a later save would replace
    // data the user still has; keep a copy with SetAsideUnreadableStore first.
    bool unreadable = false;
    // Where that copy was made (native path), filled in by LoadOwnStore; empty otherwise.
    std::string setAsidePath;
    // The file as it was opened for reading (LoadStore, also when it was then refused or read
    // in part; exists == false for a missing file or one that could not be opened) or as it
    // was written (SaveStore, on success).
    FileIdentity identity;
    // SaveOwnStore: the file on disk had changed since it was last read or written and was
    // copied here before the save replaced it; empty otherwise.
    std::string changedAsidePath;
};

// Empties db's customer list (the communication settings keep their values) and reads the
// file. A missing file (or a folder) is an empty store and a success. On failure db keeps
// what was read before it (nothing after a signature or version refusal).
// Paths are native paths; backslashes are taken as separators.
StoreOutcome LoadStore(CCustomerDB& db, const std::string& path, const StoreOptions& options = {});

// Writes db to path: missing folders are created, the data goes to a temporary file beside
// the target, is flushed to disk and renamed over the target, so a failure at any point leaves
// the previous file as it was.
StoreOutcome SaveStore(const CCustomerDB& db, const std::string& path,
                       const StoreOptions& options = {});

// Copies the file at path to "<path>.unreadable-YYYYMMDD-HHMMSS" (local time of `now`;
// "-2", "-3", ... appended when that name exists). Returns the copy's path, or "" when the
// copy could not be made. For the program's own store only, never for a file the user chose
// to import.
std::string SetAsideUnreadableStore(const std::string& path, std::time_t now = std::time(nullptr));

// The program's own store at start-up: LoadStore, then an unreadable file is set aside before
// anything could be saved over it (setAsidePath tells the application log where).
StoreOutcome LoadOwnStore(CCustomerDB& db, const std::string& path,
                          const StoreOptions& options = {});

// The program's own store at a commit: SaveStore, but when the file on disk is no longer the
// one last read or written (expected: LoadStore's or the previous save's identity) it is first
// copied to "<path>.changed-YYYYMMDD-HHMMSS" (changedAsidePath), so a change made by another
// program is never silently replaced. The check and the copy run while the old file is locked.
// When that copy cannot be made nothing is saved (OpenFailed-style failure with a message).
// beforeRename (when set) runs once the new file is complete on disk, just before it replaces
// the old one, with the identity it will have (the change journal notes the coming save there).
StoreOutcome SaveOwnStore(const CCustomerDB& db, const std::string& path,
                          const FileIdentity& expected, const StoreOptions& options = {},
                          const std::function<void(const FileIdentity& next)>& beforeRename = {});

// The same stream in memory (tests, fuzzing, export previews). LoadStoreFromBytes gives the
// outcomes of LoadStore after the file was opened.
StoreOutcome LoadStoreFromBytes(CCustomerDB& db, std::string_view bytes);
std::string SaveStoreToBytes(const CCustomerDB& db);

// A path from the settings or the command line as a native path: backslashes become '/'.
// A "\\server\share" prefix has no meaning here and simply becomes "//server/share".
std::string NativeStorePath(std::string_view path);
