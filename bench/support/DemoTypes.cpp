#include "DemoTypes.h"

#include "platform/catalog/ResourceCatalog.h"

#include <QDir>
#include <QFile>

namespace bench {

QString InstallDemoTypes(const QString& lonWorksPath)
{
    const QString source = QStringLiteral(KR5M_SOURCE_DIR "/demo/types/User/Kestrova");
    const QString typesFolder = lonWorksPath + QStringLiteral("/types");
    const QString target = typesFolder + QStringLiteral("/User/Kestrova");
    QDir().mkpath(target);
    for (const QString& file : QDir(source).entryList({QStringLiteral("*.json")}, QDir::Files))
        QFile::copy(source + QLatin1Char('/') + file, target + QLatin1Char('/') + file);
    catalog::ResourceCatalog catalog;
    qint32 handle = 0;
    if (catalog.CatalogOpen(typesFolder, 0, handle) != catalog::ResultOk ||
        catalog.CatalogAddFolder(handle, typesFolder + QStringLiteral("/User")) != catalog::ResultOk ||
        catalog.CatalogRebuild(handle) != catalog::ResultOk || catalog.CatalogClose(handle) != catalog::ResultOk)
        return QStringLiteral("cannot index the resource files of %1").arg(source);
    return QString();
}

}  // namespace bench
