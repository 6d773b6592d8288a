#pragma once
// The catalog's two kinds of files: the index in the types folder and the file sets it lists. Both are
// JSON; FORMAT.md beside this file describes them. Everything here reads or writes files and reports
// faults as text, leaving result codes to ResourceCatalog.cpp.
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>

namespace catalog::files {

inline constexpr const char* IndexFileName = "catalog-index.json";
inline constexpr const char* FileSetSuffix = ".fset.json";
// Nothing we write comes near this; a bigger file is not ours.
inline constexpr qint64 MaxJsonFileSize = qint64(4) * 1024 * 1024;

struct IndexedFileSet {
    QString file;  // relative to the types folder when inside it, else absolute
    QString name;
    QString programIdTemplate;
    int scope = 0;
    QVector<quint16> profileKeys;
    QStringList typeNames;
};

struct CatalogIndex {
    QStringList folders;  // as recorded: relative to the types folder when inside it, else absolute
    QVector<IndexedFileSet> fileSets;
    QStringList skipped;  // "file: reason" for file sets the last rebuild refused
};

// The index of a types folder. A folder without an index file has an empty one. False with error
// set when the file exists but is not a readable index.
bool ReadIndex(const QString& typesFolder, CatalogIndex& index, QString& error);
// Replaces the index file as a whole (temporary file, then rename).
bool WriteIndex(const QString& typesFolder, const CatalogIndex& index, QString& error);

// A path as the index stores it, and back.
QString StoredPath(const QString& typesFolder, const QString& absolutePath);
QString AbsolutePath(const QString& typesFolder, const QString& storedPath);

// What tells one version of a file from another: replaced (another inode), rewritten (size, or the
// modification or status-change time to the nanosecond; nobody can set the status-change time back,
// as a copy that keeps times does with the other) or gone. Take it before reading, so that a change
// made while reading is seen next time. A file changed moments before its stamp was taken is never
// taken as unchanged: within one clock tick of the file system a second write may leave every time
// as it was.
struct FileStamp {
    QString path;
    QByteArray nativePath;  // path as the system takes it, encoded once: a stamp is asked again and again
    qint64 size = -1;       // -1: the file did not exist
    qint64 modifiedNs = 0;
    qint64 statusChangedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    bool settled = false;  // its last change was over a second before the stamp

    static FileStamp of(const QString& path);
    bool sameVersionAs(
        const FileStamp& other) const;  // false when this one is not settled or either file did not exist
    bool unchanged() const;
};

// Reads a JSON object from a file of at most MaxJsonFileSize bytes. A file read before and unchanged
// since is not parsed again (the catalog reads the same index and file sets many times per device).
bool ReadJsonObject(const QString& path, QJsonObject& object, QString& error);
// The same on bytes already read from path (which names the file in messages), without the cache.
bool ParseJsonObject(const QByteArray& bytes, const QString& path, QJsonObject& object, QString& error);
// The index in an index file's object, read from path.
bool ParseIndex(const QJsonObject& root, const QString& path, CatalogIndex& index, QString& error);

// Checks a file-set document; on success fills entry (all but its file).
bool ValidateFileSet(const QJsonObject& document, IndexedFileSet& entry, QString& error);
// Checks one user type definition (separator, fields with bytes, signed, scale, enum, unit).
bool ValidateTypeDefinition(const QJsonObject& definition, QString& error);

// Every file set below the recorded folders, read afresh; refused ones go to skipped.
CatalogIndex Scan(const QString& typesFolder, const QStringList& folders);

// True when programId and the template agree on the digits the scope compares
// (3: 6 digits, 4: 10, 5: 12, 6: 16), ignoring case. Both must be 16 hexadecimal digits.
bool ScopeMatches(const QString& programId, const QString& programIdTemplate, int scope);
int DigitsComparedAt(int scope);  // 0 for a scope the catalog does not know
bool IsProgramId(const QString& text);

}  // namespace catalog::files
