#pragma once

#include <QString>

namespace mx {

class ExtractionOptions;
class JobList;

// Job list files ("*.mxl"): one path per line, the line "options", then the 19 stored option
// fields in their settings-file order (flags as "<name>_Checked=TRUE" or "=FALSE", the JPEG
// quality in decimal, texts bare). UTF-8, CR LF line ends, no escaping. Paths are kept byte for
// byte: a name that is not UTF-8 is written and read back with its own bytes (native_path.h).

// Writes every row's path and the options. The file is replaced whole through a temporary file,
// so a failure leaves any old file as it was. A path or option text holding LF, CR or byte 26
// cannot be carried by the format: that throws Error naming the row (or option) before anything
// is written. Otherwise throws Error with the system's file error text ("Path not found", "File
// access denied", "No space left on device", ...).
void writeJobListFile(const QString& path, const JobList& jobs, const ExtractionOptions& options);

struct JobListFileResult {
    int rowsAdded = 0;
    // False when the file ended before its "options" line: the rows read are kept, the options
    // are untouched, and the window may tell the user the file is incomplete.
    bool optionsFound = false;
};

// Appends the file's paths to `jobs`, numbered "1", "2", ... by the file's own count, and puts
// its option lines into `options`. Lines end at LF or CR LF, a byte 26 ends the file, and option
// lines missing at the end read as empty. Flags are true only on their exact "_Checked=TRUE"
// line; texts are taken untrimmed. A file that cannot be read throws Error ("File not found",
// "File access denied", ...) before anything changes. A quality line that is not a whole number
// throws ConvertError "'<line>' is not a valid integer value"; the rows and the option lines
// before it stay applied.
JobListFileResult readJobListFile(const QString& path, JobList& jobs, ExtractionOptions& options);

}  // namespace mx
