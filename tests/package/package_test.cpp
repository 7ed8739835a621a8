// The installer package under Wine, each test in a fresh prefix (see
// tests/package/run): installed quietly it writes exactly what regsvr32 of the
// same module at the same path writes, and takes all of it away again; the
// host creates the installed plug-in by its ProgID and records a session
// against the installed simulated tracker; a newer version replaces an older
// one; a repair puts back a deleted module; both packages stand side by side
// and either can be removed first.
#include "package_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "harness/child_process.h"
#include "platform/text.h"

namespace package_testing {
namespace {

using com_testing::addedString;

const wchar_t* const kModule = L"TyvarionNBS.dll";
const wchar_t* const kServer = L"tyvarion-sim-server.exe";
const std::wstring kClassKey = L"CLSID\\{8CF18E82-1812-4650-9392-40B24301D2F1}";

std::wstring installedModule() { return installFolder() + L"\\" + kModule; }

std::string narrow(const std::wstring& text) { return tyvarion::utf16ToUtf8(text.c_str(), text.size()); }

// What the platform does that is not the package's: in a fresh prefix the
// 32-bit view's Interface key is empty, and Wine's msiexec removes a key left
// empty by an uninstall up to the root, so that key goes with ours. (On
// Windows it is never empty.)
std::vector<std::string> platformRemovals(const RegistryPicture& before) {
    const bool emptyInterface32 =
        before.view32.count(L"Interface") == 1 &&
        std::none_of(before.view32.begin(), before.view32.end(),
                     [](const auto& key) { return key.first.rfind(L"Interface\\", 0) == 0; });
    if (!emptyInterface32) return {};
    return {"32-bit view: -key Interface"};
}

bool underWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// What the x64 package writes beyond regsvr32 under Wine: its shared
// component's ProgIDs, which Wine's msiexec keeps apart in the 32-bit view
// (Windows has one key for both views there).
std::vector<std::string> withWineProgIdCopies(std::vector<std::string> lines) {
    if (!underWine() || sizeof(void*) != 8) return lines;
    const std::size_t count = lines.size();
    for (std::size_t i = 0; i < count; ++i)
        if (lines[i].rfind("+key eyetracker2.", 0) == 0 || lines[i].rfind("+value eyetracker2.", 0) == 0)
            lines.push_back("32-bit view: " + lines[i]);
    return lines;
}

// msiexec /fa PACKAGE. Wine's msiexec does not carry out /f (for a product
// code it exits with 1, a package it takes for a product code), so under Wine
// the same repair is asked for by its properties: every feature, all files again.
std::wstring repairAllFiles(const std::wstring& package) {
    if (underWine()) return L"/i " + quoted(package) + L" REINSTALL=ALL REINSTALLMODE=a /qn";
    return L"/fa " + quoted(package) + L" /qn";
}

class Package : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(inputs().package.empty()) << "run through tests/package/run";
        before_ = takePicture();
        filesBefore_ = programFiles();
    }

    void install(const std::wstring& package, const std::wstring& options = L"") {
        ASSERT_EQ(0u, msiexec(L"/i " + quoted(package) + L" /qn" + options));
    }

    void removeAndExpectNothingLeft(const std::wstring& package) {
        ASSERT_EQ(0u, msiexec(L"/x " + quoted(package) + L" /qn"));
        EXPECT_EQ(std::vector<std::string>{}, mismatch(platformRemovals(before_), differences(before_, takePicture())));
        EXPECT_EQ(filesBefore_, programFiles());
    }

    RegistryPicture before_;
    std::vector<std::wstring> filesBefore_;
};

