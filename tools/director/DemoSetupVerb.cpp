// demo-setup [FOLDER]: the demo installation, made or completed step by step. A step already done is
// reported as "exists" and left alone, so a second run changes nothing and a run cut short is finished
// by the next one.
#include "ErrorLine.h"
#include "Verbs.h"

#include "platform/base/WindowsPath.h"
#include "platform/catalog/CatalogFiles.h"
#include "platform/catalog/ResourceCatalog.h"
#include "platform/objectserver/ObjectServerAdmin.h"
#include "platform/registry/LonWorksInstallation.h"
#include "platform/registry/RegistryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>

namespace director {
namespace {

using lns::admin::DeviceFaults;
using lns::admin::DeviceRef;
using lns::admin::ObjectServerAdmin;

// The demo's files travel inside this program (demo/CMakeLists.txt), so that the set-up needs no
// source tree.
const QString ResourceRoot = QStringLiteral(":/demo");

struct SetupFailed {
    QString message;
};

const QString NonRohsModel = QStringLiteral("Kestrova KR5M-HU (non-RoHS)");
const QString RohsModel = QStringLiteral("Kestrova KR5M-HU (RoHS)");

struct TemplateSource {
    QString name;  // the model's name, as the plug-in names the templates it imports
    QString xif;   // in the import folder
};
const QList<TemplateSource> Templates = {{NonRohsModel, QStringLiteral("KR5M-HU.xif")},
                                         {RohsModel, QStringLiteral("KR5M-HU-RoHS.xif")}};

const DeviceFaults Online{};
const DeviceFaults NotCommissioned{.commissioned = false, .stateCode = 2};
const DeviceFaults Unreachable{.unreachable = true};

// Option sets as the configuration window's choice lists name them (the 22 fields of the general
// options, in order). HeatMax 30, CoolMin 15, DeadBand 2 and CalibRS 0 are the factory limits.
const QString TwoPipeFloating = QStringLiteral(
    "FLOATING 2.5 4 OFF REM_NSB DOOR_DRY NONE SCROLL_ACTIVE ON CELSIUS TWO_PIPE HEAT_COOL LOW_MED_HIGH_AUTO "
    "30 15 PERMANENT 2 5 2 0 NO_WITH_OCCUPANCY RTB_15_MINUTES");
const QString FourPipeReheat =
    QStringLiteral("FLOATING 2.5 5 OFF MOTION_NO DOOR_DRY COC_NH SCROLL_ACTIVE ON CELSIUS FOUR_PIPE HEAT_COOL_W_REHEAT "
                   "LOW_MED_HIGH_AUTO 30 15 PERMANENT 2 5 2 0 USED_FOR_REHEAT RTB_10_SECONDS");
const QString OnOffBasic =
    QStringLiteral("ON_OFF 2.5 4 OFF REM_NSB NONE NONE NO_SCROLL OFF CELSIUS TWO_PIPE HEAT_COOL LOW_MED_HIGH "
                   "30 15 TEMPORARY 2 5 2 0 NO_WITH_OCCUPANCY RTB_15_MINUTES");
// Humidity display, set point %, hysteresis %, maximum cooling output %, sensor offset %.
const QString HumidityShown = QStringLiteral("ON 50 5 80 0");
const QString HumidityHidden = QStringLiteral("OFF 55 5 70 0");

struct Thermostat {
    QString name;
    QString templateName;
    int modelCode;
    QString softwareVersion;
    DeviceFaults faults;
    QString setPoints;  // °C: occupied, standby, unoccupied cooling, then the same for heating
    QString generalOptions;
    QString humidity;
};

struct NetworkPlan {
    QString name;
    bool requiresInterface;
    QString interfaceName;
    QString subsystem;
    QList<Thermostat> thermostats;
};

const QString InterfaceName = QStringLiteral("LON1");
const QString SystemName = QStringLiteral("System 1");

QList<NetworkPlan> DemoNetworks()
{
    return {
        {QStringLiteral("Demo"),
         false,
         QString(),
         QStringLiteral("Floor 1"),
         {
             {"TS-101", NonRohsModel, 30, "2.3", Online, "24,26,28,21,19,16", TwoPipeFloating, HumidityShown},
             {"TS-102", NonRohsModel, 45, "2.1", Online, "23.5,26,28,21.5,19,16", FourPipeReheat, HumidityShown},
             {"TS-103", NonRohsModel, 51, "1.8", Online, "24,26,28,21,19,16", OnOffBasic, HumidityHidden},
             {"TS-104", RohsModel, 60, "3.2", Online, "25,27,29,20,18,15", TwoPipeFloating, HumidityHidden},
             {"TS-105", RohsModel, 61, "3.2", Online, "24,26,28,21,19,16", TwoPipeFloating, HumidityHidden},
             {"TS-106", NonRohsModel, 41, "2.2", NotCommissioned, "24,26,28,21,19,16", TwoPipeFloating, HumidityHidden},
             {"TS-107", RohsModel, 47, "3.1", Unreachable, "24,26,28,21,19,16", FourPipeReheat, HumidityShown},
         }},
        {QStringLiteral("Plant"),
         true,
         InterfaceName,
         QStringLiteral("Plant Room"),
         {
             {"TS-201", RohsModel, 45, "3.1", Online, "24,26,28,21,19,16", FourPipeReheat, HumidityShown},
             {"TS-202", RohsModel, 60, "3.2", Online, "26,28,30,19,17,14", TwoPipeFloating, HumidityHidden},
         }},
    };
}

QString StateText(const DeviceFaults& f)
{
    if (f.unreachable)
        return QStringLiteral("unreachable");
    if (!f.commissioned)
        return QStringLiteral("not commissioned");
    return f.stateCode == 4 ? QStringLiteral("configured online") : QStringLiteral("state %1").arg(f.stateCode);
}

void Report(const QString& what, const QString& outcome)
{
    Out(QStringLiteral("%1: %2").arg(what, outcome));
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw SetupFailed{QStringLiteral("lnsdirector: cannot read %1: %2").arg(path, file.errorString())};
    return file.readAll();
}

// Puts source's bytes at target unless they are there already: "exists", "copied" or "updated".
QString SyncFile(const QString& source, const QString& target, bool executable)
{
    const QByteArray bytes = ReadAll(source);
    const QFileInfo info(target);
    const QFileDevice::Permissions runnable = QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    const bool present = info.isFile();
    if (present && (!executable || (info.permissions() & QFileDevice::ExeOwner))) {
        QFile existing(target);
        if (existing.open(QIODevice::ReadOnly) && existing.size() == bytes.size() && existing.readAll() == bytes)
            return QStringLiteral("exists");
    }
    if (!QDir().mkpath(info.absolutePath()))
        throw SetupFailed{QStringLiteral("lnsdirector: cannot create the folder %1").arg(info.absolutePath())};
    // Written aside and renamed, so an interrupted run never leaves half a file for the next one to trust.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw SetupFailed{QStringLiteral("lnsdirector: cannot write %1: %2").arg(target, file.errorString())};
    const QFileDevice::Permissions readable =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    QFile::setPermissions(target, executable ? readable | runnable : readable);
    return present ? QStringLiteral("updated") : QStringLiteral("copied");
}

// The installation's folder below path for a relative "a/b/c", reusing whatever spelling exists.
QString Below(const QString& path, const QString& relative)
{
    return winpath::Resolve(path + QLatin1Char('/') + relative);
}

QString InstallationFolder(const QStringList& arguments)
{
    const QString folder = arguments.isEmpty() ? registry::LonWorksPath() : arguments.first();
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

void SetLonWorksPath(const QString& path)
{
    const QString what =
        QStringLiteral("registry HKLM\\%1 \"%2\" = %3")
            .arg(QString::fromLatin1(registry::LonWorksKey), QString::fromLatin1(registry::LonWorksPathValue), path);
    if (registry::LonWorksPathSetting() == path) {
        Report(what, QStringLiteral("exists"));
        return;
    }
    if (!registry::SetLonWorksPathSetting(path))
        throw SetupFailed{QStringLiteral("lnsdirector: cannot write the registry (%1)")
                              .arg(registry::RegistryStore(registry::Hive::LocalMachine).fileName())};
    Report(what, QStringLiteral("set"));
}

void MakeFolder(const QString& path)
{
    if (QFileInfo(path).isDir()) {
        Report(QStringLiteral("folder %1").arg(path), QStringLiteral("exists"));
        return;
    }
    if (!QDir().mkpath(path))
        throw SetupFailed{QStringLiteral("lnsdirector: cannot create the folder %1").arg(path)};
    Report(QStringLiteral("folder %1").arg(path), QStringLiteral("created"));
}

void CopyConverter(const QString& path)
{
    const QString source = QCoreApplication::applicationDirPath() + QStringLiteral("/XIF32BIN");
    if (!QFileInfo(source).isFile())
        throw SetupFailed{QStringLiteral("lnsdirector: the converter %1 is missing; build XIF32BIN").arg(source)};
    Report(QStringLiteral("bin/XIF32BIN"), SyncFile(source, Below(path, QStringLiteral("bin/XIF32BIN")), true));
}

// Copies the demo files below resourceFolder to the same place below the installation; true when any
// had to be written.
bool CopyDemoFiles(const QString& path, const QString& resourceFolder, const QString& targetFolder)
{
    bool changed = false;
    QStringList files;
    QDirIterator it(ResourceRoot + QLatin1Char('/') + resourceFolder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    if (files.isEmpty())
        throw SetupFailed{QStringLiteral("lnsdirector: this build carries no demo files in %1").arg(resourceFolder)};
    for (const QString& file : files) {
        const QString relative = targetFolder + file.mid(ResourceRoot.size() + resourceFolder.size() + 1);
        const QString outcome = SyncFile(file, Below(path, relative), false);
        changed = changed || outcome != QLatin1String("exists");
        Report(relative, outcome);
    }
    return changed;
}

// The user folder is recorded in the catalog and the demo's file sets are in its index.
bool CatalogHasDemo(const QString& typesFolder, const QString& userFolder)
{
    catalog::files::CatalogIndex index;
    QString error;
    if (!catalog::files::ReadIndex(typesFolder, index, error))
        return false;
    const QString folder = catalog::files::StoredPath(typesFolder, userFolder);
    if (!index.folders.contains(folder))
        return false;
    QDirIterator it(userFolder + QStringLiteral("/Kestrova"), {QStringLiteral("*.fset.json")}, QDir::Files);
    int found = 0;
    while (it.hasNext()) {
        const QString stored = catalog::files::StoredPath(typesFolder, it.next());
        bool indexed = false;
        for (const catalog::files::IndexedFileSet& set : index.fileSets)
            indexed = indexed || set.file == stored;
        if (!indexed)
            return false;
        ++found;
    }
    return found > 0;
}

void RecordInCatalog(const QString& path, bool filesChanged)
{
    const QString typesFolder = catalog::TypesFolder(path);
    const QString userFolder = Below(path, QStringLiteral("types/User"));
    const QString what = QStringLiteral("catalog types/User");
    if (!filesChanged && CatalogHasDemo(typesFolder, userFolder)) {
        Report(what, QStringLiteral("exists"));
        return;
    }
    catalog::ResourceCatalog catalog;
    qint32 handle = 0;
    qint32 result = catalog.CatalogOpen(typesFolder, 0, handle);
    if (result == catalog::ResultOk) {
        result = catalog.CatalogAddFolder(handle, userFolder);
        if (result == catalog::ResultOk)
            result = catalog.CatalogRebuild(handle);
        catalog.CatalogClose(handle);
    }
    if (result != catalog::ResultOk)
        throw SetupFailed{QStringLiteral("lnsdirector: the catalog in %1 answered %2 (a damaged %3 can be deleted; "
                                         "the next demo-setup writes it again)")
                              .arg(typesFolder)
                              .arg(result)
                              .arg(QString::fromLatin1(catalog::files::IndexFileName))};
    if (!catalog::FindTypeDefinition(path, QStringLiteral("UNVT_fc_gen_opts")))
        throw SetupFailed{QStringLiteral("lnsdirector: the catalog in %1 does not list the thermostat's types "
                                         "after its rebuild; see \"skipped\" in its index")
                              .arg(typesFolder)};
    Report(what, QStringLiteral("added and rebuilt"));
}

// The template's interface comes from the XIF and an XFB made by the installation's own converter.
// The XFB is made in a scratch folder: the import folder keeps only what a manufacturer ships, so
// the plug-in's own template import still meets XIFs it has to convert.
void ImportTemplate(ObjectServerAdmin& admin, const QString& network, const QString& path, const TemplateSource& source)
{
    const QString what = QStringLiteral("template %1/%2").arg(network, source.name);
    if (admin.templateNames(network).contains(source.name)) {
        Report(what, QStringLiteral("exists"));
        return;
    }
    QTemporaryDir scratch;
    if (!scratch.isValid())
        throw SetupFailed{QStringLiteral("lnsdirector: no scratch folder for the XFB: %1").arg(scratch.errorString())};
    const QString xif = scratch.filePath(source.xif);
    const QString xfb = lns::xif::XfbPathOf(xif);
    if (!QFile::copy(Below(path, QStringLiteral("Import/") + source.xif), xif))
        throw SetupFailed{QStringLiteral("lnsdirector: cannot read Import/%1").arg(source.xif)};
    QProcess converter;
    converter.start(Below(path, QStringLiteral("bin/XIF32BIN")), {xif, xfb});
    if (!converter.waitForFinished(60000) || converter.exitStatus() != QProcess::NormalExit ||
        converter.exitCode() != 0)
        throw SetupFailed{QStringLiteral("lnsdirector: bin/XIF32BIN could not convert %1: %2")
                              .arg(source.xif, QString::fromLocal8Bit(converter.readAllStandardError()).trimmed() +
                                                   converter.errorString())};
    admin.addTemplateFromXif(network, source.name, xif);
    Report(what, QStringLiteral("imported"));
}

void WriteValues(ObjectServerAdmin& admin, const DeviceRef& device, const Thermostat& t)
{
    admin.setNvText(device, QStringLiteral("nciSetPts"), t.setPoints);
    admin.setNvText(device, QStringLiteral("nciGenOpts"), t.generalOptions);
    admin.setNvText(device, QStringLiteral("nciRHmodel"), t.humidity);
    admin.setNvText(device, QStringLiteral("nciHvacType"), QStringLiteral("HVT_FAN_COIL"));
    admin.setNvText(device, QStringLiteral("nciSndHrtBt"), QStringLiteral("60"));
    admin.setNvText(device, QStringLiteral("nciMinOutTm"), QStringLiteral("5"));
    admin.setNvText(device, QStringLiteral("nciRcvHrtBt"), QStringLiteral("120"));
    admin.setNvText(device, QStringLiteral("nciMajVer"), QStringLiteral("1"));
    admin.setNvText(device, QStringLiteral("nciMinVer"), QStringLiteral("2"));
    // Written last: a model code on the device means every value before it is there.
    admin.setNvText(device, QStringLiteral("nciSccModel"),
                    QStringLiteral("%1 %2").arg(t.modelCode).arg(t.softwareVersion));
}

void MakeThermostat(ObjectServerAdmin& admin, const NetworkPlan& plan, const Thermostat& t)
{
    const DeviceRef ref{plan.name, plan.subsystem, t.name};
    const QString fullPath = QStringLiteral("%1/%2/%3/%4").arg(plan.name, SystemName, plan.subsystem, t.name);
    const QString what =
        QStringLiteral("device %1 (model %2, %3)").arg(fullPath).arg(t.modelCode).arg(StateText(t.faults));
    if (!admin.devicePaths(plan.name).contains(fullPath)) {
        admin.addDevice(
            plan.name,
            {.subsystem = plan.subsystem, .name = t.name, .templateName = t.templateName, .faults = t.faults});
        WriteValues(admin, ref, t);
        Report(what, QStringLiteral("created"));
        return;
    }
    const QByteArray model = admin.nvRaw(ref, QStringLiteral("nciSccModel"));
    if (model.count('\0') == model.size()) {
        WriteValues(admin, ref, t);
        Report(what, QStringLiteral("values written"));
        return;
    }
    Report(what, QStringLiteral("exists"));
}

void MakeNetwork(ObjectServerAdmin& admin, const QString& path, const NetworkPlan& plan)
{
    if (!plan.interfaceName.isEmpty()) {
        const QString what = QStringLiteral("network interface %1").arg(plan.interfaceName);
        if (admin.hasNetworkInterface(plan.interfaceName)) {
            Report(what, QStringLiteral("exists"));
        } else {
            admin.createNetworkInterface(plan.interfaceName);
            Report(what, QStringLiteral("created"));
        }
    }
    const QString what = QStringLiteral("network %1").arg(plan.name);
    if (admin.hasNetwork(plan.name)) {
        Report(what, QStringLiteral("exists"));
    } else {
        admin.createNetwork({.name = plan.name,
                             .importFolder = Below(path, QStringLiteral("Import")),
                             .systemName = SystemName,
                             .requiresInterface = plan.requiresInterface,
                             .nsdInterface = plan.interfaceName});
        Report(what, plan.requiresInterface ? QStringLiteral("created (opens only through %1)").arg(plan.interfaceName)
                                            : QStringLiteral("created"));
    }
    const QString subsystem = QStringLiteral("subsystem %1/%2/%3").arg(plan.name, SystemName, plan.subsystem);
    try {
        admin.addSubsystem(plan.name, plan.subsystem);
        Report(subsystem, QStringLiteral("created"));
    } catch (const com::ComError& e) {
        if (e.number() != lns::ObjectServerError(lns::ErrNameInUse))
            throw;
        Report(subsystem, QStringLiteral("exists"));
    }
    for (const TemplateSource& source : Templates)
        ImportTemplate(admin, plan.name, path, source);
    for (const Thermostat& t : plan.thermostats)
        MakeThermostat(admin, plan, t);
}

int runDemoSetup(const QStringList& arguments)
{
    if (arguments.size() > 1 || (!arguments.isEmpty() && arguments.first().startsWith(QLatin1Char('-')))) {
        Err(QStringLiteral("usage: lnsdirector demo-setup [FOLDER]"));
        return 2;
    }
    const QString path = InstallationFolder(arguments);
    try {
        MakeFolder(path);
        SetLonWorksPath(path);
        CopyConverter(path);
        const bool typesChanged = CopyDemoFiles(path, QStringLiteral("types"), QStringLiteral("types"));
        RecordInCatalog(path, typesChanged);
        CopyDemoFiles(path, QStringLiteral("import"), QStringLiteral("Import"));
        ObjectServerAdmin admin(path);
        for (const NetworkPlan& plan : DemoNetworks())
            MakeNetwork(admin, path, plan);
    } catch (const SetupFailed& e) {
        Err(e.message);
        return 1;
    } catch (const com::ComError& e) {
        Err(ErrorLine(e));
        return 1;
    }
    return 0;
}

const bool registered = RegisterVerb(
    Verb{QStringLiteral("demo-setup"), QStringLiteral("demo-setup [FOLDER]   makes or completes the demo installation"),
         QStringLiteral(
             "usage: lnsdirector demo-setup [FOLDER]\n"
             "Makes the demo LonWorks installation in FOLDER (default: the registry's \"LonWorks Path\", else\n"
             "$XDG_DATA_HOME/LonWorks) and points HKLM\\SOFTWARE\\LonWorks \"LonWorks Path\" at it: bin/XIF32BIN,\n"
             "the thermostat's resource files in types/User/Kestrova recorded in the catalog, both XIFs in Import/,\n"
             "and the networks \"Demo\" and \"Plant\" (Plant opens only through its network interface LON1) with\n"
             "their thermostats. One line per step; a step already done says \"exists\" and is left alone, so\n"
             "running it again changes nothing and a run cut short is completed. lnsdirector list NETWORK shows\n"
             "the thermostats."),
         runDemoSetup});

}  // namespace
}  // namespace director
