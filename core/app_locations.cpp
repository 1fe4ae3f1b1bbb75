#include "core/app_locations.h"

#include <sys/stat.h>

#include <QDir>
#include <cerrno>

#include "core/native_path.h"
#include "core/program_folder.h"

namespace mx {
namespace {

struct UserFolders {
    QString config;
    QString data;
};

UserFolders& overrideFolders() {
    static UserFolders folders;
    return folders;
}

QString applicationId() {
    return QString::fromLatin1(kApplicationId);
}

// The variables are bytes like any path; decoded losslessly so that a home folder whose name is
// not UTF-8 still works.
QString environmentPath(const char* name) {
    return decodeNativePath(qgetenv(name));
}

QString xdgFolder(const char* variable, const QString& fallbackUnderHome) {
    const QString value = environmentPath(variable);
    // The base directory specification ignores relative values.
    if (value.startsWith(QLatin1Char('/'))) {
        return value;
    }
    return environmentPath("HOME") + QLatin1Char('/') + fallbackUnderHome;
}

bool isRegularFile(const QString& path) {
    struct stat info {};
    return ::stat(encodeNativePath(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isFolder(const QByteArray& path) {
    struct stat info {};
    return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Makes each missing folder of path, the shortest prefix first and path itself last, with mode
// (less the umask). False, with errno set, when one cannot be made.
bool makeFolderChain(const QByteArray& path, mode_t mode) {
    for (qsizetype slash = path.indexOf('/', 1);; slash = path.indexOf('/', slash + 1)) {
        const QByteArray folder = slash < 0 ? path : path.left(slash);
        if (!folder.isEmpty() && !folder.endsWith('/') && !isFolder(folder) &&
            ::mkdir(folder.constData(), mode) != 0) {
            // Something that is not a folder stands in the way (made by another process, the
            // folder is fine).
            if (errno == EEXIST && !isFolder(folder)) {
                errno = ENOTDIR;
            }
            if (errno != EEXIST) {
                return false;
            }
        }
        if (slash < 0) {
            return true;
        }
    }
}

}  // namespace

QString installedDataFolder() {
    return QDir::cleanPath(programFolder() + QStringLiteral("/../share/") + applicationId());
}

QString userConfigFolder() {
    if (!overrideFolders().config.isEmpty()) {
        return overrideFolders().config;
    }
    return xdgFolder("XDG_CONFIG_HOME", QStringLiteral(".config")) + QLatin1Char('/') +
           applicationId();
}

QString userDataFolder() {
    if (!overrideFolders().data.isEmpty()) {
        return overrideFolders().data;
    }
    return xdgFolder("XDG_DATA_HOME", QStringLiteral(".local/share")) + QLatin1Char('/') +
           applicationId();
}

void setUserFoldersForTesting(const QString& configFolder, const QString& dataFolder) {
    overrideFolders() = {configFolder, dataFolder};
}

QString chooseSettingsFile() {
    const QString portable = programFolder() + QStringLiteral("/mxex2.ini");
    if (isRegularFile(portable)) {
        return portable;
    }
    return userConfigFolder() + QStringLiteral("/mxex2.ini");
}

QStringList languageFolders() {
    return {programFolder(), installedDataFolder() + QStringLiteral("/lang"),
            userDataFolder() + QStringLiteral("/lang")};
}

QString locateDataFile(const QString& name) {
    // Anything of that name beside the program is the one meant, also when it is not a regular
    // file: opening it then fails with its own message instead of the copy elsewhere being used.
    const QString beside = programFolder() + QLatin1Char('/') + name;
    struct stat info {};
    if (::stat(encodeNativePath(beside).constData(), &info) == 0 && !S_ISDIR(info.st_mode)) {
        return beside;
    }
    return installedDataFolder() + QLatin1Char('/') + name;
}

bool makeParentFolders(const QString& filePath) {
    const QByteArray path = encodeNativePath(filePath);
    const qsizetype end = path.lastIndexOf('/');
    return end <= 0 || makeFolderChain(path.left(end), 0700);
}

bool makeFolders(const QString& folder) {
    return makeFolderChain(encodeNativePath(folder), 0777);
}

}  // namespace mx