TEST_F(Package, InstallsWhatRegsvr32WritesAndRemovesItAgain) {
    install(inputs().package);
    const std::vector<std::string> installed = differences(before_, takePicture());
    EXPECT_TRUE(exists(installedModule()));
    // The simulated tracker is off by default.
    EXPECT_FALSE(exists(installFolder() + L"\\" + kServer));
    EXPECT_EQ(1, std::count(installed.begin(), installed.end(),
                            addedString(kClassKey + L"\\InprocServer32", L"", installedModule())));

    removeAndExpectNothingLeft(inputs().package);

    // The same module at the same path, registered by regsvr32.
    ASSERT_TRUE(CreateDirectoryW(installFolder().c_str(), nullptr));
    ASSERT_TRUE(CopyFileW((inputs().files + L"\\" + kModule).c_str(), installedModule().c_str(), TRUE));
    ASSERT_EQ(0u, regsvr32(L"/s " + quoted(installedModule())));
    EXPECT_EQ(std::vector<std::string>{}, mismatch(withWineProgIdCopies(differences(before_, takePicture())), installed));

    EXPECT_EQ(0u, regsvr32(L"/u /s " + quoted(installedModule())));
    EXPECT_TRUE(DeleteFileW(installedModule().c_str()));
    EXPECT_TRUE(RemoveDirectoryW(installFolder().c_str()));
}

