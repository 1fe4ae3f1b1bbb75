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

TEST(ExtractionOptions, ResetPutsBackWhatANewRecordHolds) {
    const ExtractionOptions fresh;
    EXPECT_EQ(fresh.pathEdit(), "e:\\tempvideo\\images");
    EXPECT_EQ(fresh.CustomH(), "480");
    EXPECT_EQ(fresh.edtSecStart(), "1");
    EXPECT_EQ(fresh.edtEverSec(), "5");
    EXPECT_EQ(fresh.jpgTrackBar(), 75);
    EXPECT_EQ(fresh.language(), 1033);
    EXPECT_FALSE(fresh.BMPBtn() || fresh.rbAutoWidth() || fresh.rbMatrix() || fresh.rbEverSec() ||
                 fresh.rbRandom() || fresh.chkAddNumber() || fresh.chkFolder() || fresh.chkSec() ||
                 fresh.chktime() || fresh.chkFilename());

    ExtractionOptions o;
    for (OptionField f : kStoredOptionFields) {
        o.setFlag(f, true);
        o.setText(f, "x");
    }
    o.setFlag(OptionField::rbMatrix, true);
    o.setFlag(OptionField::rbRandom, true);
    o.setJpgTrackBar(3);
    o.setLanguage(1049);
    o.resetToInitial();
    for (OptionField f : kStoredOptionFields) {
        EXPECT_EQ(o.text(f), fresh.text(f)) << optionFieldName(f).toStdString();
        EXPECT_EQ(o.flag(f), fresh.flag(f)) << optionFieldName(f).toStdString();
    }
    EXPECT_EQ(o.language(), 1033);
}

}  // namespace
}  // namespace mx
