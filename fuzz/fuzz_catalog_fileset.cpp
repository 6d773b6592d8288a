// File sets of the catalog: a JSON object, then the checks of the file set and its type definitions.
#include "platform/catalog/CatalogFiles.h"

#include <QJsonObject>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QJsonObject document;
    QString error;
    if (!catalog::files::ParseJsonObject(bytes, QStringLiteral("fuzz.fset.json"), document, error))
        return 0;
    catalog::files::IndexedFileSet entry;
    if (!catalog::files::ValidateFileSet(document, entry, error)) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    // A file set that passes lists exactly the types it defines, each of them a valid definition.
    const QJsonObject types = document.value(QStringLiteral("types")).toObject();
    if (entry.typeNames.size() != types.size())
        std::abort();
    for (const QString& name : entry.typeNames)
        if (!catalog::files::ValidateTypeDefinition(types.value(name).toObject(), error))
            std::abort();
    return 0;
}
