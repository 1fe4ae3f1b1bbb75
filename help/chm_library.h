#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

struct mschm_decompressor;
struct mschmd_header;
struct mschmd_file;

namespace mx {

// The CHM reading library, loaded at run time so that the program starts and works without
// it. The name is the shared object handed to dlopen.
inline constexpr char kChmLibraryName[] = "libmspack.so.0";

class ChmArchive;
struct ChmSystem;

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
    // not a regular file, unreadable or not a well-formed CHM. The file is opened once, without
    // blocking, and read through that descriptor only.
    std::unique_ptr<ChmArchive> open(const QString& path) const;
    // The same for a file held in memory (path only names it).
    std::unique_ptr<ChmArchive> openBytes(const QByteArray& bytes,
                                          const QString& path = QString()) const;

    struct Api;

private:
    struct HandleCloser {
        void operator()(void* handle) const;
    };
    std::unique_ptr<ChmArchive> openSystem(std::unique_ptr<ChmSystem> system,
                                           const QString& path) const;

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
    // The whole object at an archive path ("/interface.htm"), looked for in any case when the
    // exact name is not there; empty when it is not in the file, larger than any help object,
    // or cannot be read in full (a damaged or truncated file).
    std::optional<QByteArray> read(const QString& objectPath) const;
    // Paths of the ordinary files in the archive, without the internal system objects.
    QStringList files() const;

private:
    friend class ChmLibrary;
    struct DecompressorDeleter {
        const ChmLibrary::Api* api = nullptr;
        void operator()(mschm_decompressor* decompressor) const;
    };
    struct HeaderCloser {
        mschm_decompressor* decompressor = nullptr;
        void operator()(mschmd_header* header) const;
    };
    ChmArchive(const ChmLibrary::Api& api, std::unique_ptr<ChmSystem> system, QString path);
    bool load();

    const ChmLibrary::Api& m_api;
    // Released in reverse order: the header before the decompressor that made it, and both
    // before the system they read through.
    std::unique_ptr<ChmSystem> m_system;
    std::unique_ptr<mschm_decompressor, DecompressorDeleter> m_decompressor;
    std::unique_ptr<mschmd_header, HeaderCloser> m_header;
    QString m_path;
    QStringList m_files;
    QHash<QString, mschmd_file*> m_byName;
    QHash<QString, mschmd_file*> m_byFoldedName;
};

}  // namespace mx
