#pragma once

#include <QString>

namespace mx {

class ExtractionOptions;

// The settings file in use: the portable "mxex2.ini" beside the program when there is one,
// else the one in the user's configuration folder (created by the first save).
QString settingsFilePath();

// The user's picture folder, or empty when the platform names none.
QString userPicturesFolder();

// Positions of the options dialog's spin controls udFN, udSS and udES as LoadSettings leaves
// them: the converted numbers, before the controls clamp them to their ranges.
struct SpinPositions {
    int udFN = 11;
    int udSS = 1;
    int udES = 5;
};

// Reads the 19 [options] keys in their stored order into `options`, each missing key or
// unparsable flag or integer giving its default, and an empty "pathEdit" replaced by the
// user's picture folder. Then converts FrameNumberEdit, edtEverSec and edtSecStart in that
// order, storing each into `spins` (when given) right after its conversion. A text that is not
// a whole number throws ConvertError "'<text>' is not a valid integer value"; all 19 fields
// are loaded by then and the spin positions from the failing one on keep their values.
void LoadSettings(ExtractionOptions& options, const QString& iniPath = settingsFilePath(),
                  SpinPositions* spins = nullptr);

// Writes all 19 [options] keys from `options`, keeping every other line of the file. The file
// is replaced whole, so a failure (Error "Unable to write to <path>") changes nothing on disk.
// A text field holding CR or LF is refused with an Error naming the option, before anything is
// written.
void SaveSettings(const ExtractionOptions& options, const QString& iniPath = settingsFilePath());

// [Form] "language": 1033 when missing or not a number.
int LoadLanguageSetting(const QString& iniPath = settingsFilePath());
// Throws Error "Unable to write to <path>" as SaveSettings does.
void SaveLanguageSetting(int language, const QString& iniPath = settingsFilePath());

}  // namespace mx
