#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace mx {

// The CHM reading library, loaded at run time so that the program starts and works without
// it. The name is the shared object handed to dlopen.
inline constexpr char kChmLibraryName[] = "libchm.so.1";

class ChmArchive;

class ChmLibrary {
public:
    // Loads the library and its entry points; a library that is missing or lacks one of them
    // leaves an object whose isLoaded() is false.
    explicit ChmLibrary(const QString& name = QString::fromLatin1(kChmLibraryName));
    ~ChmLibrary();
    ChmLibrary(const ChmLibrary&) = delete;
    ChmLibrary& operator=(const ChmLibrary&) = delete;

    bool isLoaded() const;
    const QString& name() const { return m_name; }

    // Opens a compiled help file; empty when the library is not loaded or the file is missing,
    // unreadable or not a well-formed CHM.
    std::unique_ptr<ChmArchive> open(const QString& path) const;

    struct Api;

private:
    struct HandleCloser {
        void operator()(void* handle) const;
    };
    QString m_name;
    std::unique_ptr<void, HandleCloser> m_handle;
    std::unique_ptr<Api> m_api;
};

// One open CHM file. It uses the library it came from, which must outlive it.
class ChmArchive {
public:
    ~ChmArchive();
    ChmArchive(const ChmArchive&) = delete;
    ChmArchive& operator=(const ChmArchive&) = delete;

    const QString& path() const { return m_path; }
    // The whole object at an archive path ("/interface.htm"); empty when it is not in the file
    // or cannot be read in full (a truncated file).
    std::optional<QByteArray> read(const QString& objectPath) const;
    // Paths of the ordinary files in the archive, without the internal system objects.
    QStringList files() const;

private:
    friend class ChmLibrary;
    struct FileCloser {
        const ChmLibrary::Api* api = nullptr;
        void operator()(void* file) const;
    };
    ChmArchive(const ChmLibrary::Api& api, void* file, QString path);

    const ChmLibrary::Api& m_api;
    std::unique_ptr<void, FileCloser> m_file;
    QString m_path;
};

// A cheap check of the file's header and directory bounds, done before the library parses
// the file, so that a truncated or foreign file is refused instead of being read past its end.
bool looksLikeChm(const QString& path);

}  // namespace mx
