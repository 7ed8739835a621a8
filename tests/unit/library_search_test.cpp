// Where the plug-in looks for the client library, and with which loader
// flags: never a name the loader would look for in the current directory or
// PATH, on systems with and without the search flags (Windows 7 without its
// search update has none).
#include <gtest/gtest.h>

#include "client/dynamic/library_search.h"

namespace {

using tyapi::dynamic::isFullPath;
using tyapi::dynamic::LoadAttempt;
using tyapi::dynamic::pluginFolderAttempt;
using tyapi::dynamic::SearchFlags;
using tyapi::dynamic::systemFolderAttempts;

const std::wstring kFile = L"TYApi64.dll";
const std::wstring kApplication = L"C:\\Presentation\\";
const std::wstring kSystem = L"C:\\windows\\system32\\";

// For the failure messages: the paths here are ASCII.
std::string narrow(const std::wstring& text) {
    std::string ascii;
    for (const wchar_t c : text) ascii.push_back(static_cast<char>(c));
    return ascii;
}

TEST(LibrarySearch, ThePluginFolderIsLoadedByFullPathWithTheFlagsTheSystemKnows) {
    EXPECT_EQ((LoadAttempt{L"C:\\Program Files\\Tyvarion\\TYApi64.dll", SearchFlags::besideItThenSystemFolders}),
              pluginFolderAttempt(L"C:\\Program Files\\Tyvarion\\", kFile, true));
    EXPECT_EQ((LoadAttempt{L"C:\\Program Files\\Tyvarion\\TYApi64.dll", SearchFlags::alteredSearchPath}),
              pluginFolderAttempt(L"C:\\Program Files\\Tyvarion", kFile, false));
    EXPECT_EQ((LoadAttempt{L"\\\\lab-server\\plugins/TYApi64.dll", SearchFlags::alteredSearchPath}),
              pluginFolderAttempt(L"\\\\lab-server\\plugins/", kFile, false));
}

TEST(LibrarySearch, AFolderThatIsNoFullPathIsNotLookedIn) {
    for (const bool searchFlagsKnown : {true, false}) {
        for (const std::wstring folder : {L"", L"plugins\\", L".\\", L"\\plugins\\", L"C:plugins", L"\\\\\\x"}) {
            EXPECT_EQ(std::nullopt, pluginFolderAttempt(folder, kFile, searchFlagsKnown))
                << narrow(folder);
        }
    }
}

TEST(LibrarySearch, WithTheSearchFlagsTheSystemFoldersAreOneLoadRestrictedToThem) {
    const std::vector<LoadAttempt> expected{{kFile, SearchFlags::systemFoldersOnly}};
    EXPECT_EQ(expected, systemFolderAttempts(kFile, true, kApplication, kSystem));
    EXPECT_EQ(expected, systemFolderAttempts(kFile, true, L"", L""));
}

TEST(LibrarySearch, WithoutTheSearchFlagsEachSystemFolderIsLoadedByFullPath) {
    EXPECT_EQ((std::vector<LoadAttempt>{{L"C:\\Presentation\\TYApi64.dll", SearchFlags::alteredSearchPath},
                                        {L"C:\\windows\\system32\\TYApi64.dll", SearchFlags::alteredSearchPath}}),
              systemFolderAttempts(kFile, false, kApplication, kSystem));
    // A folder the system could not name is left out, never replaced by the bare name.
    EXPECT_EQ((std::vector<LoadAttempt>{{L"C:\\windows\\system32\\TYApi64.dll", SearchFlags::alteredSearchPath}}),
              systemFolderAttempts(kFile, false, L"", kSystem));
    EXPECT_EQ(std::vector<LoadAttempt>{}, systemFolderAttempts(kFile, false, L"", L"relative\\"));
}

TEST(LibrarySearch, FullPathsAreThoseOfADriveOrAShare) {
    for (const wchar_t* path : {L"C:\\a", L"z:/a", L"\\\\server\\share", L"\\\\?\\C:\\a", L"//server/share"})
        EXPECT_TRUE(isFullPath(path)) << narrow(path);
    for (const wchar_t* path : {L"", L"C:", L"C:a", L"a\\b", L"\\a", L"\\\\", L"\\\\\\a", L"1:\\a"})
        EXPECT_FALSE(isFullPath(path)) << narrow(path);
}

}  // namespace
