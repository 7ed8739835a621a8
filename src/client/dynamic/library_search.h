#pragma once
// Where the client library's file is looked for, and how: the loads the
// plug-in tries, in order, as plain data, so that the order and the loader's
// search flags can be checked on any system, Windows 7 without its search
// update included.

#include <optional>
#include <string>
#include <vector>

namespace tyapi::dynamic {

enum class SearchFlags {
    // A full path; the library's own dependencies are found beside it, then
    // in the system folders (LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR |
    // LOAD_LIBRARY_SEARCH_DEFAULT_DIRS).
    besideItThenSystemFolders,
    // A bare name, looked for only in the application's folder, System32 and
    // the folders added with AddDllDirectory (LOAD_LIBRARY_SEARCH_DEFAULT_DIRS).
    systemFoldersOnly,
    // A full path on a system without the search flags: the older flag gives
    // the same for a full path (LOAD_WITH_ALTERED_SEARCH_PATH).
    alteredSearchPath,
};

struct LoadAttempt {
    std::wstring file;
    SearchFlags flags;

    bool operator==(const LoadAttempt&) const = default;
};

// "C:\a\" or "C:\a" with `file` is "C:\a\file".
std::wstring withFile(std::wstring folder, const std::wstring& file);

// A drive's or a share's full path ("C:\...", "\\server\..."): a relative
// one, or an empty one, would have the loader search for it, the current
// directory among the places.
bool isFullPath(const std::wstring& path);

// The file in the plug-in's folder; none for a folder that is not a full path.
std::optional<LoadAttempt> pluginFolderAttempt(const std::wstring& pluginFolder, const std::wstring& file,
                                               bool searchFlagsKnown);

// The file in the folders the system searches safely for a process's DLLs:
// the application's folder and System32 (each a full path, or empty where
// unknown), never the current directory or PATH. With the search flags one
// load by bare name does it; without them, one load by full path in each.
std::vector<LoadAttempt> systemFolderAttempts(const std::wstring& file, bool searchFlagsKnown,
                                              const std::wstring& applicationFolder,
                                              const std::wstring& systemFolder);

}  // namespace tyapi::dynamic
