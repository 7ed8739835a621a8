#pragma once
// The eye-tracking server's client library as the plug-in uses it: the class
// tyapi::TYApi, its records, results and callback interfaces. The library
// itself lives outside the plug-in. On Windows the product binds the maker's
// DLL at run time (client/dynamic/); native builds link the simulator's
// client, unit tests a scriptable fake. Each supplies TYApi::Impl.
//
// The two callback interfaces are shared with the library in binary form, so
// they are laid out here by hand the way the maker's compiler lays out a class
// with a virtual destructor and one virtual function: a pointer to a table of
// exactly two slots, the scalar deleting destructor and then the callback
// (client/callback_slots.h builds the tables). GCC would give a virtual
// destructor two slots of its own and move the callback to slot 2.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tyapi {

// A sample field equal to this value (plain ==) carries no value: the marker
// of the clients built into the project.
extern const double TYInvalidValue;

// The marker in force: TYInvalidValue, or the value a bound client library
// exports. The intake and the recording compare against this.
double invalidValue() noexcept;
// Called when a client library is bound, before any sample can arrive.
void setInvalidValue(double marker) noexcept;

// The maker's calling convention for member functions: __thiscall on x86
// Windows (`this` in ECX, the callee pops), the platform's default elsewhere.
#if defined(_WIN32) && defined(__i386__)
#define TYAPI_MEMBER_CALL __attribute__((thiscall))
#else
#define TYAPI_MEMBER_CALL
#endif

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

// The active screen; only width and height (pixels) are read. The maker's
// record is 76 to 96 bytes and the library may write all of it, so this one
// holds the largest, aligned as the maker's compiler may align a record of
// doubles and pointers (the library may copy it with aligned moves).
struct alignas(sizeof(void*) == 8 ? 16 : 8) ScreenConfig {
    std::uint8_t reserved0[68];
    std::int32_t width;
    std::int32_t height;
    std::uint8_t reserved76[20];
};

static_assert(offsetof(ScreenConfig, width) == 68);
static_assert(offsetof(ScreenConfig, height) == 72);
static_assert(sizeof(ScreenConfig) == 96);
static_assert(alignof(ScreenConfig) == (sizeof(void*) == 8 ? 16 : 8));

// A virtual-function table as the maker's compiler lays it out: the word
// before slot 0 is where it keeps the class's run-time type information. The
// plug-in's tables carry none, so that word is null rather than whatever
// the linker put before them.
template <class Slots>
struct SlotTable {
    const void* typeInformation;
    Slots slots;
};

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
        // The virtual-function table, slot by slot.
        struct Slots {
            // Scalar deleting destructor: destroys, and frees when bit 0 of
            // `flags` is set; returns `self`.
            void*(TYAPI_MEMBER_CALL* destroy)(TYGazeSampleCallback* self, unsigned int flags);
            void(TYAPI_MEMBER_CALL* onGazeSample)(TYGazeSampleCallback* self, const TYGazeSample& sample);
        };

        // What the library's `listener->onGazeSample(sample)` does: a call through slot 1.
        void onGazeSample(const TYGazeSample& sample) { slots_->onGazeSample(this, sample); }

        TYGazeSampleCallback(const TYGazeSampleCallback&) = delete;
        TYGazeSampleCallback& operator=(const TYGazeSampleCallback&) = delete;

    protected:
        explicit TYGazeSampleCallback(const Slots& slots) noexcept : slots_(&slots) {}
        ~TYGazeSampleCallback() = default;

    private:
        const Slots* slots_;  // first: where the library looks for the table
    };

    // Receives device events on the library's own thread.
    class TYDeviceEventCallback {
    public:
        struct Slots {
            void*(TYAPI_MEMBER_CALL* destroy)(TYDeviceEventCallback* self, unsigned int flags);
            void(TYAPI_MEMBER_CALL* onDeviceEvent)(TYDeviceEventCallback* self, std::int32_t code);
        };

        // What the library's `listener->onDeviceEvent(code)` does: a call through slot 1.
        void onDeviceEvent(std::int32_t code) { slots_->onDeviceEvent(this, code); }

        TYDeviceEventCallback(const TYDeviceEventCallback&) = delete;
        TYDeviceEventCallback& operator=(const TYDeviceEventCallback&) = delete;

    protected:
        explicit TYDeviceEventCallback(const Slots& slots) noexcept : slots_(&slots) {}
        ~TYDeviceEventCallback() = default;

    private:
        const Slots* slots_;
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

static_assert(sizeof(TYApi::TYGazeSampleCallback::Slots) == 2 * sizeof(void*));
static_assert(sizeof(TYApi::TYDeviceEventCallback::Slots) == 2 * sizeof(void*));
static_assert(sizeof(TYApi::TYGazeSampleCallback) == sizeof(void*));
static_assert(sizeof(TYApi::TYDeviceEventCallback) == sizeof(void*));

}  // namespace tyapi
