// client-library-check and the binding check it shares with the plug-in, on
// DLLs of both architectures built for the purpose (client_check.cmake): the
// stand-in's names, every alternative spelling, members lacking, the other
// architecture under this one's name, a program, and files that are no DLL.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "check_command.h"
#include "client/check/binding_check.h"
#include "client/check/check_text.h"
#include "client/check/pe_image.h"

namespace {

using namespace tyvarion::client_check;

// A file of the build tree as this program opens it: under Wine through drive Z:.
std::string buildPath(const std::string& unixPath) {
#if defined(_WIN32)
    std::string path = "Z:" + unixPath;
    for (char& c : path) c = c == '/' ? '\\' : c;
    return path;
#else
    return unixPath;
#endif
}

std::string checkDll(const std::string& relative) { return buildPath(std::string(TYVARION_CHECK_DLLS) + "/" + relative); }

struct CheckRun {
    int status = -1;
    std::vector<std::string> lines;  // of the report, after the path
    std::string err;
};

CheckRun run(const std::vector<std::string>& arguments) {
    CheckRun result;
    std::string out;
    result.status = tyvarion::tools::checkClientLibrary(arguments, out, result.err);
    std::size_t start = out.find('\n');
    while (start != std::string::npos && start + 1 < out.size()) {
        const std::size_t end = out.find('\n', start + 1);
        result.lines.push_back(out.substr(start + 1, end - start - 1));
        start = end;
    }
    return result;
}

const std::vector<std::string> kStubImports{
    "imports",
    "  KERNEL32.dll                      part of Windows",
    "  msvcrt.dll                        part of Windows",
};

std::vector<std::string> withImports(std::vector<std::string> lines, const std::string& result) {
    lines.insert(lines.end(), kStubImports.begin(), kStubImports.end());
    lines.push_back(result);
    return lines;
}

TEST(ClientLibraryCheck, TheStandInsNamesBindOnBothArchitectures) {
    const CheckRun x86 = run({checkDll("standin-x86/TYApi32.dll")});
    EXPECT_EQ(0, x86.status) << x86.err;
    EXPECT_EQ(withImports(
                  {
                      "architecture    x86 (32-bit): goes with the x86 plug-in, which loads it as TYApi32.dll",
                      "members",
                      "  TYApi(const char*)            ??0TYApi@tyapi@@QAE@PBD@Z",
                      "  ~TYApi()                      ??1TYApi@tyapi@@QAE@XZ",
                      "  registerGazeSampleListener    "
                      "?registerGazeSampleListener@TYApi@tyapi@@QAEXPAVTYGazeSampleCallback@12@@Z",
                      "  registerDeviceEventListener   "
                      "?registerDeviceEventListener@TYApi@tyapi@@QAEXPAVTYDeviceEventCallback@12@@Z",
                      "  connect                       ?connect@TYApi@tyapi@@QAE?AW4ReturnConnect@2@XZ",
                      "  getActiveScreen               ?getActiveScreen@TYApi@tyapi@@QBEXAAUScreenConfig@2@@Z",
                      "  requestTracking               ?requestTracking@TYApi@tyapi@@QAE?AW4ReturnStart@2@H@Z",
                      "  unrequestTracking             ?unrequestTracking@TYApi@tyapi@@QAEXXZ",
                      "  calibrate                     ?calibrate@TYApi@tyapi@@QAE?AW4ReturnCalibrate@2@H@Z",
                      "  TYInvalidValue                ?TYInvalidValue@tyapi@@3NB",
                      "TYInvalidValue  = -9999.5",
                  },
                  "result          the x86 plug-in binds it"),
              x86.lines);

    const CheckRun x64 = run({checkDll("standin-x64/TYApi64.dll")});
    EXPECT_EQ(0, x64.status) << x64.err;
    ASSERT_EQ(17u, x64.lines.size());
    EXPECT_EQ("architecture    x64 (64-bit): goes with the x64 plug-in, which loads it as TYApi64.dll", x64.lines[0]);
    EXPECT_EQ("  ~TYApi()                      ??1TYApi@tyapi@@QEAA@XZ", x64.lines[3]);
    EXPECT_EQ("  getActiveScreen               ?getActiveScreen@TYApi@tyapi@@QEBAXAEAUScreenConfig@2@@Z",
              x64.lines[7]);
    EXPECT_EQ("result          the x64 plug-in binds it", x64.lines.back());
}

TEST(ClientLibraryCheck, EveryAlternativeSpellingBindsAndIsMarked) {
    const CheckRun x64 = run({checkDll("alternative-x64/TYApi64.dll")});
    EXPECT_EQ(0, x64.status) << x64.err;
    EXPECT_EQ(withImports(
                  {
                      "architecture    x64 (64-bit): goes with the x64 plug-in, which loads it as TYApi64.dll",
                      "members",
                      "  TYApi(const char*)            ??0TYApi@tyapi@@QEAA@PEBD@Z",
                      "  ~TYApi()                      ??1TYApi@tyapi@@UEAA@XZ (alternative spelling)",
                      "  registerGazeSampleListener    ?registerGazeSampleListener@TYApi@tyapi@@"
                      "QEAAXPEAUTYGazeSampleCallback@12@@Z (alternative spelling)",
                      "  registerDeviceEventListener   ?registerDeviceEventListener@TYApi@tyapi@@"
                      "QEAAXPEAUTYDeviceEventCallback@12@@Z (alternative spelling)",
                      "  connect                       ?connect@TYApi@tyapi@@QEAA?AW4ReturnConnect@12@XZ "
                      "(alternative spelling)",
                      "  getActiveScreen               ?getActiveScreen@TYApi@tyapi@@QEBAXPEAVScreenConfig@2@@Z "
                      "(alternative spelling)",
                      "  requestTracking               ?requestTracking@TYApi@tyapi@@QEAA?AW4ReturnStart@12@H@Z "
                      "(alternative spelling)",
                      "  unrequestTracking             ?unrequestTracking@TYApi@tyapi@@QEAAXXZ",
                      "  calibrate                     ?calibrate@TYApi@tyapi@@QEAA?AW4ReturnCalibrate@12@H@Z "
                      "(alternative spelling)",
                      "  TYInvalidValue                ?TYInvalidValue@TYApi@tyapi@@2NA (alternative spelling)",
                      "TYInvalidValue  = -9999.5",
                  },
                  "result          the x64 plug-in binds it"),
              x64.lines);

    const CheckRun x86 = run({checkDll("alternative-x86/TYApi32.dll")});
    EXPECT_EQ(0, x86.status) << x86.err;
    ASSERT_EQ(17u, x86.lines.size());
    EXPECT_EQ("  ~TYApi()                      ??1TYApi@tyapi@@UAE@XZ (alternative spelling)", x86.lines[3]);
    EXPECT_EQ("  TYInvalidValue                ?TYInvalidValue@TYApi@tyapi@@2NA (alternative spelling)",
              x86.lines[11]);
    EXPECT_EQ("result          the x86 plug-in binds it", x86.lines.back());
}

TEST(ClientLibraryCheck, LackingMembersAreNamedWithTheExportsNearestThem) {
    const CheckRun x86 = run({checkDll("lacking-x86/TYApi32.dll")});
    EXPECT_EQ(1, x86.status);
    ASSERT_EQ(17u, x86.lines.size());
    EXPECT_EQ("  requestTracking               ?requestTracking@TYApi@tyapi@@QAE?AW4ReturnStart@2@H@Z",
              x86.lines[8]);
    // requestTracking is bound already, so it is not offered for unrequestTracking.
    EXPECT_EQ("  unrequestTracking             missing (no export alike)", x86.lines[9]);
    EXPECT_EQ("  calibrate                     missing (nearest export: "
              "?calibrate@TYApi@tyapi@@QAE?AW4ReturnCalibrate@2@N@Z)",
              x86.lines[10]);
    EXPECT_EQ("result          not bound by the x86 plug-in: unrequestTracking missing (no export alike), "
              "calibrate missing (nearest export: ?calibrate@TYApi@tyapi@@QAE?AW4ReturnCalibrate@2@N@Z)",
              x86.lines.back());

    const CheckRun x64 = run({checkDll("lacking-x64/TYApi64.dll")});
    EXPECT_EQ(1, x64.status);
    ASSERT_EQ(17u, x64.lines.size());
    EXPECT_EQ("  calibrate                     missing (nearest export: "
              "?calibrate@TYApi@tyapi@@QEAA?AW4ReturnCalibrate@2@N@Z)",
              x64.lines[10]);
}

TEST(ClientLibraryCheck, TheOtherArchitectureUnderThisOnesNameIsRefused) {
    const CheckRun x86 = run({checkDll("x86-as-x64/TYApi64.dll")});
    EXPECT_EQ(1, x86.status);
    ASSERT_FALSE(x86.lines.empty());
    EXPECT_EQ("architecture    x86 (32-bit): goes with the x86 plug-in, which loads it as TYApi32.dll", x86.lines[0]);
    EXPECT_EQ("result          not bound: the x64 plug-in loads TYApi64.dll and cannot load a DLL built for x86 "
              "(32-bit); the x86 plug-in loads it as TYApi32.dll",
              x86.lines.back());

    const CheckRun x64 = run({checkDll("x64-as-x86/TYApi32.dll")});
    EXPECT_EQ(1, x64.status);
    ASSERT_FALSE(x64.lines.empty());
    EXPECT_EQ("result          not bound: the x86 plug-in loads TYApi32.dll and cannot load a DLL built for x64 "
              "(64-bit); the x64 plug-in loads it as TYApi64.dll",
              x64.lines.back());
}

TEST(ClientLibraryCheck, ADllItNeedsThatIsNoPartOfWindowsIsNamed) {
    const CheckRun x64 = run({checkDll("needs-device-x64/TYApi64.dll")});
    EXPECT_EQ(0, x64.status) << x64.err;
    ASSERT_EQ(18u, x64.lines.size());
    // In the order of the file's import table, which is the linker's choice.
    std::vector<std::string> imports(x64.lines.begin() + 14, x64.lines.end() - 1);
    std::sort(imports.begin(), imports.end());
    EXPECT_EQ("imports", x64.lines[13]);
    EXPECT_EQ((std::vector<std::string>{
                  kStubImports[1],
                  "  TYDevice.dll                      not part of Windows: must be on the lab PC, beside TYApi64.dll "
                  "or installed by the maker",
                  kStubImports[2],
              }),
              imports);
    EXPECT_EQ("result          the x64 plug-in binds it, if the lab PC has TYDevice.dll", x64.lines.back());

    const CheckRun x86 = run({checkDll("needs-device-x86/TYApi32.dll")});
    EXPECT_EQ(0, x86.status) << x86.err;
    EXPECT_EQ("result          the x86 plug-in binds it, if the lab PC has TYDevice.dll", x86.lines.back());
}

TEST(ClientLibraryCheck, WhatIsNoDllIsRefusedWithExitStatusTwo) {
    const std::string program = checkDll("program/TYApi64.dll");
    CheckRun result = run({program});
    EXPECT_EQ(2, result.status);
    EXPECT_TRUE(result.lines.empty());
    EXPECT_EQ("client-library-check: " + program + " is not a DLL: a Windows program for x64 (64-bit)\n", result.err);

    const std::string text = checkDll("lacking-64.def");
    result = run({text});
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("client-library-check: " + text + " is not a DLL: no MZ header\n", result.err);

    const std::string absent = checkDll("absent/TYApi64.dll");
    result = run({absent});
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("client-library-check: cannot read " + absent + "\n", result.err);

    const std::string folder = checkDll("standin-x64");
    result = run({folder});
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("client-library-check: cannot read " + folder + "\n", result.err);

    for (const auto& arguments : {std::vector<std::string>{}, std::vector<std::string>{"a.dll", "b.dll"},
                                  std::vector<std::string>{"--verbose"}}) {
        result = run(arguments);
        EXPECT_EQ(2, result.status);
        EXPECT_EQ(0u, result.err.find("usage: client-library-check PATH\n"));
    }
    result = run({"--help"});
    EXPECT_EQ(0, result.status);
    EXPECT_EQ("", result.err);
}

#if defined(_WIN32)
// The stand-in built beside the plug-in, as an integrator would check the maker's DLL.
TEST(ClientLibraryCheck, TheStandInBuiltBesideThePlugInBinds) {
    const CheckRun result = run({buildPath(TYVARION_CLIENT_STANDIN)});
    EXPECT_EQ(0, result.status) << result.err;
    ASSERT_GT(result.lines.size(), 13u);
    EXPECT_EQ("TYInvalidValue  = -1.7976931348623157e+308", result.lines[12]);
    EXPECT_NE(std::find(result.lines.begin(), result.lines.end(),
                        "  WS2_32.dll                        part of Windows"),
              result.lines.end());
#if defined(_WIN64)
    EXPECT_EQ("result          the x64 plug-in binds it", result.lines.back());
#else
    EXPECT_EQ("result          the x86 plug-in binds it", result.lines.back());
#endif
}
#endif

std::vector<std::uint8_t> fileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The file is untrusted: cut short or damaged anywhere, it is refused or read
// in part, never read beyond its end (the sanitizer builds watch this).
TEST(PeImage, TruncatedAndDamagedFilesAreRefusedOrReadInPart) {
    EXPECT_EQ("no MZ header", std::get<std::string>(readPeImage({})));
    std::vector<std::uint8_t> header(64, 0);
    header[0] = 'M';
    header[1] = 'Z';
    header[0x3c] = 0xf0;  // beyond the file
    EXPECT_EQ("no PE header", std::get<std::string>(readPeImage(header)));

    const std::vector<std::uint8_t> dll = fileBytes(checkDll("alternative-x86/TYApi32.dll"));
    ASSERT_GT(dll.size(), 1024u);
    const auto whole = std::get<PeImage>(readPeImage(dll));
    EXPECT_EQ(Machine::x86, whole.machine);
    EXPECT_TRUE(whole.dll);
    EXPECT_EQ(10u, whole.exports.size());
    EXPECT_EQ((std::vector<std::string>{"KERNEL32.dll", "msvcrt.dll"}), whole.imports);

    std::size_t refused = 0;
    for (std::size_t size = 0; size < dll.size(); size += 97) {
        auto read = readPeImage(std::vector<std::uint8_t>(dll.begin(), dll.begin() + static_cast<long>(size)));
        if (std::holds_alternative<std::string>(read)) {
            ++refused;
            continue;
        }
        const PeImage& image = std::get<PeImage>(read);
        EXPECT_LE(image.exports.size(), whole.exports.size());
        checkBinding(image);
    }
    EXPECT_GT(refused, 0u);
    // Bytes all over set to 0xff: counts, offsets and names run wild.
    for (std::size_t at = 0; at < dll.size(); at += 13) {
        std::vector<std::uint8_t> damaged = dll;
        damaged[at] = 0xff;
        auto read = readPeImage(std::move(damaged));
        if (const auto* image = std::get_if<PeImage>(&read)) checkBinding(*image);
    }
}

TEST(BindingCheck, NamesUndecoratedAndImportsSorted) {
    EXPECT_EQ("tyapi::TYApi::TYApi", undecoratedName("??0TYApi@tyapi@@QEAA@PEBD@Z"));
    EXPECT_EQ("tyapi::TYApi::~TYApi", undecoratedName("??1TYApi@tyapi@@UAE@XZ"));
    EXPECT_EQ("tyapi::TYApi::calibrate", undecoratedName("?calibrate@TYApi@tyapi@@QAE?AW4ReturnCalibrate@2@H@Z"));
    EXPECT_EQ("tyapi::TYInvalidValue", undecoratedName("?TYInvalidValue@tyapi@@3NB"));
    EXPECT_EQ("??_7TYApi@tyapi@@6B@", undecoratedName("??_7TYApi@tyapi@@6B@"));
    EXPECT_EQ("TYApiConnect", undecoratedName("TYApiConnect"));
    EXPECT_EQ("?", undecoratedName("?"));

    EXPECT_EQ(ImportKind::windows, importKind("KERNEL32.dll"));
    EXPECT_EQ(ImportKind::windows, importKind("msvcrt.dll"));
    EXPECT_EQ(ImportKind::windows, importKind("api-ms-win-core-synch-l1-2-0.dll"));
    EXPECT_EQ(ImportKind::ucrt, importKind("api-ms-win-crt-runtime-l1-1-0.dll"));
    EXPECT_EQ(ImportKind::vcRuntime, importKind("VCRUNTIME140.dll"));
    EXPECT_EQ(ImportKind::vcRuntime, importKind("MSVCP140.dll"));
    EXPECT_EQ(ImportKind::vcRuntime, importKind("msvcr120.dll"));
    EXPECT_EQ(ImportKind::other, importKind("TYDevice.dll"));
    EXPECT_EQ("Visual C++ runtime: install the maker's Visual C++ Redistributable (x64) on the lab PC",
              importNeed({"VCRUNTIME140.dll", ImportKind::vcRuntime}, Machine::x64, "TYApi64.dll"));
    EXPECT_EQ("not part of Windows: must be on the lab PC, beside TYApi32.dll or installed by the maker",
              importNeed({"TYDevice.dll", ImportKind::other}, Machine::x86, "TYApi32.dll"));

    EXPECT_EQ("-1.7976931348623157e+308", doubleText(-1.7976931348623157e+308));
    EXPECT_EQ("-9999", doubleText(-9999.0));
}

}  // namespace
