#include "platform/catalog/ResourceCatalog.h"

#include "platform/base/WindowsPath.h"
#include "platform/catalog/CatalogFiles.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QMap>

namespace catalog {

namespace {

constexpr qint32 ModeAdding = 0;
constexpr qint32 ModeReading = 1;
constexpr qint32 FileSetModeRead = 4;

bool IsFolder(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

}  // namespace

// ---- ResourceCatalog

struct ResourceCatalog::Private {
    struct Open {
        QString typesFolder;
        qint32 mode = ModeReading;
        // The index as read at open and as this handle changed it since: a look-up (several per
        // LonMark object) need not read the file again.
        files::CatalogIndex index;
    };
    QMap<qint32, Open> open;
    qint32 nextHandle = 1;
};

ResourceCatalog::ResourceCatalog() : d(new Private)
{
}

ResourceCatalog::~ResourceCatalog()
{
    delete d;
}

qint32 ResourceCatalog::CatalogOpen(const QString& folder, qint32 mode, qint32& handle)
{
    handle = 0;
    if (mode != ModeAdding && mode != ModeReading)
        return ResultBadArgument;
    const QString typesFolder = winpath::Resolve(folder);
    if (!IsFolder(typesFolder))
        return ResultBadArgument;
    // A damaged index is reported now rather than as "not found" later.
    files::CatalogIndex index;
    QString error;
    if (!files::ReadIndex(typesFolder, index, error))
        return ResultFailed;
    handle = d->nextHandle++;
    d->open.insert(handle, {typesFolder, mode, index});
    return ResultOk;
}

qint32 ResourceCatalog::CatalogFindFileSet(qint32 handle, const QString& programId, qint16 scope, qint32 /*kind*/,
                                           qint32 /*reserved*/, QString& fileName, qint32& value1, qint32& value2)
{
    fileName.clear();
    value1 = 0;
    value2 = 0;
    const auto open = d->open.constFind(handle);
    if (open == d->open.constEnd())
        return ResultBadHandle;
    if (!files::IsProgramId(programId) || files::DigitsComparedAt(scope) == 0)
        return ResultBadArgument;
    const files::CatalogIndex& index = open->index;
    for (int i = 0; i < index.fileSets.size(); ++i) {
        const files::IndexedFileSet& entry = index.fileSets.at(i);
        if (entry.scope == scope && files::ScopeMatches(programId, entry.programIdTemplate, scope)) {
            fileName = files::AbsolutePath(open->typesFolder, entry.file);
            value1 = i + 1;
            value2 = entry.scope;
            return ResultOk;
        }
    }
    return ResultNotFound;
}

qint32 ResourceCatalog::CatalogAddFolder(qint32 handle, const QString& folder)
{
    const auto open = d->open.constFind(handle);
    if (open == d->open.constEnd())
        return ResultBadHandle;
    if (open->mode != ModeAdding)
        return ResultBadArgument;
    const QString resolved = winpath::Resolve(folder);
    if (!IsFolder(resolved))
        return ResultBadArgument;
    files::CatalogIndex index;
    QString error;
    if (!files::ReadIndex(open->typesFolder, index, error))
        return ResultFailed;
    const QString stored = files::StoredPath(open->typesFolder, resolved);
    for (const QString& recorded : index.folders) {
        if (files::AbsolutePath(open->typesFolder, recorded) == files::AbsolutePath(open->typesFolder, stored))
            return ResultOk;
    }
    index.folders.append(stored);
    if (!files::WriteIndex(open->typesFolder, index, error))
        return ResultFailed;
    d->open[handle].index = index;
    return ResultOk;
}

qint32 ResourceCatalog::CatalogRebuild(qint32 handle)
{
    const auto open = d->open.constFind(handle);
    if (open == d->open.constEnd())
        return ResultBadHandle;
    if (open->mode != ModeAdding)
        return ResultBadArgument;
    files::CatalogIndex index;
    QString error;
    if (!files::ReadIndex(open->typesFolder, index, error))
        return ResultFailed;
    const files::CatalogIndex rebuilt = files::Scan(open->typesFolder, index.folders);
    if (!files::WriteIndex(open->typesFolder, rebuilt, error))
        return ResultFailed;
    d->open[handle].index = rebuilt;
    return ResultOk;
}

qint32 ResourceCatalog::CatalogClose(qint32 handle)
{
    return d->open.remove(handle) > 0 ? ResultOk : ResultBadHandle;
}

// ---- FileSets

struct FileSets::Private {
    QMap<qint32, QJsonObject> open;
    qint32 nextHandle = 1;
};

FileSets::FileSets() : d(new Private)
{
}

FileSets::~FileSets()
{
    delete d;
}

qint32 FileSets::FileSetOpen(const QString& fileName, qint32 mode, qint32 /*value1*/, qint32 /*reserved*/,
                             qint32& fileSetHandle)
{
    fileSetHandle = 0;
    if (mode != FileSetModeRead)
        return ResultBadArgument;
    const QString path = winpath::Resolve(fileName);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return ResultNotFound;
    // Read afresh: the file may have changed since the index was built, and a broken one must not pass.
    QJsonObject document;
    files::IndexedFileSet entry;
    QString error;
    if (!files::ReadJsonObject(path, document, error) || !files::ValidateFileSet(document, entry, error))
        return ResultFailed;
    fileSetHandle = d->nextHandle++;
    d->open.insert(fileSetHandle, document);
    return ResultOk;
}

qint32 FileSets::FileSetClose(qint32 fileSetHandle)
{
    return d->open.remove(fileSetHandle) > 0 ? ResultOk : ResultBadHandle;
}

std::optional<QJsonObject> FileSets::fileSetDocument(qint32 fileSetHandle) const
{
    const auto it = d->open.constFind(fileSetHandle);
    if (it == d->open.constEnd())
        return std::nullopt;
    return *it;
}

// ---- FunctionalProfiles

qint32 FunctionalProfiles::FileSetFindProfile(const FileSets& fileSets, qint32 fileSetHandle, qint16 profileKey)
{
    const std::optional<QJsonObject> document = fileSets.fileSetDocument(fileSetHandle);
    if (!document)
        return ResultBadHandle;
    // Keys travel as 16-bit signed numbers; the file set writes them 0 to 65535.
    const int wanted = static_cast<quint16>(profileKey);
    for (const QJsonValue profile : document->value(QStringLiteral("profiles")).toArray()) {
        if (profile.toObject().value(QStringLiteral("key")).toInt(-1) == wanted)
            return ResultOk;
    }
    return ResultNotFound;
}

// ---- Free functions

QString TypesFolder(const QString& lonWorksPath)
{
    if (lonWorksPath.isEmpty())
        return QString();
    return winpath::Resolve(winpath::Join(lonWorksPath, QStringLiteral("types")));
}

std::optional<QJsonObject> FindTypeDefinition(const QString& lonWorksPath, const QString& typeName)
{
    const QString typesFolder = TypesFolder(lonWorksPath);
    if (typesFolder.isEmpty() || typeName.isEmpty())
        return std::nullopt;
    files::CatalogIndex index;
    QString error;
    if (!files::ReadIndex(typesFolder, index, error))
        return std::nullopt;
    for (const files::IndexedFileSet& entry : index.fileSets) {
        if (!entry.typeNames.contains(typeName))
            continue;
        QJsonObject document;
        if (!files::ReadJsonObject(files::AbsolutePath(typesFolder, entry.file), document, error))
            continue;
        const QJsonValue definition = document.value(QStringLiteral("types")).toObject().value(typeName);
        // Only a definition that passes the checks reaches the value formatter.
        if (definition.isObject() && files::ValidateTypeDefinition(definition.toObject(), error))
            return definition.toObject();
    }
    return std::nullopt;
}

}  // namespace catalog
