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
    for (const OptionFieldInfo& info : kOptionFieldTable) {
        const QString key = QString::fromLatin1(info.settingsKey);
        const QString fallback = QString::fromLatin1(info.settingsDefault);
        switch (info.kind) {
            case OptionKind::Flag:
            case OptionKind::GroupFlag:
                options.setFlag(info.field,
                                ini.readInteger(kOptionsSection, key, fallback.toInt()) != 0);
                break;
            case OptionKind::Integer:
                options.setJpgTrackBar(ini.readInteger(kOptionsSection, key, fallback.toInt()));
                break;
            case OptionKind::NumberText:
            case OptionKind::Text:
                options.setText(info.field, ini.readString(kOptionsSection, key, fallback));
                break;
        }
        if (info.field == OptionField::pathEdit && options.pathEdit().isEmpty()) {
            options.setText(info.field, userPicturesFolder());
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
    for (const OptionFieldInfo& info : kOptionFieldTable) {
        const QString key = QString::fromLatin1(info.settingsKey);
        switch (info.kind) {
            case OptionKind::Flag:
            case OptionKind::GroupFlag:
                ini.writeString(
                    kOptionsSection, key,
                    options.flag(info.field) ? QStringLiteral("1") : QStringLiteral("0"));
                break;
            case OptionKind::Integer:
                ini.writeInteger(kOptionsSection, key, options.jpgTrackBar());
                break;
            case OptionKind::NumberText:
            case OptionKind::Text:
                ini.writeString(kOptionsSection, key, options.text(info.field));
                break;
        }
    }
    prepareFolderOf(iniPath);
    ini.save();
}

int LoadLanguageSetting(const QString& iniPath) {
    return IniFile(iniPath).readInteger(kFormSection, kLanguageKey, kInitialLanguage);
}

void SaveLanguageSetting(int language, const QString& iniPath) {
    IniFile ini(iniPath);
    ini.writeInteger(kFormSection, kLanguageKey, language);
    prepareFolderOf(iniPath);
    ini.save();
}

}  // namespace mx
