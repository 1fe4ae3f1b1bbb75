#include "settings/settings_file.h"

#include <QStandardPaths>

#include "core/app_locations.h"
#include "core/error.h"
#include "core/int_text.h"
#include "core/native_path.h"
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

// A value holding a line end would split into a line of its own, read back as another key or
// section; cutting it there would save less than the dialog shows.
void refuseLineBreaks(const ExtractionOptions& options) {
    for (const OptionFieldInfo& info : kOptionFieldTable) {
        if (info.kind != OptionKind::NumberText && info.kind != OptionKind::Text) {
            continue;
        }
        QString shown = displayPath(options.text(info.field));
        if (!shown.contains(QLatin1Char('\n')) && !shown.contains(QLatin1Char('\r'))) {
            continue;
        }
        for (QChar& c : shown) {
            if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
                c = QChar(QChar::ReplacementCharacter);
            }
        }
        throw Error(QStringLiteral("The settings were not saved: the option %1 holds a line "
                                   "break, which the settings file cannot carry:\n%2")
                        .arg(QString::fromLatin1(info.name), shown));
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
    refuseLineBreaks(options);
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
