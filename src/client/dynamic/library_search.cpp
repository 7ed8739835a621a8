#include "client/dynamic/library_search.h"

namespace tyapi::dynamic {
namespace {

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool isLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

SearchFlags fullPathFlags(bool searchFlagsKnown) {
    return searchFlagsKnown ? SearchFlags::besideItThenSystemFolders : SearchFlags::alteredSearchPath;
}

}  // namespace

std::wstring withFile(std::wstring folder, const std::wstring& file) {
    if (!folder.empty() && !isSeparator(folder.back())) folder.push_back(L'\\');
    return folder + file;
}

bool isFullPath(const std::wstring& path) {
    if (path.size() >= 3 && isLetter(path[0]) && path[1] == L':' && isSeparator(path[2])) return true;
    return path.size() >= 3 && isSeparator(path[0]) && isSeparator(path[1]) && !isSeparator(path[2]);
}

std::optional<LoadAttempt> pluginFolderAttempt(const std::wstring& pluginFolder, const std::wstring& file,
                                               bool searchFlagsKnown) {
    if (!isFullPath(pluginFolder)) return std::nullopt;
    return LoadAttempt{withFile(pluginFolder, file), fullPathFlags(searchFlagsKnown)};
}

std::vector<LoadAttempt> systemFolderAttempts(const std::wstring& file, bool searchFlagsKnown,
                                              const std::wstring& applicationFolder,
                                              const std::wstring& systemFolder) {
    if (searchFlagsKnown) return {LoadAttempt{file, SearchFlags::systemFoldersOnly}};
    std::vector<LoadAttempt> attempts;
    for (const std::wstring* folder : {&applicationFolder, &systemFolder})
        if (isFullPath(*folder)) attempts.push_back(LoadAttempt{withFile(*folder, file), SearchFlags::alteredSearchPath});
    return attempts;
}

}  // namespace tyapi::dynamic
