#pragma once

#include <QString>
#include <QStringList>

namespace mx {

// The reverse-DNS application id: the name of our folders under the user's configuration and
// data folders and under <prefix>/share, and of the desktop entry, metainfo and icon.
inline constexpr char kApplicationId[] = MX_APPLICATION_ID;  // set by the build

// <prefix>/share/<id>, found from the program's folder (<prefix>/bin). It may not exist, as in a
// build tree.
QString installedDataFolder();

// $XDG_CONFIG_HOME/<id> (~/.config/<id> when the variable is unset or not absolute) and
// $XDG_DATA_HOME/<id> (~/.local/share/<id>). Tests replace both with setUserFoldersForTesting.
QString userConfigFolder();
QString userDataFolder();
void setUserFoldersForTesting(const QString& configFolder, const QString& dataFolder);

// The settings file in use: "mxex2.ini" beside the program when a file of that name is there (a
// portable copy), otherwise "mxex2.ini" in the user's configuration folder, which need not
// exist yet (see makeParentFolders).
QString chooseSettingsFile();

// The folders scanned for language files, in scan order: the program's folder, the installed
// data folder's "lang" and the user data folder's "lang".
QStringList languageFolders();

// A data file shipped with the program: beside the program (any entry of that name but a
// folder), else in the installed data folder. When it is in neither, the path in the installed data
// folder, the one looked for last.
QString locateDataFile(const QString& name);

// Creates the folders leading to filePath that do not exist yet (new ones readable by the owner
// only, as the configuration folders of a user should be). False when one cannot be made.
bool makeParentFolders(const QString& filePath);
// Creates a folder and the folders leading to it that do not exist yet, as `mkdir -p` does,
// with the user's umask. False, with errno set, when one cannot be made.
bool makeFolders(const QString& folder);

}  // namespace mx
