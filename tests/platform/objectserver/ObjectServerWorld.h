#pragma once
// A small installation for the object-server tests: a LonWorks folder in a temporary place, a network
// "Demo" with one subsystem, the thermostat's template and two devices made from it.
#include "platform/base/ComError.h"
#include "platform/catalog/ResourceCatalog.h"
#include "platform/objectserver/ObjectServerAdmin.h"
#include "platform/objectserver/Xif.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <functional>

namespace objectservertest {

inline const QString ProgramId = QStringLiteral("8000D3550004040B");
inline const QString Network = QStringLiteral("Demo");
inline const QString Floor = QStringLiteral("Floor 1");
inline const QString Template = QStringLiteral("KR5M-HU");

// The thermostat's interface as its XIF describes it.
inline lns::xif::InterfaceDefinition ThermostatInterface(const QString& programId = ProgramId)
{
    lns::xif::InterfaceDefinition d;
    d.programId = programId;
    const struct {
        const char* name;
        const char* type;
        int size;
    } nvs[] = {{"nciSetPts", "SNVT_temp_setpt", 12},
               {"nciRHmodel", "UNVT_rh_model", 5},
               {"nciGenOpts", "UNVT_fc_gen_opts", 26},
               {"nciSccModel", "UNVT_model_info2", 2},
               {"nciHvacType", "SNVT_hvac_type", 1},
               {"nciSndHrtBt", "SNVT_time_sec", 2},
               {"nciMinOutTm", "SNVT_time_sec", 2},
               {"nciRcvHrtBt", "SNVT_time_sec", 2},
               {"nciMajVer", "INT", 1},
               {"nciMinVer", "INT", 1}};
    int index = 0;
    for (const auto& nv : nvs)
        d.networkVariables.append(
            {index++, QString::fromLatin1(nv.name), QString::fromLatin1(nv.type), nv.size, true, true});
    d.lonMarkObjects.append({0, QStringLiteral("NodeObject"), QStringLiteral("Node Object"), 0});
    d.lonMarkObjects.append({1, QStringLiteral("FanCoil"), QStringLiteral("Fan Coil Controller"), 20010});
    return d;
}

// Whether the tests run on a PostgreSQL store; the checks of a SQLite file's own do not apply there.
inline bool OnPostgres()
{
    return !qEnvironmentVariableIsEmpty("LONWORKS_OBJECT_SERVER");
}

inline lns::admin::DeviceRef Device(const QString& name)
{
    return {Network, Floor, name};
}

// Network "Demo" (system "System 1", interface "LON1" on its NSD), subsystem "Floor 1", template
// "KR5M-HU", devices "Thermostat 1" and "Thermostat 2".
inline void BuildDemo(lns::admin::ObjectServerAdmin& admin, const lns::admin::NetworkSpec& network = {})
{
    lns::admin::NetworkSpec spec = network;
    if (spec.name.isEmpty())
        spec.name = Network;
    if (spec.nsdInterface.isEmpty())
        spec.nsdInterface = QStringLiteral("LON1");
    if (spec.importFolder.isEmpty())
        spec.importFolder = admin.lonWorksPath() + QStringLiteral("/Import");
    admin.createNetwork(spec);
    admin.addSubsystem(spec.name, Floor);
    admin.addTemplate(spec.name, Template, ThermostatInterface());
    admin.addDevice(spec.name, {Floor, QStringLiteral("Thermostat 1"), Template, {}});
    admin.addDevice(spec.name, {Floor, QStringLiteral("Thermostat 2"), Template, {}});
}

// The error number a call raises; 0 when it succeeds.
inline qint32 ErrorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const com::ComError& e) {
        return e.number();
    }
    return 0;
}

inline void WriteFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(contents);
}

// A file set with the given user types below <lonWorksPath>/types/User/Test, indexed by the catalog.
inline bool InstallUserTypes(const QString& lonWorksPath, const QJsonObject& types)
{
    const QString typesFolder = lonWorksPath + QStringLiteral("/types");
    const QString folder = typesFolder + QStringLiteral("/User/Test");
    QJsonObject set{{QStringLiteral("format"), QStringLiteral("kr5m-file-set")},
                    {QStringLiteral("version"), 1},
                    {QStringLiteral("name"), QStringLiteral("Object server tests")},
                    {QStringLiteral("programIdTemplate"), QStringLiteral("8000D35500000000")},
                    {QStringLiteral("scope"), 4},
                    {QStringLiteral("types"), types}};
    QDir().mkpath(folder);
    QFile file(folder + QStringLiteral("/Test.fset.json"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(QJsonDocument(set).toJson());
    file.close();
    catalog::ResourceCatalog catalog;
    qint32 handle = 0;
    if (catalog.CatalogOpen(typesFolder, 0, handle) != catalog::ResultOk)
        return false;
    const bool ok = catalog.CatalogAddFolder(handle, folder) == catalog::ResultOk &&
                    catalog.CatalogRebuild(handle) == catalog::ResultOk;
    return catalog.CatalogClose(handle) == catalog::ResultOk && ok;
}

}  // namespace objectservertest
