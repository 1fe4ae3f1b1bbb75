#include "joblist/file_search.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <climits>

#include <QHash>
#include <memory>
#include <utility>
#include <vector>

#include "core/native_path.h"
#include "core/read_file.h"

namespace mx {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

constexpr qsizetype kMaskBits = 64;

struct Entry {
    QString name;
    QString folded;  // the name case-folded, for masks beyond the first kMaskBits
    TSearchRec record;
    quint64 matches = 0;  // bit i: the name matches mask i of the search
    bool isDirectory;     // a real folder, not a link to one
};
// Listings are read once per search for all masks: each mask walks the tree again in the
// same order, but a folder is read from the disk only the first time.
using Listing = std::shared_ptr<const std::vector<Entry>>;

QDateTime modifiedTime(const struct stat& info) {
    return QDateTime::fromMSecsSinceEpoch(qint64(info.st_mtim.tv_sec) * 1000 +
                                          info.st_mtim.tv_nsec / 1000000);
}

void describe(TSearchRec& record, const struct stat& info) {
    record.isDirectory = S_ISDIR(info.st_mode);
    record.isSymLink = S_ISLNK(info.st_mode);
    record.size = info.st_size;
    record.modified = modifiedTime(info);
}

bool matchFolded(QStringView name, QStringView mask);

// opendir refuses a path of PATH_MAX bytes or more (ENAMETOOLONG), which a deep tree reaches;
// such a folder is opened a piece at a time, each piece relative to the folder before it.
DIR* openListing(const QByteArray& path) {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    FileDescriptor folder;
    qsizetype start = 0;
    while (start < path.size()) {
        qsizetype end = path.size();
        if (end - start >= PATH_MAX) {
            end = path.lastIndexOf('/', start + PATH_MAX - 1);
            if (end <= start) {
                return nullptr;
            }
        }
        const QByteArray piece = path.mid(start, end - start);
        folder = FileDescriptor(
            ::openat(folder.isOpen() ? folder.get() : AT_FDCWD, piece.constData(), kFlags));
        if (!folder.isOpen()) {
            return nullptr;
        }
        // A doubled separator must not make the next piece an absolute path.
        for (start = end + 1; start < path.size() && path[start] == '/'; ++start) {
        }
    }
    DIR* listing = folder.isOpen() ? ::fdopendir(folder.get()) : nullptr;
    if (listing) {
        folder.release();
    }
    return listing;
}

bool matchesFoldedMask(const QString& foldedName, const QString& foldedMask) {
    return foldedMask == QLatin1String("*.*") || matchFolded(foldedName, foldedMask);
}

// All entries but "." and "..", in the order the file system returns them, each with its
// record as the listing found it (looked up only for folders and for names that match one of
// `foldedMasks`: nothing else is reported or entered). Names are bytes: they go through the
// lossless mapping both ways, so a name that is not UTF-8 is listed, and its folder entered, with
// its exact bytes. The folder is read whole and closed before anything is reported, so no listing
// stays open while handlers and the message pump run.
Listing readFolder(const QString& folder, const QStringList& foldedMasks) {
    auto entries = std::make_shared<std::vector<Entry>>();
    const QByteArray encoded = folder.isEmpty() ? QByteArray(".") : encodeNativePath(folder);
    std::unique_ptr<DIR, DirCloser> dir(openListing(encoded));
    if (!dir) {
        return entries;
    }
    while (const dirent* entry = readdir(dir.get())) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
            continue;
        }
        Entry listed;
        listed.name = decodeNativePath(QByteArrayView(name));
        listed.folded = listed.name.toCaseFolded();
        listed.record.name = listed.name;
        listed.record.isHidden = name[0] == '.';
        bool wanted = entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN;
        for (qsizetype i = 0; i < foldedMasks.size(); ++i) {
            if (matchesFoldedMask(listed.folded, foldedMasks[i])) {
                wanted = true;
                if (i < kMaskBits) {
                    listed.matches |= quint64(1) << i;
                }
            }
        }
        // Relative to the open folder: one name to look up, not the whole path. An entry that
        // vanished meanwhile keeps its name and what the listing said of it.
        struct stat info {};
        if (wanted && fstatat(dirfd(dir.get()), name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
            describe(listed.record, info);
        } else {
            listed.record.isDirectory = entry->d_type == DT_DIR;
            listed.record.isSymLink = entry->d_type == DT_LNK;
        }
        listed.isDirectory = listed.record.isDirectory;
        entries->push_back(std::move(listed));
    }
    return entries;
}

