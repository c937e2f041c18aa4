#include "mouse/mouse_blocks.h"

#include <gtest/gtest.h>

#include <climits>
#include <numeric>
#include <set>
#include <string>

namespace gmd::mouse {
namespace {

// A copy of everything a load may change, to show that a refused load changed nothing.
struct Snapshot {
    explicit Snapshot(const MouseBlocks& b)
        : bank0(b.mouseBankImage[0]),
          host0(b.mouseHostBlock[0]),
          live(b.mouseLive),
          pointerSpeed(b.pointerSpeed),
          wheelLines(b.wheelLines) {}
    bool operator==(const Snapshot&) const = default;
    Image bank0;
    HostBlock host0;
    LiveBlock live;
    int pointerSpeed;
    int wheelLines;
};

void FillPattern(MouseBlocks& blocks, uint8_t seed) {
    std::iota(blocks.mouseLive.begin(), blocks.mouseLive.end(), seed);
    std::iota(blocks.mouseBankImage[0].begin(), blocks.mouseBankImage[0].end(),
              static_cast<uint8_t>(seed + 100));
    blocks.mouseHostBlock[0].fill(static_cast<uint8_t>(seed + 7));
}

TEST(MouseBlocksTest, InitialCurrentImageHoldsTheFactoryKeys) {
    const Image image = InitialCurrentImage();
    const std::vector<uint8_t> firstKeys{0x10, 0x01, 0x00, 0x10, 0x04, 0x00, 0x10, 0x02, 0x00,
                                         0x10, 0x10, 0x00, 0x10, 0x08, 0x00, 0x13, 0x03, 0x00};
    EXPECT_EQ(std::vector<uint8_t>(image.begin(), image.begin() + 18), firstKeys);
    for (size_t i = 18; i < 510; ++i) {
        ASSERT_EQ(image[i], 0x05) << "byte " << i;
    }
    EXPECT_EQ(image[510], 0);
    EXPECT_EQ(image[511], 0);
    EXPECT_EQ(MouseBlocks{}.mouseCurrentImage, image);
}

TEST(MouseBlocksTest, DpiStagesMapToTheirBytes) {
    struct Case {
        int stage;
        size_t step;
        size_t red;
    };
    // Stage 5's step follows the active-stage byte; out-of-range stages stay on the ends.
    for (const Case& c : {Case{1, 15, 23}, Case{2, 16, 26}, Case{3, 17, 29}, Case{4, 18, 32},
                          Case{5, 20, 35}, Case{0, 15, 23}, Case{6, 20, 35}}) {
        EXPECT_EQ(DpiStepOffset(c.stage), c.step) << "stage " << c.stage;
        EXPECT_EQ(DpiColourOffset(c.stage), c.red) << "stage " << c.stage;
    }
    for (const auto& [step, dpi] : {std::pair{0, 50}, {99, 5000}, {143, 7200}, {239, 12000}}) {
        EXPECT_EQ(DpiFromStep(step), dpi) << "step " << step;
    }
}

TEST(MouseBlocksTest, SensorIdSelectsTheDpiLabels) {
    MouseBlocks blocks;
    blocks.mouseInfo[9] = 0x60;
    blocks.mouseInfo[10] = 0x33;
    blocks.mouseInfo[12] = 239;
    EXPECT_EQ(blocks.SensorId(), 0x3360);
    EXPECT_EQ(blocks.DpiStepMax(), 239);

    const auto range = SensorRangeOf(blocks.SensorId());
    ASSERT_TRUE(range);
    EXPECT_EQ(range->min, "100");
    EXPECT_EQ(range->max, "12000");
    ASSERT_TRUE(SensorRangeOf(0x3310));
    EXPECT_EQ(SensorRangeOf(0x3310)->min, "50");
    EXPECT_EQ(SensorRangeOf(0x3310)->max, "5000");
    EXPECT_FALSE(SensorRangeOf(0x6033));  // byte order matters
    EXPECT_FALSE(SensorRangeOf(0));
}

TEST(MouseBlocksTest, PointerSpeedSliderMapping) {
    for (const auto& [position, speed] :
         {std::pair{-3, 2}, {0, 2}, {4, 10}, {9, 20}, {INT_MAX, INT_MAX - 1}}) {
        EXPECT_EQ(PointerSpeedFromPosition(position), speed) << "position " << position;
    }
    for (const auto& [speed, position] : {std::pair{10, 4}, {20, 9}, {2, 0}, {11, 4}}) {
        EXPECT_EQ(PositionFromPointerSpeed(speed), position) << "speed " << speed;
    }
    for (const auto& [speed, clamped] :
         {std::pair{INT_MIN, 1}, {-5, 1}, {0, 1}, {1, 1}, {10, 10}, {20, 20}, {22, 20}}) {
        EXPECT_EQ(ClampPointerSpeed(speed), clamped) << "speed " << speed;
    }
}

TEST(MouseBlocksTest, WheelLineButtons) {
    struct Case {
        int shown;  // what the edit shows; text that is no number shows as 0
        bool up;
        int result;
    };
    for (const Case& c :
         {Case{0, true, 2}, Case{-7, true, 2}, Case{1, true, 2}, Case{3, true, 4},
          Case{99, true, 100}, Case{100, true, 100}, Case{150, true, 100}, Case{INT_MAX, true, 100},
          Case{INT_MIN, true, 2}, Case{1, false, 1}, Case{0, false, 1}, Case{2, false, 1},
          Case{3, false, 2}, Case{100, false, 99}, Case{150, false, 99}, Case{INT_MAX, false, 99},
          Case{INT_MIN, false, 1}}) {
        EXPECT_EQ(StepWheelLines(c.shown, c.up), c.result) << c.shown << (c.up ? " up" : " down");
    }
}

TEST(MouseBlocksTest, LightBlobRoundTrip) {
    MouseBlocks source;
    FillPattern(source, 1);
    source.pointerSpeed = 7;
    source.wheelLines = 12;
    const auto blob = source.LightBlob();
    EXPECT_EQ(blob, source.mouseHostBlock[0]);
    EXPECT_TRUE(std::equal(source.mouseLive.begin(), source.mouseLive.end(), blob.begin()));
    EXPECT_EQ(blob[46], 7);
    EXPECT_EQ(blob[47], 12);

    MouseBlocks target;
    ASSERT_TRUE(target.LoadLightBlob(blob));
    EXPECT_EQ(target.mouseLive, source.mouseLive);
    EXPECT_EQ(target.mouseHostBlock[0], blob);
    EXPECT_EQ(target.pointerSpeed, 7);
    EXPECT_EQ(target.wheelLines, 12);
    EXPECT_EQ(target.mouseBankImage[0], Image{});  // a light profile carries no keys
}

TEST(MouseBlocksTest, StoredHostSettingsAreReadIntoRange) {
    struct Case {
        uint8_t storedSpeed;
        uint8_t storedLines;
        int speed;
        int lines;
    };
    for (const Case& c : {Case{0, 0, 1, 1}, Case{20, 100, 20, 100}, Case{21, 101, 20, 100},
                          Case{255, 255, 20, 100}}) {
        std::array<uint8_t, kLightBlobSize> blob{};
        blob[46] = c.storedSpeed;
        blob[47] = c.storedLines;
        MouseBlocks blocks;
        ASSERT_TRUE(blocks.LoadLightBlob(blob));
        EXPECT_EQ(blocks.pointerSpeed, c.speed) << int{c.storedSpeed};
        EXPECT_EQ(blocks.wheelLines, c.lines) << int{c.storedLines};
    }
    // Out-of-range values in memory do not wrap around in their byte when stored.
    MouseBlocks blocks;
    blocks.pointerSpeed = 300;
    blocks.wheelLines = 0;
    const auto blob = blocks.LightBlob();
    EXPECT_EQ(blob[46], 20);
    EXPECT_EQ(blob[47], 1);
}

TEST(MouseBlocksTest, DeviceBlobRoundTripTakesTheSystemPointerSpeed) {
    MouseBlocks source;
    FillPattern(source, 3);
    source.pointerSpeed = 15;
    source.wheelLines = 9;
    const std::vector<uint8_t> blob = source.DeviceBlob();
    ASSERT_EQ(blob.size(), kDeviceBlobSize);
    EXPECT_TRUE(
        std::equal(source.mouseBankImage[0].begin(), source.mouseBankImage[0].end(), blob.begin()));
    EXPECT_TRUE(std::equal(source.mouseHostBlock[0].begin(), source.mouseHostBlock[0].end(),
                           blob.begin() + kImageSize));

    for (const auto& [systemSpeed, speed] : {std::pair{6, 6}, {0, 1}, {25, 20}}) {
        MouseBlocks target;
        ASSERT_TRUE(target.LoadDeviceBlob(blob, systemSpeed));
        EXPECT_EQ(target.mouseBankImage[0], source.mouseBankImage[0]);
        EXPECT_EQ(target.mouseHostBlock[0], source.mouseHostBlock[0]);
        EXPECT_EQ(target.mouseLive, source.mouseLive);
        EXPECT_EQ(target.wheelLines, 9);
        EXPECT_EQ(target.pointerSpeed, speed) << "system speed " << systemSpeed;
    }

    std::vector<uint8_t> noLines = blob;
    noLines[kImageSize + 47] = 0;
    MouseBlocks target;
    ASSERT_TRUE(target.LoadDeviceBlob(noLines, 10));
    EXPECT_EQ(target.wheelLines, 1);
}

TEST(MouseBlocksTest, BlobsOfTheWrongSizeAreRefusedUntouched) {
    MouseBlocks blocks;
    FillPattern(blocks, 5);
    blocks.pointerSpeed = 4;
    blocks.wheelLines = 8;
    const Snapshot before(blocks);
    const std::vector<uint8_t> big(kDeviceBlobSize + 1, 0x11);
    for (const size_t size : {size_t{0}, kLightBlobSize - 1, kLightBlobSize + 1}) {
        EXPECT_FALSE(blocks.LoadLightBlob(std::span(big).first(size))) << size;
    }
    for (const size_t size :
         {size_t{0}, kLightBlobSize, kImageSize, kDeviceBlobSize - 1, kDeviceBlobSize + 1}) {
        EXPECT_FALSE(blocks.LoadDeviceBlob(std::span(big).first(size), 12)) << size;
    }
    EXPECT_TRUE(Snapshot(blocks) == before);
}

TEST(MouseBlocksTest, LiveFieldsCoverTheSettableBytes) {
    std::set<size_t> offsets;
    std::set<std::string_view> names;
    std::vector<std::string_view> boundByDpiMax;
    for (const LiveField& field : LiveFields()) {
        for (size_t i = 0; i < field.width; ++i) {
            EXPECT_TRUE(offsets.insert(field.offset + i).second) << field.name;
        }
        EXPECT_TRUE(names.insert(field.name).second) << field.name;
        EXPECT_LE(field.offset + field.width, kLiveSize) << field.name;
        EXPECT_EQ(field.min, 0) << field.name;
        EXPECT_LE(field.max, (1 << (8 * field.width)) - 1) << field.name;  // fits its bytes
        EXPECT_EQ(FindLiveField(field.name), &field);
        if (field.maxIsDpiStepMax) {
            boundByDpiMax.push_back(field.name);
        }
    }
    // Every named byte; 10-13, 21-22 and 38-43 are unnamed.
    EXPECT_EQ(offsets.size(), 34u);
    EXPECT_EQ(boundByDpiMax, (std::vector<std::string_view>{"dpiStep1", "dpiStep2", "dpiStep3",
                                                            "dpiStep4", "dpiStep5"}));

    struct Case {
        const char* name;
        size_t offset;
        int max;
    };
    for (const Case& c :
         {Case{"profileIndex", 0, 4}, Case{"lightMode", 1, 6}, Case{"lightSpeed", 3, 4},
          Case{"reportRate", 14, 3}, Case{"dpiStage", 19, 5}, Case{"dpiStep5", 20, 255},
          Case{"effectPhase", 9, 2}, Case{"dpiColour1", 23, 0xFFFFFF},
          Case{"dpiColour5", 35, 0xFFFFFF}, Case{"liftHeight", 44, 2}, Case{"lineAdjust", 45, 1}}) {
        const LiveField* field = FindLiveField(c.name);
        ASSERT_NE(field, nullptr) << c.name;
        EXPECT_EQ(field->offset, c.offset) << c.name;
        EXPECT_EQ(field->max, c.max) << c.name;
    }
    for (const char* unknown : {"", "dpistep1", "dpiColour1Red", "dpiColour6", "pointerSpeed"}) {
        EXPECT_EQ(FindLiveField(unknown), nullptr) << unknown;
    }
    // A stage colour is red, green, blue in block order.
    LiveBlock block{};
    WriteLiveField(block, *FindLiveField("dpiColour2"), 0x123456);
    EXPECT_EQ(block[26], 0x12);
    EXPECT_EQ(block[27], 0x34);
    EXPECT_EQ(block[28], 0x56);
    EXPECT_EQ(ReadLiveField(block, *FindLiveField("dpiColour2")), 0x123456);
    EXPECT_EQ(block[25] | block[29], 0);
}

TEST(MouseBlocksTest, TheFieldTableBoundsWhatThePagesStore) {
    // A value the table clamps is one the tool accepts, for the mouse's own DPI bound too.
    struct Case {
        const char* name;
        int value;
        int stepMax;
        int stored;
    };
    for (const Case& c :
         {Case{"reportRate", 7, 239, 3}, Case{"reportRate", -1, 239, 0},
          Case{"liftHeight", 255, 239, 2}, Case{"lightSpeed", 9, 239, 4},
          Case{"dpiStep3", 250, 143, 143}, Case{"dpiStep3", 100, 143, 100},
          Case{"dpiColour1", 0x1FFFFFF, 0, 0xFFFFFF}, Case{"lineAdjust", 1, 0, 1}}) {
        const LiveField* field = FindLiveField(c.name);
        ASSERT_NE(field, nullptr) << c.name;
        const int stored = ClampToField(*field, c.value, c.stepMax);
        EXPECT_EQ(stored, c.stored) << c.name << ' ' << c.value;
        EXPECT_TRUE(FieldAccepts(*field, stored, c.stepMax)) << c.name;
    }
    EXPECT_FALSE(FieldAccepts(*FindLiveField("dpiStep1"), 144, 143));
    EXPECT_EQ(FieldMax(*FindLiveField("dpiStep1"), 143), 143);
    EXPECT_EQ(FieldMax(*FindLiveField("reportRate"), 143), 3);
    // Every field a page sets is found by its offset, and the stage colours stay out of the
    // light profile.
    for (const LiveField& field : LiveFields()) {
        if (!field.control.empty()) {
            EXPECT_EQ(LiveFieldAt(field.offset), &field) << field.name;
        }
        EXPECT_EQ(field.inLightProfile, field.name.substr(0, 9) != "dpiColour") << field.name;
    }
    EXPECT_EQ(LiveFieldAt(10), nullptr);
}

}  // namespace
}  // namespace gmd::mouse
