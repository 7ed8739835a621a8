// Making host events from one gaze sample: the rows, their order, the invalid
// marker and the display mapping, without a tracker object.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#include "fake_tyapi.h"
#include "pipeline/gaze_events.h"
#include "pipeline_support.h"

using pipeline_support::eventNames;
using namespace tyvarion;

namespace {

constexpr DisplayGeometry kScreenOnly{1920, 1080, 0, 0};

std::vector<EyeTracker2GeneralData> make(const tyapi::TYGazeSample& sample, DataKinds kinds,
                                         const DisplayGeometry& geometry = kScreenOnly) {
    GazeEvents events;
    const std::size_t count = makeGazeEvents(sample, kinds, geometry, events);
    EXPECT_LE(count, kMaxEventsPerSample);
    return {events.begin(), events.begin() + static_cast<std::ptrdiff_t>(count)};
}

void expectEvent(const EyeTracker2GeneralData& event, LONG type, LONG eye, ULONGLONG time,
                 double x, double y, double data1) {
    SCOPED_TRACE(pipeline_support::eventName(type, eye));
    EXPECT_EQ(type, event.type);
    EXPECT_EQ(0, event.subType);
    EXPECT_EQ(eye, event.eye);
    EXPECT_EQ(time, event.time);
    EXPECT_EQ(x, event.xData);
    EXPECT_EQ(y, event.yData);
    EXPECT_EQ(data1, event.data1);
    EXPECT_EQ(0.0, event.data2);
    EXPECT_EQ(0.0, event.data3);
}

}  // namespace

TEST(GazeEvents, EveryKindSelectedGivesSixRowsInOrder) {
    tyapi::TYGazeSample sample = fake::validSample(123456789, 7);
    sample.porY = 600.0;  // (960, 600) on the screen is (0, 60) on the host's side
    const auto events = make(sample, kAllDataKinds);
    ASSERT_EQ(6u, events.size());
    expectEvent(events[0], ET2_DT_POSITION, ET2_ET_DEFAULT, 123456789, 0.0, 60.0, 0.0);
    expectEvent(events[1], ET2_DT_POSITION, ET2_ET_LEFT, 123456789, -2.0, 0.0, 0.0);
    expectEvent(events[2], ET2_DT_POSITION, ET2_ET_RIGHT, 123456789, 2.0, 0.0, 0.0);
    // Diameters: twice each radius (2.0, 3.0), and their mean for the default eye.
    expectEvent(events[3], ET2_DT_PUPIL, ET2_ET_LEFT, 123456789, 4.0, 4.0, 113.1);
    expectEvent(events[4], ET2_DT_PUPIL, ET2_ET_RIGHT, 123456789, 6.0, 6.0, 113.1);
    expectEvent(events[5], ET2_DT_PUPIL, ET2_ET_DEFAULT, 123456789, 5.0, 5.0, 113.1);
    for (const auto& event : events) {
        unsigned char padding[4];
        std::memcpy(padding, reinterpret_cast<const unsigned char*>(&event) + 12, 4);
        EXPECT_EQ(0u, padding[0] | padding[1] | padding[2] | padding[3]);  // whole records
    }
}

TEST(GazeEvents, EachKindMakesOnlyItsOwnRow) {
    const tyapi::TYGazeSample sample = fake::validSample();
    EXPECT_EQ("", eventNames(make(sample, 0)));
    EXPECT_EQ("pos-default", eventNames(make(sample, kPositionDefault)));
    EXPECT_EQ("pos-left", eventNames(make(sample, kPositionLeft)));
    EXPECT_EQ("pos-right", eventNames(make(sample, kPositionRight)));
    EXPECT_EQ("pupil-left", eventNames(make(sample, kPupilLeft)));
    EXPECT_EQ("pupil-right", eventNames(make(sample, kPupilRight)));
    EXPECT_EQ("pupil-default", eventNames(make(sample, kPupilDefault)));
    EXPECT_EQ("pos-right pupil-default", eventNames(make(sample, kPupilDefault | kPositionRight)));
}

