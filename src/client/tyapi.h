#pragma once
// The eye-tracking server's client library as the plug-in uses it: the class
// tyapi::TYApi, its records, results and callback interfaces. The library
// itself lives outside the plug-in; the product links the simulator's client,
// unit tests link a scriptable fake. Each supplies TYApi::Impl.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tyapi {

// A sample field equal to this value (plain ==) carries no value.
extern const double TYInvalidValue;

// One gaze sample, 144 bytes, copied whole for recording. Coordinates are
// pixels of the active screen; pupil values are radii in millimetres.
struct TYGazeSample {
    std::int64_t timestampMicroSec;
    std::int32_t index;
    std::uint8_t reserved12[20];
    double porX;
    double porY;
    double porLeftX;
    double porLeftY;
    std::uint8_t reserved64[24];
    double pupilRadiusLeft;
    double porRightX;
    double porRightY;
    std::uint8_t reserved112[24];
    double pupilRadiusRight;
};

static_assert(sizeof(TYGazeSample) == 144);
static_assert(offsetof(TYGazeSample, timestampMicroSec) == 0);
static_assert(offsetof(TYGazeSample, index) == 8);
static_assert(offsetof(TYGazeSample, porX) == 32);
static_assert(offsetof(TYGazeSample, porY) == 40);
static_assert(offsetof(TYGazeSample, porLeftX) == 48);
static_assert(offsetof(TYGazeSample, porLeftY) == 56);
static_assert(offsetof(TYGazeSample, pupilRadiusLeft) == 88);
static_assert(offsetof(TYGazeSample, porRightX) == 96);
static_assert(offsetof(TYGazeSample, porRightY) == 104);
static_assert(offsetof(TYGazeSample, pupilRadiusRight) == 136);

// The active screen; only width and height (pixels) are read.
struct ScreenConfig {
    std::uint8_t reserved0[68];
    std::int32_t width;
    std::int32_t height;
    std::uint8_t reserved76[4];
};

static_assert(offsetof(ScreenConfig, width) == 68);
static_assert(offsetof(ScreenConfig, height) == 72);
static_assert(sizeof(ScreenConfig) >= 76 && sizeof(ScreenConfig) <= 96);

enum ReturnConnect : int {
    CONNECT_SUCCESS = 0,
    CONNECT_FAILED = 1,
};

enum ReturnStart : int {
    START_SUCCESS = 0,
    START_NOT_CONNECTED = 1,
    START_NO_DEVICE = 2,
    START_INVALID_FRAMERATE_MODE = 3,
    START_DIFFERENT_FRAMERATE_MODE = 4,
    START_UNSPECIFIED = 5,
};

enum ReturnCalibrate : int {
    CALIBRATE_SUCCESS = 0,
    CALIBRATE_NOT_CONNECTED = 1,
    CALIBRATE_NOT_TRACKING = 2,
    CALIBRATE_INVALID_MODE = 3,
    CALIBRATE_ALREADY_CALIBRATING = 4,
    CALIBRATE_UNSPECIFIED = 5,
};

// Device event codes delivered to TYDeviceEventCallback.
enum DeviceEvent : std::int32_t {
    DEVICE_EVENT_CONNECTION_LOST = 1,
    DEVICE_EVENT_SERVER_SHUTDOWN = 3,
    DEVICE_EVENT_TRACKING_STOPPED = 4,
};

class TYApi {
public:
    // Receives gaze samples on the library's own thread.
    class TYGazeSampleCallback {
    public:
        virtual ~TYGazeSampleCallback() = default;
        virtual void onGazeSample(const TYGazeSample& sample) = 0;
    };

    // Receives device events on the library's own thread.
    class TYDeviceEventCallback {
    public:
        virtual ~TYDeviceEventCallback() = default;
        virtual void onDeviceEvent(std::int32_t code) = 0;
    };

    explicit TYApi(const char* clientName);
    // Once the destructor has returned, no callback runs.
    ~TYApi();

    TYApi(const TYApi&) = delete;
    TYApi& operator=(const TYApi&) = delete;

    void registerGazeSampleListener(TYGazeSampleCallback* listener);
    void registerDeviceEventListener(TYDeviceEventCallback* listener);
    ReturnConnect connect();
    void getActiveScreen(ScreenConfig& screen) const;
    ReturnStart requestTracking(int mode);
    void unrequestTracking();
    ReturnCalibrate calibrate(int mode);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace tyapi