// The simulated tracker's server, started from where a package put it.
class InstalledServer {
public:
    explicit InstalledServer(const std::wstring& folder) {
        std::string error;
        child_ = tyvarion::sim::ChildProcess::start(narrow(folder + L"\\" + kServer),
                                                    {"--port", "0", "--exit-on-stdin-eof"}, error);
        if (!child_) {
            output_ = error;
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (output_.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline)
            if (!child_->read(output_, std::chrono::milliseconds(100)) && child_->poll()) break;
        const std::string prefix = "listening on ";
        if (output_.rfind(prefix, 0) == 0) endpoint_ = output_.substr(prefix.size(), output_.find_first_of("\r\n") - prefix.size());
    }
    ~InstalledServer() {
        if (child_) {
            child_->closeInput();
            child_->wait(std::chrono::seconds(30));
        }
    }
    InstalledServer(const InstalledServer&) = delete;
    InstalledServer& operator=(const InstalledServer&) = delete;

    const std::string& endpoint() const { return endpoint_; }
    const std::string& output() const { return output_; }

private:
    std::unique_ptr<tyvarion::sim::ChildProcess> child_;
    std::string output_;
    std::string endpoint_;
};

std::vector<std::string> lines(const std::wstring& path) {
    std::ifstream file(path.c_str());
    std::vector<std::string> all;
    for (std::string line; std::getline(file, line);) all.push_back(line);
    return all;
}

// host-session creates eyetracker2.Tyvarion through CoCreateInstance: only
// the registration leads it to the module. It records against the simulated
// tracker installed in `folder`.
void expectSessionRecords(const std::wstring& folder, const std::wstring& hostSession) {
    InstalledServer server(folder);
    ASSERT_FALSE(server.endpoint().empty()) << server.output();
    ASSERT_TRUE(SetEnvironmentVariableW(L"TYVARION_SERVER",
                                        std::wstring(server.endpoint().begin(), server.endpoint().end()).c_str()));
    wchar_t temporary[MAX_PATH];
    ASSERT_NE(0u, GetTempPathW(MAX_PATH, temporary));
    const std::wstring pathFile = std::wstring(temporary) + L"tyvarion-package-recording.txt";
    DeleteFileW(pathFile.c_str());
    ASSERT_EQ(0u, run(quoted(hostSession) + L" --trials 2 --trial-ms 1000 --recording-path-file " + quoted(pathFile)));
    const std::vector<std::string> recordingPath = lines(pathFile);
    ASSERT_EQ(1u, recordingPath.size());
    const std::string recording = recordingPath[0];
    const std::vector<std::string> written =
        lines(std::wstring(recording.begin(), recording.end()));  // the driver's paths are ASCII here
    EXPECT_GT(written.size(), 100u);
    for (const char* expected : {"trigger: 1", "message: trial 1 start", "trigger: 2", "message: trial 2 start"})
        EXPECT_EQ(1, std::count(written.begin(), written.end(), expected)) << expected;
    DeleteFileW(pathFile.c_str());
}

TEST_F(Package, HostSessionCreatesTheInstalledPluginByProgIdAndRecords) {
    install(inputs().package, L" ADDLOCAL=ALL");
    ASSERT_TRUE(exists(installFolder() + L"\\" + kServer));
    if (!inputs().clientLibrary.empty()) {
        EXPECT_TRUE(exists(installFolder() + L"\\" + inputs().clientLibrary));
    }
    expectSessionRecords(installFolder(), inputs().hostSession);
    removeAndExpectNothingLeft(inputs().package);
}

// A lab PC with a 32-bit and a 64-bit host: the keys both packages write
// stay while either is installed, whichever goes first.
TEST_F(Package, BothArchitecturesSideBySideEitherRemovedFirst) {
    ASSERT_FALSE(inputs().otherPackage.empty()) << "TYVARION_OTHER_PACKAGE names the x86 package";
    struct Installed {
        std::wstring package;
        std::wstring hostSession;
        std::wstring folder;
        std::vector<std::string> registry;  // as this package alone leaves it
        std::vector<std::wstring> files;
    };
    Installed x64{inputs().package, inputs().hostSession, installFolder(), {}, {}};
    Installed x86{inputs().otherPackage, inputs().otherHostSession, installFolder32(), {}, {}};
    for (Installed* alone : {&x64, &x86}) {
        install(alone->package, L" ADDLOCAL=ALL");
        alone->registry = differences(before_, takePicture());
        alone->files = programFiles();
        removeAndExpectNothingLeft(alone->package);
    }
    for (const auto& [first, second] : {std::pair{&x64, &x86}, std::pair{&x86, &x64}}) {
        SCOPED_TRACE(narrow(first->package) + " installed first and removed first");
        install(first->package, L" ADDLOCAL=ALL");
        install(second->package, L" ADDLOCAL=ALL");
        ASSERT_EQ(0u, msiexec(L"/x " + package_testing::quoted(first->package) + L" /qn"));
        EXPECT_EQ(std::vector<std::string>{}, mismatch(second->registry, differences(before_, takePicture())));
        EXPECT_EQ(second->files, programFiles());
        expectSessionRecords(second->folder, second->hostSession);
        removeAndExpectNothingLeft(second->package);
    }
}

TEST_F(Package, NewVersionReplacesThePreviousOne) {
    const std::wstring upgradeCode = packageProperty(inputs().package, L"UpgradeCode");
    const std::wstring productCode = packageProperty(inputs().package, L"ProductCode");
    ASSERT_EQ(upgradeCode, packageProperty(inputs().previousPackage, L"UpgradeCode"));
    ASSERT_NE(productCode, packageProperty(inputs().previousPackage, L"ProductCode"));

    install(inputs().previousPackage, L" ADDLOCAL=ALL");
    install(inputs().package);
    EXPECT_EQ(std::vector<std::wstring>{productCode}, relatedProducts(upgradeCode));
    EXPECT_EQ(packageProperty(inputs().package, L"ProductVersion"), productVersion(productCode));
    std::vector<std::wstring> modules;
    for (const std::wstring& path : programFiles())
        if (path.size() > wcslen(kModule) && path.substr(path.size() - wcslen(kModule)) == kModule) modules.push_back(path);
    EXPECT_EQ(std::vector<std::wstring>{installedModule()}, modules);
    const std::vector<std::string> upgraded = differences(before_, takePicture());

    // One registration: what a fresh install of this version writes.
    removeAndExpectNothingLeft(inputs().package);
    EXPECT_EQ(std::vector<std::wstring>{}, relatedProducts(upgradeCode));
    install(inputs().package);
    EXPECT_EQ(differences(before_, takePicture()), upgraded);
    removeAndExpectNothingLeft(inputs().package);
}

TEST_F(Package, RepairPutsBackADeletedModule) {
    install(inputs().package);
    const RegistryPicture installed = takePicture();
    ASSERT_TRUE(DeleteFileW(installedModule().c_str()));
    ASSERT_EQ(0u, msiexec(repairAllFiles(inputs().package)));
    EXPECT_EQ(fileBytes(inputs().files + L"\\" + kModule), fileBytes(installedModule()));
    EXPECT_EQ(std::vector<std::string>{}, differences(installed, takePicture()));
    removeAndExpectNothingLeft(inputs().package);
}

}  // namespace
}  // namespace package_testing