TEST(GazeEvents, InvalidFieldSuppressesOnlyTheRowsThatTestIt) {
    struct Case {
        const char* field;
        double tyapi::TYGazeSample::*member;
        const char* remaining;
    };
    const Case cases[] = {
        {"porX", &tyapi::TYGazeSample::porX,
         "pos-left pos-right pupil-left pupil-right pupil-default"},
        {"porLeftX", &tyapi::TYGazeSample::porLeftX,
         "pos-default pos-right pupil-left pupil-right pupil-default"},
        {"porRightX", &tyapi::TYGazeSample::porRightX,
         "pos-default pos-left pupil-left pupil-right pupil-default"},
        {"pupilRadiusLeft", &tyapi::TYGazeSample::pupilRadiusLeft,
         "pos-default pos-left pos-right pupil-right"},
        {"pupilRadiusRight", &tyapi::TYGazeSample::pupilRadiusRight,
         "pos-default pos-left pos-right pupil-left"},
        // Vertical fields are not tested: the marker is mapped like any number.
        {"porY", &tyapi::TYGazeSample::porY, "pos-default pos-left pos-right pupil-left "
                                              "pupil-right pupil-default"},
        {"porLeftY", &tyapi::TYGazeSample::porLeftY, "pos-default pos-left pos-right pupil-left "
                                                      "pupil-right pupil-default"},
        {"porRightY", &tyapi::TYGazeSample::porRightY, "pos-default pos-left pos-right "
                                                        "pupil-left pupil-right pupil-default"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        tyapi::TYGazeSample sample = fake::validSample();
        sample.*c.member = tyapi::TYInvalidValue;
        EXPECT_EQ(c.remaining, eventNames(make(sample, kAllDataKinds)));
    }

    tyapi::TYGazeSample sample = fake::validSample();
    sample.porY = tyapi::TYInvalidValue;
    EXPECT_EQ(tyapi::TYInvalidValue - 540.0, make(sample, kPositionDefault)[0].yData);

    sample = fake::validSample();
    sample.pupilRadiusLeft = tyapi::TYInvalidValue;
    sample.pupilRadiusRight = tyapi::TYInvalidValue;
    sample.porX = sample.porLeftX = sample.porRightX = tyapi::TYInvalidValue;
    EXPECT_EQ("", eventNames(make(sample, kAllDataKinds)));
}

TEST(GazeEvents, NaNIsNotTheInvalidMarkerAndIsUsed) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    tyapi::TYGazeSample sample = fake::validSample();
    sample.porX = nan;
    sample.pupilRadiusLeft = nan;
    const auto events = make(sample, kAllDataKinds);
    ASSERT_EQ("pos-default pos-left pos-right pupil-left pupil-right pupil-default",
              eventNames(events));
    EXPECT_TRUE(std::isnan(events[0].xData));
    EXPECT_EQ(0.0, events[0].yData);
    EXPECT_TRUE(std::isnan(events[3].xData));
    EXPECT_TRUE(std::isnan(events[3].yData));
    EXPECT_EQ(6.0, events[4].xData);
    EXPECT_TRUE(std::isnan(events[5].xData));
}

TEST(GazeEvents, TimeIsTheSampleTimestampTakenAsUnsigned) {
    EXPECT_EQ(0u, make(fake::validSample(0), kPositionDefault)[0].time);
    EXPECT_EQ(0xFFFFFFFFFFFFFFFFu, make(fake::validSample(-1), kPupilLeft)[0].time);
    EXPECT_EQ(0x7FFFFFFFFFFFFFFFu,
              make(fake::validSample(INT64_MAX), kPositionRight)[0].time);
}

TEST(DisplayMapping, ScalesToTheDisplayOnlyWhenADisplayWidthIsSet) {
    struct Case {
        const char* name;
        DisplayGeometry geometry;
        double x, y;
        double expectedX, expectedY;
    };
    const Case cases[] = {
        {"no display mode, corner", {1920, 1080, 0, 0}, 0, 0, -960, -540},
        {"no display mode, centre", {1920, 1080, 0, 0}, 960, 540, 0, 0},
        {"no display mode, far corner", {1920, 1080, 0, 0}, 1920, 1080, 960, 540},
        {"800 x 600, corner", {1920, 1080, 800, 600}, 0, 0, -400, -300},
        {"800 x 600, centre", {1920, 1080, 800, 600}, 960, 540, 0, 0},
        {"800 x 600, three quarters", {1920, 1080, 800, 600}, 1440, 810, 200, 150},
        // The vertical axis is not flipped.
        {"800 x 600, below centre", {1920, 1080, 800, 600}, 960, 1080, 0, 300},
        // Width 0 means no display mode, whatever the height.
        {"width 0, height 600", {1920, 1080, 0, 600}, 0, 0, -960, -540},
        {"width 800, height 0", {1920, 1080, 800, 0}, 0, 0, -400, 0},
        {"negative width", {1920, 1080, -800, 600}, 0, 0, 400, -300},
        {"off the screen", {1920, 1080, 800, 600}, -960, 2160, -800, 900},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DisplayPoint point = mapToDisplay(c.x, c.y, c.geometry);
        EXPECT_EQ(c.expectedX, point.x);
        EXPECT_EQ(c.expectedY, point.y);
    }
}

TEST(DisplayMapping, AppliesToEveryPositionRowAndNoPupilRow) {
    tyapi::TYGazeSample sample = fake::validSample();
    sample.porX = sample.porLeftX = sample.porRightX = 0.0;
    sample.porY = sample.porLeftY = sample.porRightY = 0.0;
    const auto events = make(sample, kAllDataKinds, {1920, 1080, 800, 600});
    ASSERT_EQ(6u, events.size());
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(-400.0, events[row].xData);
        EXPECT_EQ(-300.0, events[row].yData);
    }
    EXPECT_EQ(4.0, events[3].xData);
    EXPECT_EQ(6.0, events[4].xData);
    EXPECT_EQ(5.0, events[5].xData);
}
