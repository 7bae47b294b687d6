// The application folder: where MXRView keeps its INI files, logs and relative data paths.
#pragma once

#include <optional>
#include <string>

struct AppFolderInputs {
    std::string homeOption;             // the --home option, empty when absent
    std::optional<std::string> envHome; // MXRVIEW_HOME, nothing when unset
    std::string exeDir;                 // the folder of the executable
    bool exeDirPortable = false;        // exeDir holds a writable file named "portable"
    std::string userHome;               // the user's home folder
};

// The application folder, in order: the --home option, MXRVIEW_HOME (when not empty), the
// executable's folder of a portable install, ~/.local/share/MXRView. Pure: no file access.
std::string ResolveAppFolder(const AppFolderInputs& in);

// True when dir holds a regular file named "portable" that this user may write.
bool HasPortableMarker(const std::string& dir);

// The folder of the running executable (from /proc/self/exe), no trailing '/'.
std::string ExecutableDir();
// The full file name of the running executable.
std::string ExecutablePath();

// ResolveAppFolder over the real environment; a relative result is made absolute against the
// current directory. With create, the folder and its parents are created (MXRView does; the
// read-only mxrtool does not). Nothing when create is set and the folder cannot be made.
std::optional<std::string> ApplicationFolder(const std::string& homeOption, bool create);
