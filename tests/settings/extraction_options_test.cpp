#include <gtest/gtest.h>

#include "settings/extraction_options.h"

namespace mx {
namespace {

TEST(ExtractionOptions, GroupWritesFollowTheirOrderAndQualityIsClamped) {
    ExtractionOptions o;
    EXPECT_TRUE(o.JPGBtn() && o.rbFrameFile() && o.rbProport());
    EXPECT_EQ(o.FrameNumberEdit(), "11");
    // A true write clears the members set before it; a false write touches only its field.
    o.setFlag(OptionField::rbMatrix, false);
    o.setFlag(OptionField::rbEverSec, true);
    EXPECT_FALSE(o.rbFrameFile());
    EXPECT_TRUE(o.rbEverSec());
    o.setFlag(OptionField::rbEverSec, false);
    EXPECT_FALSE(o.rbFrameFile() || o.rbMatrix() || o.rbEverSec());
    o.setFlag(OptionField::chkSec, true);
    o.setFlag(OptionField::rbRandom, true);
    EXPECT_TRUE(o.chkSec());
    EXPECT_FALSE(o.rbProport());

    std::vector<OptionField> changes;
    QObject::connect(&o, &ExtractionOptions::changed, [&](OptionField f) { changes.push_back(f); });
    o.setFlag(OptionField::BMPBtn, true);
    EXPECT_EQ(changes, (std::vector{OptionField::JPGBtn, OptionField::BMPBtn}));

    o.setJpgTrackBar(150);
    EXPECT_EQ(o.jpgTrackBar(), 100);
    o.setJpgTrackBar(-5);
    EXPECT_EQ(o.jpgTrackBar(), 0);
    o.setText(OptionField::FrameNumberEdit, "abc");
    EXPECT_EQ(o.FrameNumberEdit(), "abc");
}

}  // namespace
}  // namespace mx
