// The catalog index file: a JSON object, then the index in it.
#include "platform/catalog/CatalogFiles.h"

#include <QJsonObject>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString path = QStringLiteral("types/catalog-index.json");
    QJsonObject root;
    QString error;
    if (!catalog::files::ParseJsonObject(bytes, path, root, error))
        return 0;
    catalog::files::CatalogIndex index;
    // Every file set the index lists has its file, its template and a scope the catalog knows.
    if (catalog::files::ParseIndex(root, path, index, error)) {
        for (const catalog::files::IndexedFileSet& entry : index.fileSets)
            if (entry.file.isEmpty() || !catalog::files::IsProgramId(entry.programIdTemplate) ||
                catalog::files::DigitsComparedAt(entry.scope) == 0)
                std::abort();
    } else if (error.isEmpty()) {
        std::abort();
    }
    return 0;
}
