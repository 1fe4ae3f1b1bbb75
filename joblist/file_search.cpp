#include "joblist/file_search.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QHash>
#include <memory>
#include <utility>
#include <vector>

#include "core/native_path.h"

namespace mx {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// Listings are read once per search for all masks: each mask walks the tree again in the
// same order, but a folder is read from the disk only the first time.
struct Entry {
    QString name;
    QString folded;    // the name case-folded, for the masks
    bool isDirectory;  // a real folder, not a link to one
};
using Listing = std::shared_ptr<const std::vector<Entry>>;

// All entries but "." and "..", in the order the file system returns them. Names are bytes:
// they go through the lossless mapping both ways, so a name that is not UTF-8 is listed, and
// its folder entered, with its exact bytes. The folder is read whole and closed before
// anything is reported, so no listing stays open while handlers and the message pump run.
Listing readFolder(const QString& folder) {
    auto entries = std::make_shared<std::vector<Entry>>();
    const QByteArray encoded = folder.isEmpty() ? QByteArray(".") : encodeNativePath(folder);
    std::unique_ptr<DIR, DirCloser> dir(opendir(encoded.constData()));
    if (!dir) {
        return entries;
    }
    while (const dirent* entry = readdir(dir.get())) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
            continue;
        }
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            isDirectory = fstatat(dirfd(dir.get()), name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                          S_ISDIR(info.st_mode);
        }
        QString decoded = decodeNativePath(QByteArrayView(name));
        QString folded = decoded.toCaseFolded();
        entries->push_back({std::move(decoded), std::move(folded), isDirectory});
    }
    return entries;
}

// The record of `path`, whose last part is `name`. An entry found in a listing keeps its name
// even when it can no longer be looked up (it vanished meanwhile); only the start folder,
// which no listing named, gets an empty record then.
TSearchRec lookUp(const QString& path, const QString& name, bool listed) {
    TSearchRec record;
    if (listed) {
        record.name = name;
        record.isHidden = name.startsWith(QLatin1Char('.'));
    }
    struct stat info {};
    if (path.isEmpty() || lstat(encodeNativePath(path).constData(), &info) != 0) {
        return record;
    }
    record.name = name;
    record.isDirectory = S_ISDIR(info.st_mode);
    record.isSymLink = S_ISLNK(info.st_mode);
    record.isHidden = name.startsWith(QLatin1Char('.'));
    record.size = info.st_size;
    record.modified = QDateTime::fromMSecsSinceEpoch(qint64(info.st_mtim.tv_sec) * 1000 +
                                                     info.st_mtim.tv_nsec / 1000000);
    return record;
}

qsizetype folderPartLength(const QString& spec) {
    return spec.lastIndexOf(QLatin1Char('/')) + 1;
}

bool matchFolded(QStringView name, QStringView mask) {
    // Greedy match with one backtrack point: the last "*" seen.
    qsizetype n = 0;
    qsizetype m = 0;
    qsizetype starMask = -1;
    qsizetype starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == QLatin1Char('?') || mask[m] == name[n])) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == QLatin1Char('*')) {
            starMask = m++;
            starName = n;
        } else if (starMask >= 0) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == QLatin1Char('*')) {
        ++m;
    }
    return m == mask.size();
}

}  // namespace

QStringList searchSpecifications(const QString& searchFile) {
    const qsizetype first = searchFile.indexOf(QLatin1Char(';'));
    if (first < 0) {
        return {searchFile};
    }
    QStringList specs{searchFile.left(first)};
    QString rest = searchFile.mid(first + 1);
    while (!rest.isEmpty()) {
        const qsizetype end = rest.indexOf(QLatin1Char(';'));
        const QString piece = end < 0 ? rest : rest.left(end);
        rest = end < 0 ? QString() : rest.mid(end + 1);
        const QString& previous = specs.back();
        specs.append(previous.left(folderPartLength(previous)) + piece);
    }
    return specs;
}

bool matchesMask(const QString& name, const QString& mask) {
    if (mask == QLatin1String("*.*")) {
        return true;
    }
    return matchFolded(name.toCaseFolded(), mask.toCaseFolded());
}

std::function<void()> throttledPump(std::function<void()> pump, int intervalMs) {
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    return [pump = std::move(pump), timer, intervalMs] {
        if (timer->elapsed() >= intervalMs) {
            pump();
            timer->start();
        }
    };
}

void TFileSearch::pump() {
    if (m_pump) {
        m_pump();
    }
}

struct TFileSearch::ListingCache {
    QHash<QString, Listing> folders;
};

TFileSearch::TFileSearch() = default;
TFileSearch::~TFileSearch() = default;

void TFileSearch::Execute() {
    m_stop = false;
    m_filesFound.clear();
    // A nested Execute (from a handler) reads the disk afresh and leaves this one's cache as
    // it was.
    ListingCache cache;
    struct Restore {
        TFileSearch* search;
        ListingCache* outer;
        ~Restore() { search->m_cache = outer; }
    } restore{this, std::exchange(m_cache, &cache)};
    for (const QString& spec : searchSpecifications(m_searchFile)) {
        const qsizetype split = folderPartLength(spec);
        const QString folder = spec.left(split);
        QString folderPath = folder;
        if (folderPath.endsWith(QLatin1Char('/'))) {
            folderPath.chop(1);
        }
        const QString folderName = folderPath.mid(folderPath.lastIndexOf(QLatin1Char('/')) + 1);
        walk(folder, spec.mid(split), lookUp(folderPath, folderName, false));
    }
    if (m_onFinish) {
        const TNotifyEvent handler = m_onFinish;
        handler(*this);
    }
}

void TFileSearch::walk(const QString& folder, const QString& mask, const TSearchRec& record) {
    if (m_onChangeFolder) {
        // Called through a copy: a handler may replace the handlers while it runs.
        const TChangeFolderEvent handler = m_onChangeFolder;
        handler(folder, record);
    }
    Listing& cached = m_cache->folders[folder];
    if (!cached) {
        cached = readFolder(folder);
    }
    // Held here: a nested Execute started by a handler cannot take it away.
    const Listing entries = cached;
    const bool matchAll = mask == QLatin1String("*.*");
    const QString foldedMask = mask.toCaseFolded();
    for (const Entry& entry : *entries) {
        if (m_stop) {
            break;
        }
        if (!matchAll && !matchFolded(entry.folded, foldedMask)) {
            continue;
        }
        if (m_onFileFind) {
            const TFindFileEvent handler = m_onFileFind;
            const QString path = folder + entry.name;
            handler(folder, lookUp(path, entry.name, true));
            m_filesFound.append(path);
        }
        pump();
    }
    for (const Entry& entry : *entries) {
        if (m_stop) {
            break;
        }
        pump();
        if (entry.isDirectory && m_recurseSubFolders) {
            walk(folder + entry.name + QLatin1Char('/'), mask,
                 lookUp(folder + entry.name, entry.name, true));
        }
        pump();
    }
}

}  // namespace mx
