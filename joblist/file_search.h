#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

namespace mx {

// A directory entry as the folder search reports it. Symbolic links describe the link itself.
struct TSearchRec {
    QString name;  // entry name alone; empty in the record of a folder that could not be looked up
    bool isDirectory = false;
    bool isSymLink = false;
    bool isHidden = false;  // a name starting with "."
    qint64 size = 0;
    QDateTime modified;
};

// The search patterns a search text stands for: the first is the text up to the first ";", and
// every further piece is appended to the folder part (up to the last "/") of the pattern
// before it. "/v/*.avi;*.mov" gives "/v/*.avi" and "/v/*.mov"; an empty piece gives the folder
// alone, a trailing ";" nothing.
QStringList searchSpecifications(const QString& searchFile);

// Whether `name` matches a wildcard mask ("*" any run, "?" one character), without regard to
// case. "*.*" matches every name, with or without a dot.
bool matchesMask(const QString& name, const QString& mask);

// Walks a folder tree and reports every entry whose name matches one of the masks of
// SearchFile ("<folder>/<mask>;<mask>..."). Each mask walks the whole tree again, depth first
// and pre-order: a folder's own matches come before its subfolders', subfolders are entered in
// the order the directory listing returns them, and all entries count (hidden ones, folders
// named like a mask). Symbolic links to folders are reported when they match but never
// entered, so link loops cannot trap the walk. Folders that cannot be listed yield nothing.
// Names are bytes: a name that is not UTF-8 arrives in the lossless mapping of
// core/native_path.h, and its folders are entered like any other. Each folder is read from the
// disk once per Execute, when the first mask reaches it; later masks walk that listing.
//
// Execute runs on the calling thread and calls the message pump after every entry, so the
// window stays responsive and its handlers may set Stop or even start a nested Execute (which
// runs to its end, resetting Stop and FilesFound, before this one goes on). An exception from
// a handler leaves Execute at once, without OnFinish.
// Wraps a message pump so that it runs at most once per `intervalMs` milliseconds. Letting
// messages through costs a system call even when none are pending, which is most of the time a
// search takes when it is done after every entry; a few milliseconds between pumps keep the
// window just as responsive.
std::function<void()> throttledPump(std::function<void()> pump, int intervalMs);

class TFileSearch {
public:
    TFileSearch();
    ~TFileSearch();
    TFileSearch(const TFileSearch&) = delete;
    TFileSearch& operator=(const TFileSearch&) = delete;

    using TFindFileEvent = std::function<void(const QString& fullpath, const TSearchRec& info)>;
    using TChangeFolderEvent = std::function<void(const QString& fullpath, const TSearchRec& info)>;
    using TNotifyEvent = std::function<void(TFileSearch& sender)>;

    // Once true, every running listing ends before its next entry and the walk unwinds; the
    // remaining masks still start, each raising OnChangeFolder for the start folder only, and
    // OnFinish is raised. Execute resets it.
    bool Stop() const { return m_stop; }
    void setStop(bool stop) { m_stop = stop; }

    const QString& SearchFile() const { return m_searchFile; }
    void setSearchFile(const QString& searchFile) { m_searchFile = searchFile; }

    // Folder plus entry name of each match of the last Execute, in report order. Filled only
    // while OnFileFind is bound.
    const QStringList& FilesFound() const { return m_filesFound; }

    bool RecurseSubFolders() const { return m_recurseSubFolders; }
    void setRecurseSubFolders(bool recurse) { m_recurseSubFolders = recurse; }

    // `fullpath` is the folder being listed, ending with "/"; `info` the matching entry.
    void setOnFileFind(TFindFileEvent handler) { m_onFileFind = std::move(handler); }
    // Raised for each folder before its entries are listed; `info` describes that folder.
    void setOnChangeFolder(TChangeFolderEvent handler) { m_onChangeFolder = std::move(handler); }
    void setOnFinish(TNotifyEvent handler) { m_onFinish = std::move(handler); }
    // Lets pending window messages through; called after every directory entry.
    void setMessagePump(std::function<void()> pump) { m_pump = std::move(pump); }

    void Execute();

private:
    struct ListingCache;

    // Walks `folder` for the mask of specification `maskIndex`.
    void walk(const QString& folder, qsizetype maskIndex, const TSearchRec& record);
    void pump();

    ListingCache* m_cache = nullptr;  // the listings read by the running Execute
    bool m_stop = false;
    bool m_recurseSubFolders = true;
    QString m_searchFile;
    QStringList m_filesFound;
    TFindFileEvent m_onFileFind;
    TChangeFolderEvent m_onChangeFolder;
    TNotifyEvent m_onFinish;
    std::function<void()> m_pump;
};

}  // namespace mx
