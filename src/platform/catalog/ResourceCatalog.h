#pragma once
// The resource catalog of the LonWorks installation: folders of resource files below types/, each
// file set with a program-ID template, a scope, functional profiles and type definitions. The catalog
// keeps an index file in the folder it is opened on; Find reads only the index, AddFolder records a
// folder, Rebuild rescans every recorded folder and rewrites the index (so a folder added without a
// rebuild is not found yet).
//
// Operations answer with a result code, as the installation's catalog classes do: 0 success,
// 4 not found, anything else a failure. Handles live within one open ... close.
#include <QJsonObject>
#include <QString>
#include <optional>

namespace catalog {

inline constexpr qint32 ResultOk = 0;
inline constexpr qint32 ResultNotFound = 4;
inline constexpr qint32 ResultFailed = 1;       // the index cannot be read or written
inline constexpr qint32 ResultBadHandle = 2;    // a handle that is not open
inline constexpr qint32 ResultBadArgument = 3;  // an argument out of range, a folder that does not exist

// The catalog proper (first class).
class ResourceCatalog {
public:
    ResourceCatalog();
    ~ResourceCatalog();
    // folder: the types folder ("...\Types", "\" or "/" separators, names matched without regard to
    // case); mode 0 for adding, 1 for reading.
    qint32 CatalogOpen(const QString& folder, qint32 mode, qint32& handle);
    // The file set whose scope equals scope and whose program-ID template matches programId on the
    // digits that scope compares (3: 6 digits, 4: 10, 5: 12, 6: all 16). kind and reserved are passed
    // through. fileName is the file set's file; value1 / value2 are what FileSetOpen takes next.
    qint32 CatalogFindFileSet(qint32 handle, const QString& programId, qint16 scope, qint32 kind, qint32 reserved,
                              QString& fileName, qint32& value1, qint32& value2);
    qint32 CatalogAddFolder(qint32 handle, const QString& folder);
    qint32 CatalogRebuild(qint32 handle);
    qint32 CatalogClose(qint32 handle);

private:
    struct Private;
    Private* d;
};

// An open file set (second class).
class FileSets {
public:
    FileSets();
    ~FileSets();
    qint32 FileSetOpen(const QString& fileName, qint32 mode, qint32 value1, qint32 reserved, qint32& fileSetHandle);
    qint32 FileSetClose(qint32 fileSetHandle);
    // Used by the profile look-up below.
    std::optional<QJsonObject> fileSetDocument(qint32 fileSetHandle) const;

private:
    struct Private;
    Private* d;
};

// Functional profiles of an open file set (third class).
class FunctionalProfiles {
public:
    // Result 0 when the file set describes the profile with this key, 4 when not.
    qint32 FileSetFindProfile(const FileSets& fileSets, qint32 fileSetHandle, qint16 profileKey);
};

// The definition of a user type ("UNVT_fc_gen_opts"), taken from the file sets of the catalog index
// in the installation's types folder; nothing when no indexed file set defines it.
std::optional<QJsonObject> FindTypeDefinition(const QString& lonWorksPath, const QString& typeName);

// The types folder of an installation ("<LonWorks Path>/types", matched without regard to case).
QString TypesFolder(const QString& lonWorksPath);

}  // namespace catalog
