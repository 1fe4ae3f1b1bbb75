#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "common/test_support.h"
#include "core/error.h"
#include "joblist/job_list.h"
#include "joblist/job_list_file.h"
#include "joblist/qt_printers.h"
#include "settings/extraction_options.h"

namespace mx {
namespace {

using test::readFile;
using test::writeFile;

// The 19 option lines of a record left at its initial values.
const QByteArray kInitialOptionLines =
    "BMPBtn_Checked=FALSE\r\n480\r\n11\r\n75\r\ne:\\tempvideo\\images\r\n1\r\n5\r\n"
    "JPGBtn_Checked=TRUE\r\nrbAutoWidth_Checked=FALSE\r\nrbFrameFile_Checked=TRUE\r\n"
    "rbMatrix_Checked=FALSE\r\nrbProport_Checked=TRUE\r\nrbRandom_Checked=FALSE\r\n"
    "chkAddNumber_Checked=FALSE\r\nchkFolder_Checked=FALSE\r\nchkSec_Checked=FALSE\r\n"
    "rbEverSec_Checked=FALSE\r\nchktime_Checked=FALSE\r\nchkFilename_Checked=FALSE\r\n";

struct Opened {
    explicit Opened(const QByteArray& bytes) {
        writeFile(path, bytes);
        result = readJobListFile(path, jobs, options);
    }
    QTemporaryDir dir;
    QString path = dir.filePath("list.mxl");
    JobList jobs;
    ExtractionOptions options;
    JobListFileResult result;
};

TEST(JobListFile, SavedListOpensToTheSameRowsAndOptions) {
    QTemporaryDir dir;
    const QString path = dir.filePath("list.mxl");
    JobList empty;
    ExtractionOptions initial;
    writeJobListFile(path, empty, initial);
    EXPECT_EQ(readFile(path), "options\r\n" + kInitialOptionLines);

    JobList jobs;
    jobs.add(QString::fromUtf8("/v/\xC3\xA9t\xC3\xA9 clip.avi"));
    jobs.add("");
    jobs.add(" /v/b.mpg ");
    ExtractionOptions saved;
    saved.setFlag(OptionField::BMPBtn, true);
    saved.setFlag(OptionField::rbFrameFile, false);  // frame method: no member set
    saved.setFlag(OptionField::rbRandom, true);
    saved.setFlag(OptionField::chkFolder, true);
    saved.setText(OptionField::pathEdit, " /out ");
    saved.setText(OptionField::CustomH, "");
    saved.setJpgTrackBar(3);
    writeJobListFile(path, jobs, saved);

    JobList opened;
    opened.add("/x/first.avi");
    opened.add("/x/second.avi");
    ExtractionOptions loaded;
    bool pathFieldNotified = false;
    QObject::connect(&loaded, &ExtractionOptions::changed,
                     [&](OptionField f) { pathFieldNotified |= f == OptionField::chkFolder; });
    const JobListFileResult result = readJobListFile(path, opened, loaded);
    EXPECT_TRUE(result.optionsFound);
    EXPECT_EQ(result.rowsAdded, 3);
    ASSERT_EQ(opened.count(), 5);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(opened.row(i + 2).number, QString::number(i + 1));
        EXPECT_EQ(opened.row(i + 2).path, jobs.row(i).path);
    }
    for (OptionField f : kStoredOptionFields) {
        EXPECT_EQ(loaded.text(f), saved.text(f)) << optionFieldName(f).toStdString();
    }
    EXPECT_TRUE(pathFieldNotified);
}

TEST(JobListFile, OddLinesReadByTheLineRules) {
    // LF ends, a blank path line, lower-case "true", and the file ending inside the options.
    Opened early("/a.avi\n\noptions\nBMPBtn_Checked=true\n640\n\n42\n");
    EXPECT_TRUE(early.result.optionsFound);
    ASSERT_EQ(early.jobs.count(), 2);
    EXPECT_EQ(early.jobs.row(1).path, "");
    EXPECT_EQ(early.jobs.row(1).number, "2");
    EXPECT_FALSE(early.options.BMPBtn());
    EXPECT_EQ(early.options.CustomH(), "640");
    EXPECT_EQ(early.options.FrameNumberEdit(), "");
    EXPECT_EQ(early.options.jpgTrackBar(), 42);
    EXPECT_EQ(early.options.pathEdit(), "");
    EXPECT_FALSE(early.options.JPGBtn());
    EXPECT_FALSE(early.options.rbFrameFile());
    EXPECT_FALSE(early.options.rbProport());

    // A path line reading "options" ends the paths early; the later lines are option lines,
    // and the byte 26 ends the file.
    Opened cut(
        "/a.avi\r\noptions\r\n/b.avi\r\noptions\r\n "
        "11\r\n150\r\n\x1A/after\r\nrest\r\n");
    EXPECT_EQ(cut.jobs.count(), 1);
    EXPECT_FALSE(cut.options.BMPBtn());
    EXPECT_EQ(cut.options.CustomH(), "options");
    EXPECT_EQ(cut.options.FrameNumberEdit(), " 11");
    EXPECT_EQ(cut.options.jpgTrackBar(), 100);
    EXPECT_EQ(cut.options.pathEdit(), "");

    // CR alone is no line end: one long path and no options line at all.
    Opened crOnly("/a.avi\r/b.avi\roptions\rBMPBtn_Checked=TRUE\r");
    EXPECT_FALSE(crOnly.result.optionsFound);
    ASSERT_EQ(crOnly.jobs.count(), 1);
    EXPECT_EQ(crOnly.jobs.row(0).path, "/a.avi\r/b.avi\roptions\rBMPBtn_Checked=TRUE\r");
    EXPECT_EQ(crOnly.options.text(OptionField::pathEdit), "e:\\tempvideo\\images");
}

TEST(JobListFile, BadQualityLineStopsAfterTheLinesBeforeIt) {
    const auto expectMessage = [](const QByteArray& bytes, const char* message) {
        QTemporaryDir dir;
        writeFile(dir.filePath("l.mxl"), bytes);
        JobList jobs;
        ExtractionOptions options;
        try {
            readJobListFile(dir.filePath("l.mxl"), jobs, options);
            ADD_FAILURE() << "read";
        } catch (const ConvertError& e) {
            EXPECT_EQ(e.message(), message);
        }
        EXPECT_EQ(jobs.count(), 1);
        EXPECT_TRUE(options.BMPBtn());
        EXPECT_EQ(options.pathEdit(), "e:\\tempvideo\\images");  // after the failing line
    };
    expectMessage("/a.avi\r\noptions\r\nBMPBtn_Checked=TRUE\r\n1\r\n2\r\n75%\r\n/out\r\n",
                  "'75%' is not a valid integer value");
    expectMessage("/a.avi\r\noptions\r\nBMPBtn_Checked=TRUE\r\n",
                  "'' is not a valid integer value");
}

TEST(JobListFile, FilesThatCannotBeUsedChangeNothing) {
    QTemporaryDir dir;
    JobList jobs;
    ExtractionOptions options;
    const auto expectError = [&](auto&& call, const char* message) {
        try {
            call();
            ADD_FAILURE() << "no error, expected " << message;
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), message);
        }
    };
    expectError([&] { readJobListFile(dir.filePath("none.mxl"), jobs, options); },
                "File not found");
    expectError([&] { readJobListFile(dir.filePath("no/none.mxl"), jobs, options); },
                "Path not found");
    expectError([&] { readJobListFile(dir.path(), jobs, options); }, "File access denied");
    EXPECT_EQ(jobs.count(), 0);

    // Root may write anywhere, so the failures come from paths that cannot be files.
    jobs.add("/a.avi");
    writeFile(dir.filePath("file"), "old");
    expectError([&] { writeJobListFile(dir.filePath("file/l.mxl"), jobs, options); },
                "Path not found");
    expectError([&] { writeJobListFile(dir.path(), jobs, options); }, "File access denied");
    EXPECT_EQ(readFile(dir.filePath("file")), "old");
}

}  // namespace
}  // namespace mx
