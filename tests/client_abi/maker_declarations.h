// The client library's interface as the maker's compiler sees it, declarations
// only: the classes, records and results the plug-in uses, with the members
// imported from the DLL. No system header, so that clang can compile it for a
// Microsoft target without the maker's SDK. A maker's header can stand in for
// this file (check_binding.cmake's DECLARATIONS).
//
// The maker's documentation leaves a few choices open. Each macro below picks
// one reading; the default is the one the plug-in believes:
//   TYAPI_CALLBACK_KEY       class | struct    the two callback interfaces
//   TYAPI_SCREEN_KEY         struct | class    ScreenConfig
//   TYAPI_SCREEN_BY_POINTER  defined: getActiveScreen takes a pointer
//   TYAPI_VIRTUAL_DESTRUCTOR defined: ~TYApi is virtual
//   TYAPI_NESTED_RESULTS     defined: the Return... enumerations are TYApi's
//   TYAPI_MARKER_MEMBER      defined: TYInvalidValue is a static member of TYApi
//   TYAPI_MARKER_MUTABLE     defined: TYInvalidValue is not const
#ifndef TYVARION_MAKER_DECLARATIONS_H
#define TYVARION_MAKER_DECLARATIONS_H

#ifndef TYAPI_IMPORT
#define TYAPI_IMPORT __declspec(dllimport)
#endif
#ifndef TYAPI_CALLBACK_KEY
#define TYAPI_CALLBACK_KEY class
#endif
#ifndef TYAPI_SCREEN_KEY
#define TYAPI_SCREEN_KEY struct
#endif
#ifdef TYAPI_SCREEN_BY_POINTER
#define TYAPI_SCREEN_PARAMETER ScreenConfig*
#define TYAPI_SCREEN_ARGUMENT(screen) (&(screen))
#else
#define TYAPI_SCREEN_PARAMETER ScreenConfig&
#define TYAPI_SCREEN_ARGUMENT(screen) (screen)
#endif
#ifdef TYAPI_VIRTUAL_DESTRUCTOR
#define TYAPI_DESTRUCTOR_KEY virtual
#else
#define TYAPI_DESTRUCTOR_KEY
#endif
#ifdef TYAPI_MARKER_MUTABLE
#define TYAPI_MARKER_TYPE double
#else
#define TYAPI_MARKER_TYPE const double
#endif
#ifdef TYAPI_MARKER_MEMBER
#define TYAPI_MARKER tyapi::TYApi::TYInvalidValue
#else
#define TYAPI_MARKER tyapi::TYInvalidValue
#endif

#define TYAPI_RESULTS                                \
    enum ReturnConnect { CONNECT_SUCCESS = 0 };      \
    enum ReturnStart { START_SUCCESS = 0 };          \
    enum ReturnCalibrate { CALIBRATE_SUCCESS = 0 };

namespace tyapi {

#ifndef TYAPI_MARKER_MEMBER
extern TYAPI_IMPORT TYAPI_MARKER_TYPE TYInvalidValue;
#endif

struct TYGazeSample {
    long long timestampMicroSec;
    int index;
    unsigned char reserved12[20];
    double porX, porY, porLeftX, porLeftY;
    unsigned char reserved64[24];
    double pupilRadiusLeft, porRightX, porRightY;
    unsigned char reserved112[24];
    double pupilRadiusRight;
};

TYAPI_SCREEN_KEY ScreenConfig {
public:
    unsigned char reserved0[68];
    int width;
    int height;
    unsigned char reserved76[20];
};

#ifndef TYAPI_NESTED_RESULTS
TYAPI_RESULTS
#endif

class TYAPI_IMPORT TYApi {
public:
#ifdef TYAPI_NESTED_RESULTS
    TYAPI_RESULTS
#endif
#ifdef TYAPI_MARKER_MEMBER
    static TYAPI_MARKER_TYPE TYInvalidValue;
#endif

    TYAPI_CALLBACK_KEY TYGazeSampleCallback {
    public:
        virtual ~TYGazeSampleCallback() {}
        virtual void onGazeSample(const TYGazeSample& sample) = 0;
    };
    TYAPI_CALLBACK_KEY TYDeviceEventCallback {
    public:
        virtual ~TYDeviceEventCallback() {}
        virtual void onDeviceEvent(int code) = 0;
    };

    TYApi(const char* clientName);
    TYAPI_DESTRUCTOR_KEY ~TYApi();
    void registerGazeSampleListener(TYGazeSampleCallback* listener);
    void registerDeviceEventListener(TYDeviceEventCallback* listener);
    ReturnConnect connect();
    void getActiveScreen(TYAPI_SCREEN_PARAMETER screen) const;
    ReturnStart requestTracking(int mode);
    void unrequestTracking();
    ReturnCalibrate calibrate(int mode);
};

}  // namespace tyapi

#endif
