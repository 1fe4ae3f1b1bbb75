#include "settings/settings_file.h"

#include <QStandardPaths>

#include "core/app_locations.h"
#include "core/int_text.h"
#include "settings/extraction_options.h"
#include "settings/ini_file.h"

namespace mx {
namespace {

const QString kOptionsSection = QStringLiteral("options");
const QString kFormSection = QStringLiteral("Form");
const QString kLanguageKey = QStringLiteral("language");
constexpr int kDefaultLanguage = 1033;
constexpr int kDefaultJpgQuality = 75;

// Only the BMP flag carries the "_Checked" suffix in this file; files in use have this mix.
QString keyOf(OptionField field) {
    if (field == OptionField::BMPBtn) {
        return QStringLiteral("BMPBtn_Checked");
    }
    return optionFieldName(field);
}

// Defaults of a missing key. They differ from the dialog's initial values for FrameNumberEdit,
// pathEdit, rbFrameFile and rbProport, so a first start without a file leaves the frame
// method and extract method groups empty.
QString defaultText(OptionField field) {
    switch (field) {
        case OptionField::CustomH:
            return QStringLiteral("480");
        case OptionField::FrameNumberEdit:
            return QStringLiteral("5");
        case OptionField::edtSecStart:
            return QStringLiteral("1");
        case OptionField::edtEverSec:
            return QStringLiteral("5");
        default:
            return {};
    }
}

bool defaultFlag(OptionField field) {
    return field == OptionField::JPGBtn;
}

// The user's configuration folder is made on the first write; a folder named by any other path
// is the caller's to provide. A folder that cannot be made fails the write that follows.
void prepareFolderOf(const QString& iniPath) {
    if (iniPath.startsWith(userConfigFolder() + QLatin1Char('/'))) {
        makeParentFolders(iniPath);
    }
}

}  // namespace

QString settingsFilePath() {
    return chooseSettingsFile();
}

QString userPicturesFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
}

void LoadSettings(ExtractionOptions& options, const QString& iniPath, SpinPositions* spins) {
    const IniFile ini(iniPath);
    for (OptionField field : kStoredOptionFields) {
        const QString key = keyOf(field);
        switch (optionFieldKind(field)) {
            case OptionKind::Flag:
            case OptionKind::GroupFlag:
                options.setFlag(field,
                                ini.readInteger(kOptionsSection, key, defaultFlag(field)) != 0);
                break;
            case OptionKind::Integer:
                options.setJpgTrackBar(ini.readInteger(kOptionsSection, key, kDefaultJpgQuality));
                break;
            case OptionKind::NumberText:
            case OptionKind::Text:
                options.setText(field, ini.readString(kOptionsSection, key, defaultText(field)));
                break;
        }
        if (field == OptionField::pathEdit && options.pathEdit().isEmpty()) {
            options.setText(field, userPicturesFolder());
        }
    }

    SpinPositions ignored;
    SpinPositions& target = spins ? *spins : ignored;
    target.udFN = StrToInt(options.FrameNumberEdit());
    target.udES = StrToInt(options.edtEverSec());
    target.udSS = StrToInt(options.edtSecStart());
}

void SaveSettings(const ExtractionOptions& options, const QString& iniPath) {
    IniFile ini(iniPath);
    for (OptionField field : kStoredOptionFields) {
        const QString key = keyOf(field);
        switch (optionFieldKind(field)) {
            case OptionKind::Flag:
            case OptionKind::GroupFlag:
                ini.writeString(kOptionsSection, key,
                                options.flag(field) ? QStringLiteral("1") : QStringLiteral("0"));
                break;
            case OptionKind::Integer:
                ini.writeInteger(kOptionsSection, key, options.jpgTrackBar());
                break;
            case OptionKind::NumberText:
            case OptionKind::Text:
                ini.writeString(kOptionsSection, key, options.text(field));
                break;
        }
    }
    prepareFolderOf(iniPath);
    ini.save();
}

int LoadLanguageSetting(const QString& iniPath) {
    return IniFile(iniPath).readInteger(kFormSection, kLanguageKey, kDefaultLanguage);
}

void SaveLanguageSetting(int language, const QString& iniPath) {
    IniFile ini(iniPath);
    ini.writeInteger(kFormSection, kLanguageKey, language);
    prepareFolderOf(iniPath);
    ini.save();
}

}  // namespace mx