// The record of the start folder `path`, whose last part is `name`; empty when it cannot be
// looked up.
TSearchRec lookUp(const QString& path, const QString& name) {
    TSearchRec record;
    struct stat info {};
    if (path.isEmpty() || lstat(encodeNativePath(path).constData(), &info) != 0) {
        return record;
    }
    record.name = name;
    record.isHidden = name.startsWith(QLatin1Char('.'));
    describe(record, info);
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
    // The coarse clock is read without a system call and in a few nanoseconds; its ticks of a
    // few milliseconds are fine enough for an interval like this. The search calls this
    // several times per entry, so the reading itself must stay cheap.
    const auto now = [] {
        timespec time{};
        clock_gettime(CLOCK_MONOTONIC_COARSE, &time);
        return qint64(time.tv_sec) * 1000 + time.tv_nsec / 1000000;
    };
    auto last = std::make_shared<qint64>(now());
    return [pump = std::move(pump), last, intervalMs, now] {
        const qint64 time = now();
        if (time - *last >= intervalMs) {
            pump();
            *last = now();
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
    QStringList foldedMasks;  // of the specifications, in order
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
    const QStringList specs = searchSpecifications(m_searchFile);
    for (const QString& spec : specs) {
        cache.foldedMasks.append(spec.mid(folderPartLength(spec)).toCaseFolded());
    }
    for (qsizetype index = 0; index < specs.size(); ++index) {
        const QString& spec = specs[index];
        const qsizetype split = folderPartLength(spec);
        const QString folder = spec.left(split);
        QString folderPath = folder;
        if (folderPath.endsWith(QLatin1Char('/'))) {
            folderPath.chop(1);
        }
        const QString folderName = folderPath.mid(folderPath.lastIndexOf(QLatin1Char('/')) + 1);
        walk(folder, index, lookUp(folderPath, folderName));
    }
    if (m_onFinish) {
        const TNotifyEvent handler = m_onFinish;
        handler(*this);
    }
}

void TFileSearch::walk(const QString& folder, qsizetype maskIndex, const TSearchRec& record) {
    if (m_onChangeFolder) {
        // Called through a copy: a handler may replace the handlers while it runs.
        const TChangeFolderEvent handler = m_onChangeFolder;
        handler(folder, record);
    }
    Listing& cached = m_cache->folders[folder];
    if (!cached) {
        cached = readFolder(folder, m_cache->foldedMasks);
    }
    // Held here: a nested Execute started by a handler cannot take it away.
    const Listing entries = cached;
    const QString& foldedMask = m_cache->foldedMasks[maskIndex];
    const quint64 bit = maskIndex < kMaskBits ? quint64(1) << maskIndex : 0;
    for (const Entry& entry : *entries) {
        if (m_stop) {
            break;
        }
        if (bit ? !(entry.matches & bit) : !matchesFoldedMask(entry.folded, foldedMask)) {
            continue;
        }
        if (m_onFileFind) {
            const TFindFileEvent handler = m_onFileFind;
            const QString path = folder + entry.name;
            handler(folder, entry.record);
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
            walk(folder + entry.name + QLatin1Char('/'), maskIndex, entry.record);
        }
        pump();
    }
}

}  // namespace mx
