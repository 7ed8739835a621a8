// What TyvarionNBS.dll carries: the AppID script, the project name, the
// version block, the manifest and the type library, read back with the
// platform's own calls.
#include "com_test_support.h"

#include <oleauto.h>

#include <map>
#include <string>
#include <utility>

#include "eyetracker2_template.h"
#include "module/module_ids.h"
#include "platform/text.h"
#include "type_text.h"

namespace com_testing {
namespace {

class ResourceModule {
public:
    ResourceModule()
        : module_(LoadLibraryExW(modulePath().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    ~ResourceModule() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    ResourceModule(const ResourceModule&) = delete;
    ResourceModule& operator=(const ResourceModule&) = delete;

    HMODULE get() const { return module_; }
    // The resource's bytes; "(missing)" when there is none.
    std::string bytes(const wchar_t* type, WORD id) const {
        HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(id), type);
        if (found == nullptr) return "(missing)";
        const auto* data = static_cast<const char*>(LockResource(LoadResource(module_, found)));
        return std::string(data, SizeofResource(module_, found));
    }

private:
    HMODULE module_;
};

TEST(ModuleFile, CarriesTheAppIdScriptNameAndManifest) {
    ResourceModule module;
    ASSERT_NE(nullptr, module.get());

    const std::string script = module.bytes(L"REGISTRY", 101);
    EXPECT_EQ(145u, script.size());
    EXPECT_EQ("HKCR\r\n"
              "{\r\n"
              "\tNoRemove AppID\r\n"
              "\t{\r\n"
              "\t\t'%APPID%' = s 'eyetracker2_template'\r\n"
              "\t\t'eyetracker2_template.DLL'\r\n"
              "\t\t{\r\n"
              "\t\t\tval AppID = s '%APPID%'\r\n"
              "\t\t}\r\n"
              "\t}\r\n"
              "}\r\n",
              script);

    wchar_t name[64] = {};
    EXPECT_EQ(12, LoadStringW(module.get(), 100, name, 64));
    EXPECT_STREQ(L"Tyvarion NBS", name);

    const std::string manifest = module.bytes(RT_MANIFEST, 2);
    EXPECT_NE(std::string::npos, manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"))
        << manifest;

    EXPECT_NE("(missing)", module.bytes(L"TYPELIB", 1));
}

TEST(ModuleFile, CarriesItsVersionBlock) {
    const std::wstring path = modulePath();
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
    ASSERT_NE(0u, size);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);
    EXPECT_EQ(static_cast<DWORD>(VOS__WINDOWS32), fixed->dwFileOS);
    EXPECT_EQ(0u, fixed->dwFileFlags);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(1252, translation[1]);

    const std::map<std::wstring, std::wstring> strings = {
        {L"CompanyName", L"Tyvarion"},
        {L"FileDescription", L"Tyvarion COM interface as plugin to NBS Presentation"},
        {L"FileVersion", L"1.0.0"},
        {L"InternalName", L"tyvarion_NBS.dll"},
        {L"LegalCopyright", L"Tyvarion"},
        {L"OLESelfRegister", L""},
        {L"OriginalFilename", L"tyvarion_NBS.dll"},
        {L"ProductName", L"Tyvarion NBS plugin"},
        {L"ProductVersion", L"1.0.0.0"},
    };
    for (const auto& [key, expected] : strings) {
        const std::wstring query = L"\\StringFileInfo\\040904E4\\" + key;
        wchar_t* value = nullptr;
        length = 0;
        ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            << tyvarion::utf16ToUtf8(key.c_str(), key.size());
        EXPECT_EQ(expected, std::wstring(value, wcsnlen(value, length)));
    }
}

struct Entry {
    std::string name;
    TYPEKIND kind;
    std::string guid;
    std::string help;
};

TEST(ModuleFile, TypeLibraryDescribesTheContractAndTheClass) {
    com_ptr<ITypeLib> library;
    ASSERT_HR(S_OK, LoadTypeLibEx(modulePath().c_str(), REGKIND_NONE, library.put()));
    ITypeLib* lib = library.get();

    TLIBATTR* attributes = nullptr;
    ASSERT_HR(S_OK, lib->GetLibAttr(&attributes));
    EXPECT_EQ("{3361AC55-446C-45A1-8F65-BBDD0342F7FB}", guidText(attributes->guid));
    EXPECT_EQ(1, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    EXPECT_EQ(0x0409u, attributes->lcid);
    // Each build describes its own pointer size.
    EXPECT_EQ(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, attributes->syskind);
    lib->ReleaseTLibAttr(attributes);
    unique_bstr name;
    unique_bstr help;
    ASSERT_HR(S_OK, lib->GetDocumentation(-1, name.put(), help.put(), nullptr, nullptr));
    EXPECT_EQ("eyetracker2_template", text(name));
    EXPECT_EQ("eyetracker2_template 1.0 Type Library", text(help));

    const std::string none = "{00000000-0000-0000-0000-000000000000}";
    const std::vector<Entry> expected = {
        {"Tyvarion", TKIND_COCLASS, "{8CF18E82-1812-4650-9392-40B24301D2F1}", "Tyvarion Class"},
        {"ITyvarion", TKIND_DISPATCH, "{F410A5B5-6AA7-41B3-A472-5FDDC4D75572}", "Tyvarion Interface"},
        {"IEyeTracker2", TKIND_DISPATCH, "{1B33D185-1217-403B-BB78-CA99B276ECDD}", "(null)"},
        {"EyeTracker2GeneralData", TKIND_RECORD, "{2A384A38-8662-4D84-ADDC-E4087E295B37}", "(null)"},
        {"EyeTracker2DataType", TKIND_ALIAS, "{9ABB62AF-7959-4BA7-845C-21A2BD443F4C}", "(null)"},
        {"tagEyeTracker2DataType", TKIND_ENUM, none, "(null)"},
        {"EyeTracker2EyeType", TKIND_ALIAS, "{53FDE6FC-C46E-40EA-B3B8-416AE558EC07}", "(null)"},
        {"tagEyeTracker2EyeType", TKIND_ENUM, none, "(null)"},
        {"EyeTracker2CalibrationType", TKIND_ALIAS, "{64D1074C-0BCA-4364-AAC9-146B01200D8B}", "(null)"},
        {"tagEyeTracker2CalibrationType", TKIND_ENUM, none, "(null)"},
        {"ICalibrationDisplay", TKIND_DISPATCH, "{7ED9FF4F-21B2-40EC-82B4-FF097181CF68}", "(null)"},
        {"ImageParameters", TKIND_RECORD, "{6E6B3CF5-2FED-4C58-B395-12A9EF742F85}", "(null)"},
        {"IImageData", TKIND_DISPATCH, "{B7269D32-1584-40CD-9B60-530BE165E2DC}", "(null)"},
        {"Palette", TKIND_RECORD, "{B05F73F2-B314-4F32-80A0-4E58E47C530B}", "(null)"},
    };
    ASSERT_EQ(expected.size(), lib->GetTypeInfoCount());

    std::map<std::string, com_ptr<ITypeInfo>> infos;
    for (UINT index = 0; index < expected.size(); ++index) {
        SCOPED_TRACE(expected[index].name);
        com_ptr<ITypeInfo> info;
        ASSERT_HR(S_OK, lib->GetTypeInfo(index, info.put()));
        TYPEATTR* type = nullptr;
        ASSERT_HR(S_OK, info.get()->GetTypeAttr(&type));
        EXPECT_EQ(expected[index].kind, type->typekind);
        EXPECT_EQ(expected[index].guid, guidText(type->guid));
        const WORD flags = type->wTypeFlags;
        info.get()->ReleaseTypeAttr(type);
        ASSERT_HR(S_OK, lib->GetDocumentation(static_cast<INT>(index), name.put(), help.put(), nullptr, nullptr));
        EXPECT_EQ(expected[index].name, text(name));
        EXPECT_EQ(expected[index].help, text(help));
        if (expected[index].kind == TKIND_DISPATCH) {
            EXPECT_EQ(TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE, flags & (TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE));
            // The interface half of the dual interface.
            HREFTYPE reference = 0;
            ASSERT_HR(S_OK, info.get()->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference));
            com_ptr<ITypeInfo> vtable;
            ASSERT_HR(S_OK, info.get()->GetRefTypeInfo(reference, vtable.put()));
            ASSERT_HR(S_OK, vtable.get()->GetTypeAttr(&type));
            EXPECT_EQ(TKIND_INTERFACE, type->typekind);
            const WORD all = TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
            EXPECT_EQ(all, type->wTypeFlags & all);
            vtable.get()->ReleaseTypeAttr(type);
            info = std::move(vtable);
        } else if (expected[index].kind == TKIND_COCLASS) {
            EXPECT_EQ(TYPEFLAG_FCANCREATE, flags & TYPEFLAG_FCANCREATE);
        }
        infos[expected[index].name] = std::move(info);
    }

    // The class: ITyvarion, ITyvarion again as the default, IEyeTracker2.
    ITypeInfo* coclass = infos["Tyvarion"].get();
    std::vector<std::pair<std::string, INT>> implemented;
    for (UINT index = 0; index < 3; ++index) {
        HREFTYPE reference = 0;
        com_ptr<ITypeInfo> implementedType;
        INT flags = -1;
        ASSERT_HR(S_OK, coclass->GetRefTypeOfImplType(index, &reference));
        ASSERT_HR(S_OK, coclass->GetRefTypeInfo(reference, implementedType.put()));
        ASSERT_HR(S_OK, coclass->GetImplTypeFlags(index, &flags));
        implemented.emplace_back(memberName(implementedType.get(), MEMBERID_NIL), flags);
    }
    EXPECT_EQ((std::vector<std::pair<std::string, INT>>{
                  {"ITyvarion", 0}, {"ITyvarion", IMPLTYPEFLAG_FDEFAULT}, {"IEyeTracker2", 0}}),
              implemented);

    EXPECT_EQ(std::vector<std::string>{}, functions(infos["ITyvarion"].get()));
    EXPECT_EQ((std::vector<std::string>{
                  "[1] GetCaps([out, retval] LONG* caps) -> HRESULT",
                  "[2] IsMultithreaded([out, retval] VARIANT_BOOL* multiThreaded) -> HRESULT",
                  "[3] SetDisplayMode([in] LONG width, [in] LONG height) -> HRESULT",
                  "[4] Execute() -> HRESULT",
                  "[5] GetTime([out, retval] ULONGLONG* time) -> HRESULT",
                  "[6] GetStatus([out, retval] LONG* status) -> HRESULT",
                  "[7] GetLastError([out, retval] BSTR* message) -> HRESULT",
                  "[8] GetEventCount([out, retval] LONG* count) -> HRESULT",
                  "[9] GetEvents([in, out] LONG* count, [out] EyeTracker2GeneralData* events) -> HRESULT",
                  "[10] StartData([in] EyeTracker2DataType type, [in] EyeTracker2EyeType eye, "
                  "[out, retval] BSTR* returnValue) -> HRESULT",
                  "[11] StopData([in] EyeTracker2DataType type, [in] EyeTracker2EyeType eye, "
                  "[out, retval] BSTR* returnValue) -> HRESULT",
                  "[12] SetTracking([in] VARIANT_BOOL trackingOn, [out, retval] BSTR* returnValue) -> HRESULT",
                  "[13] SetRecording([in] VARIANT_BOOL recordingOn, [out, retval] BSTR* returnValue) -> HRESULT",
                  "[14] Calibrate([in] EyeTracker2CalibrationType calibrationType, [in] ICalibrationDisplay* "
                  "interfacePtr, [in] double parameter1, [in] double parameter2, [in] double parameter3, "
                  "[out, retval] BSTR* returnValue) -> HRESULT",
                  "[15] StartCalibration([in] LONG pointCount, [in] LONG* points, [in] EyeTracker2EyeType eye, "
                  "[in] LPWSTR parameters, [out, retval] BSTR* returnValue) -> HRESULT",
                  "[16] GetCalibrationPoint([out] LONG* pointIndex, [out] LONG* x, [out] LONG* y, "
                  "[out, retval] BSTR* returnValue) -> HRESULT",
                  "[17] AcceptPoint([out, retval] BSTR* returnValue) -> HRESULT",
                  "[18] StopCalibration([out, retval] BSTR* returnValue) -> HRESULT",
                  "[19] SendTrigger([in] LONG code) -> HRESULT",
                  "[20] SendString([in] LPWSTR message) -> HRESULT",
                  "[21] SendCommand([in] LPWSTR message, [out, retval] LONG* returnValue) -> HRESULT",
                  "[22] SendMessage([in] LPWSTR message, [out, retval] BSTR* response) -> HRESULT",
                  "[23] SetParameter([in] LPWSTR name, [in] LPWSTR value, [out, retval] BSTR* returnValue) "
                  "-> HRESULT",
                  "[24] GetParameter([in] LPWSTR name, [out, retval] BSTR* value) -> HRESULT",
                  "[25] SetAOISet([in] LONG id, [out, retval] BSTR* returnValue) -> HRESULT",
              }),
              functions(infos["IEyeTracker2"].get()));
    EXPECT_EQ((std::vector<std::string>{
                  "[1] GetDisplayMode([out] ImageParameters* mode) -> HRESULT",
                  "[2] SetPosition([in] short x, [in] short y) -> HRESULT",
                  "[3] Present() -> HRESULT",
                  "[4] GetLastError([out] BSTR* message) -> HRESULT",
                  "[5] GetResponse([in] unsigned long timeOut, [out] unsigned short* button) -> HRESULT",
                  "[6] GetKeypress([in] unsigned long timeOut, [out] unsigned short* key) -> HRESULT",
                  "[7] SetImage([in] IImageData* image, [in] Palette* Palette) -> HRESULT",
                  "[8] SetBackgroundColor([in] short red, [in] short green, [in] short blue) -> HRESULT",
              }),
              functions(infos["ICalibrationDisplay"].get()));
    EXPECT_EQ((std::vector<std::string>{
                  "[1] GetParameters([out] ImageParameters* parameters) -> HRESULT",
                  "[2] DataLock([out] unsigned char** data) -> HRESULT",
                  "[3] Unlock() -> HRESULT",
              }),
              functions(infos["IImageData"].get()));

    EXPECT_EQ((std::vector<std::string>{"type: LONG at 0", "subType: LONG at 4", "eye: LONG at 8",
                                        "time: ULONGLONG at 16", "xData: double at 24", "yData: double at 32",
                                        "data1: double at 40", "data2: double at 48", "data3: double at 56"}),
              variables(infos["EyeTracker2GeneralData"].get()));
    EXPECT_EQ((std::vector<std::string>{"height: unsigned long at 0", "width: unsigned long at 4",
                                        "pitch: unsigned long at 8", "bitsPerPixel: unsigned long at 12",
                                        "redMask: unsigned long at 16", "greenMask: unsigned long at 20",
                                        "blueMask: unsigned long at 24"}),
              variables(infos["ImageParameters"].get()));
    EXPECT_EQ(std::vector<std::string>{"colors: unsigned long[256] at 0"}, variables(infos["Palette"].get()));
    EXPECT_EQ((std::vector<std::string>{"ET2_DT_POSITION = 0", "ET2_DT_SACCADE = 1", "ET2_DT_FIXATION = 2",
                                        "ET2_DT_AOI = 3", "ET2_DT_PUPIL = 4", "ET2_DT_BLINK = 5",
                                        "ET2_DT_TRIGGER = 6", "ET2_DT_FORCE_DWORD = 2147483647"}),
              variables(infos["tagEyeTracker2DataType"].get()));
    EXPECT_EQ((std::vector<std::string>{"ET2_ET_DEFAULT = 0", "ET2_ET_RIGHT = 1", "ET2_ET_LEFT = 2",
                                        "ET2_ET_FORCE_DWORD = 2147483647"}),
              variables(infos["tagEyeTracker2EyeType"].get()));
    EXPECT_EQ((std::vector<std::string>{"ET2_CT_CALIBRATE = 0", "ET2_CT_DRIFT_CORRECT = 1",
                                        "ET2_CT_FORCE_DWORD = 2147483647"}),
              variables(infos["tagEyeTracker2CalibrationType"].get()));

    // Sizes as the host shares them.
    for (const auto& [record, size] : {std::pair<const char*, ULONG>{"EyeTracker2GeneralData", 64},
                                       {"ImageParameters", 28}, {"Palette", 1024}}) {
        TYPEATTR* type = nullptr;
        ASSERT_HR(S_OK, infos[record].get()->GetTypeAttr(&type));
        EXPECT_EQ(size, type->cbSizeInstance) << record;
        infos[record].get()->ReleaseTypeAttr(type);
    }
}

}  // namespace
}  // namespace com_testing
