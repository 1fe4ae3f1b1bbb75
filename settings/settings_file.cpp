#include "settings/settings_file.h"

#include <QStandardPaths>

#include "core/int_text.h"
#include "core/program_folder.h"
#include "settings/extraction_options.h"
#include "settings/ini_file.h"

namespace mx {
namespace {

const QString kOptionsSection = QStringLiteral("options");
const QString kFormSection = QStringLiteral("Form");
const QString kLanguageKey = QStringLiteral("language");

}  // namespace

QString settingsFilePath() {
    return programFolder() + QStringLiteral("/mxex2.ini");
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
    ini.save();
}

int LoadLanguageSetting(const QString& iniPath) {
    return IniFile(iniPath).readInteger(kFormSection, kLanguageKey, kInitialLanguage);
}

void SaveLanguageSetting(int language, const QString& iniPath) {
    IniFile ini(iniPath);
    ini.writeInteger(kFormSection, kLanguageKey, language);
    ini.save();
}

}  // namespace mx
