// The client library's interface as the maker's compiler sees it, declarations
// only: the classes, records and results the plug-in uses, with the members
// imported from the DLL. No system header, so that clang can compile it for a
// Microsoft target without the maker's SDK. A maker's header can stand in for
// this file (scripts/check-binding).
#ifndef TYVARION_MAKER_DECLARATIONS_H
#define TYVARION_MAKER_DECLARATIONS_H

#ifndef TYAPI_IMPORT
#define TYAPI_IMPORT __declspec(dllimport)
#endif

namespace tyapi {

extern TYAPI_IMPORT const double TYInvalidValue;

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

struct ScreenConfig {
    unsigned char reserved0[68];
    int width;
    int height;
    unsigned char reserved76[20];
};

enum ReturnConnect { CONNECT_SUCCESS = 0 };
enum ReturnStart { START_SUCCESS = 0 };
enum ReturnCalibrate { CALIBRATE_SUCCESS = 0 };

class TYAPI_IMPORT TYApi {
public:
    class TYGazeSampleCallback {
    public:
        virtual ~TYGazeSampleCallback() {}
        virtual void onGazeSample(const TYGazeSample& sample) = 0;
    };
    class TYDeviceEventCallback {
    public:
        virtual ~TYDeviceEventCallback() {}
        virtual void onDeviceEvent(int code) = 0;
    };

    TYApi(const char* clientName);
    ~TYApi();
    void registerGazeSampleListener(TYGazeSampleCallback* listener);
    void registerDeviceEventListener(TYDeviceEventCallback* listener);
    ReturnConnect connect();
    void getActiveScreen(ScreenConfig& screen) const;
    ReturnStart requestTracking(int mode);
    void unrequestTracking();
    ReturnCalibrate calibrate(int mode);
};

}  // namespace tyapi

#endif
