// bench_profiles [DEVICES]: a generated network of DEVICES thermostats (1,000 by default) of mixed models
// in a fresh object server. A profile applied, verified, to the first 100 and another to all of them;
// and, on the same devices, the bare object-server calls that such an apply makes (the device and its
// program ID, the model and the variables it plans from read raw, the changed ones read again, written
// under the compare and read back raw). Prints the cost per device and
//   RESULT profile-apply-scaling <per device at DEVICES / at 100> target 1.1
//   RESULT profile-apply <apply / bare reads and writes, per device> target 1.2
// then grows the network to ten times DEVICES, applies to all of them and prints
//   RESULT profile-apply-marginal-10k <cost of each device past DEVICES / of each past 100> target 1.05
//   RESULT profile-apply-rss-10k <peak resident MB during the apply, report included> target 100
#include "DemoTypes.h"
#include "device/ConfigModel.h"
#include "platform/objectserver/ObjectServerAdmin.h"
#include "platform/objectserver/ObjectServerFactory.h"
#include "platform/objectserver/ValueFormats.h"
#include "platform/objectserver/Xif.h"
#include "platform/registry/LonWorksInstallation.h"
#include "platform/registry/RegistryStore.h"
#include "profiles/Profiles.h"
#include "ui/log/fLog.h"

#include <malloc.h>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

const QString Network = QStringLiteral("Bench");
const QString System = QStringLiteral("System 1");
const QStringList Settable = {"nciSetPts", "nciRHmodel", "nciGenOpts", "nciSndHrtBt", "nciMinOutTm", "nciRcvHrtBt"};
// The format the apply reads and writes a variable in: its type's, in metric units where it has them.
QString formatOf(lns::NetworkVariable& nv)
{
    const bool temperatures = nv.Name() == QLatin1String("nciSetPts") || nv.Name() == QLatin1String("nciGenOpts");
    return nv.NvTypeName() + (temperatures ? QStringLiteral("#SI") : QString());
}

[[noreturn]] void die(const QString& why)
{
    std::fprintf(stderr, "bench_profiles: %s\n", qPrintable(why));
    std::exit(1);
}

void setLonWorksPath(const QString& path)
{
    registry::RegistryStore store(registry::Hive::LocalMachine);
    const QString key = QString::fromLatin1(registry::LonWorksKey);
    if (!store.createKey(key) ||
        !store.setValue(key, QString::fromLatin1(registry::LonWorksPathValue), registry::StringValue(path)))
        die(QStringLiteral("cannot write the registry"));
}

// Thermostats from number `from` to `to` (the network made with the first), of every model in turn, 100
// to a subsystem, each with the demo's values; their models by path.
QStringList generate(const QString& lonWorksPath, int from, int to, QHash<QString, qint16>& modelOf)
{
    lns::admin::ObjectServerAdmin admin(lonWorksPath);
    if (from == 0) {
        admin.createNetwork({.name = Network, .importFolder = lonWorksPath + QStringLiteral("/Import")});
        const QString xifs = QStringLiteral(KR5M_SOURCE_DIR "/demo/import/");
        admin.addTemplate(Network, QStringLiteral("non-RoHS"),
                          lns::xif::ParseXif(xifs + QStringLiteral("KR5M-HU.xif")));
        admin.addTemplate(Network, QStringLiteral("RoHS"),
                          lns::xif::ParseXif(xifs + QStringLiteral("KR5M-HU-RoHS.xif")));
    }
    const std::vector<device::config::Model>& models = device::config::KnownModels();
    QStringList paths;
    for (int i = from; i < to; ++i) {
        const QString subsystem = QStringLiteral("Floor %1").arg(i / 100 + 1);
        if (i % 100 == 0)
            admin.addSubsystem(Network, subsystem);
        const QString name = QStringLiteral("TS-%1").arg(i + 1, 4, 10, QLatin1Char('0'));
        const int model = models[std::size_t(i) % models.size()].code;
        admin.addDevice(Network, {.subsystem = subsystem,
                                  .name = name,
                                  .templateName = model >= 60 ? QStringLiteral("RoHS") : QStringLiteral("non-RoHS")});
        const lns::admin::DeviceRef ref{Network, subsystem, name};
        admin.setNvText(ref, "nciSetPts", "24,26,28,21,19,16");
        admin.setNvText(ref, "nciGenOpts",
                        "FLOATING 2.5 4 OFF REM_NSB DOOR_DRY NONE SCROLL_ACTIVE ON CELSIUS TWO_PIPE HEAT_COOL "
                        "LOW_MED_HIGH_AUTO 30 15 PERMANENT 2 5 2 0 NO_WITH_OCCUPANCY RTB_15_MINUTES");
        admin.setNvText(ref, "nciRHmodel", "ON 50 5 80 0");
        admin.setNvText(ref, "nciSndHrtBt", "60");
        admin.setNvText(ref, "nciMinOutTm", "5");
        admin.setNvText(ref, "nciRcvHrtBt", "120");
        admin.setNvText(ref, "nciSccModel", QStringLiteral("%1 3.2").arg(model));
        paths << QStringLiteral("%1/%2/%3/%4").arg(Network, System, subsystem, name);
        modelOf.insert(paths.last(), qint16(model));
    }
    return paths;
}

// The profile with other set points and limits, so that every device has two variables to write.
QString variant(const QString& saved, double heat, double heatMax)
{
    QJsonObject profile = QJsonDocument::fromJson(saved.toUtf8()).object();
    QJsonObject values = profile.value("values").toObject();
    values.insert("nciSetPts.occ_heat", heat);
    values.insert("HeatMax", heatMax);
    profile.insert("values", values);
    return QString::fromUtf8(QJsonDocument(profile).toJson());
}

// The process's resident memory now, or its peak since the last reset, in kB (0 where /proc cannot say).
qint64 ResidentKb(bool peak)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray key = peak ? "VmHWM:" : "VmRSS:";
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// Starts the peak over from the memory in use now: what the bench freed before (the last report read
// back) is handed back to the system first, so that it does not count as the apply's.
void ResetPeakResident()
{
    malloc_trim(0);
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

struct Applied {
    double nsPerDevice = 0;
    qint64 peakKb = 0;                      // the process's peak resident memory once the report is made
    int written = 0;                        // variables written and read back
    QHash<QString, QStringList> writtenOf;  // by device path
};

Applied apply(const QStringList& paths, const QString& profile, fLog& log)
{
    QElapsedTimer timer;
    timer.start();
    const QString text = profiles::Apply(Network, paths, profile, false, log).ToJson();
    const double ns = double(timer.nsecsElapsed()) / double(paths.size());
    // Before the report is read back here, which the apply does not do.
    const qint64 peakKb = ResidentKb(true);
    const QJsonObject report = QJsonDocument::fromJson(text.toUtf8()).object();
    Applied applied{ns, peakKb, 0, {}};
    for (const QJsonValue device : report.value("devices").toArray()) {
        if (device["status"] != QLatin1String("verified"))
            die(QStringLiteral("%1: %2 %3")
                    .arg(device["path"].toString(), device["status"].toString(), device["message"].toString()));
        QStringList& written = applied.writtenOf[device["path"].toString()];
        for (const QJsonValue check : device["verification"].toArray())
            written.append(check["variable"].toString());
        applied.written += int(written.size());
    }
    return applied;
}

using Texts = QHash<QString, QHash<QString, QString>>;  // by device path, then by variable

struct OpenNetwork {
    explicit OpenNetwork(const QString& lonWorksPath) : server(lns::CreateObjectServer(lonWorksPath))
    {
        server->OpenObjectServer();
        network = server->Networks()->Item(Network);
        network->OpenNetwork();
        system = network->NetworkSystems()->Item(1);
        system->OpenSystem();
    }
    ~OpenNetwork()
    {
        system->CloseSystem();
        network->CloseNetwork();
        server->CloseObjectServer();
    }
    lns::Ptr<lns::NetworkVariables> variablesOf(const QString& path)
    {
        const QStringList parts = path.split(QLatin1Char('/'));
        auto device = system->SystemSubsystems()->Item(parts[2])->SubsystemAppDevices()->Item(parts[3]);
        return device->DeviceInterface()->InterfaceNetworkVariables();
    }
    std::unique_ptr<lns::ObjectServer> server;
    lns::Ptr<lns::Network> network;
    lns::Ptr<lns::System> system;
};

// Every settable variable of every device as it is now, in its type's format.
Texts snapshot(const QString& lonWorksPath, const QStringList& paths)
{
    OpenNetwork open(lonWorksPath);
    Texts texts;
    for (const QString& path : paths) {
        auto nvs = open.variablesOf(path);
        for (const QString& name : Settable) {
            auto nv = nvs->NvCollectionItem(name);
            nv->SetNvFormatSpec(formatOf(*nv));
            texts[path][name] = nv->NvFormattedValue();
        }
    }
    return texts;
}

// The variables an apply of the profile plans from on a model: those holding the profile's items the
// model has, and those of the set points, limits and dead band the rules read; in access-object order.
QStringList variablesRead(const QString& profile, qint16 model)
{
    const QSet<QString> disabled = device::config::DisabledItems(model);
    QSet<QString> needed;
    for (const QString& name : QJsonDocument::fromJson(profile.toUtf8()).object().value("values").toObject().keys())
        if (!disabled.contains(name))
            needed.insert(device::config::FindSettable(name)->variable);
    for (const QString& name : device::config::CrossFieldItems())
        needed.insert(device::config::FindSettable(name)->variable);
    QStringList ordered;
    for (const QString& variable : Settable)
        if (needed.contains(variable))
            ordered.append(variable);
    return ordered;
}

// The apply's object-server work done bare, no more and no less: the same network opened; per device the
// device looked up and its program ID asked, its model read raw, the variables the apply plans from
// read raw, and each variable it wrote read raw again just before the write (the compare with what
// another writer may have left), written under that compare and read back raw. What is written is the
// value before the apply, so that the bytes change as the apply's did: a write of the bytes already held
// costs the database next to nothing.
Q_NEVER_INLINE double bare(const QString& lonWorksPath, const QStringList& paths,
                           const QHash<QString, QStringList>& writtenOf, const Texts& before,
                           const QHash<QString, QStringList>& readOf)
{
    QElapsedTimer timer;
    timer.start();
    {
        // As the apply: the type definitions looked up once.
        const lns::formats::FixedDefinitions fixed;
        OpenNetwork open(lonWorksPath);
        for (const QString& path : paths) {
            const QStringList parts = path.split(QLatin1Char('/'));
            auto device = open.system->SystemSubsystems()->Item(parts[2])->SubsystemAppDevices()->Item(parts[3]);
            device->DeviceProgramId();
            auto nvs = device->DeviceInterface()->InterfaceNetworkVariables();
            auto model = nvs->NvCollectionItem(QStringLiteral("nciSccModel"));
            model->NvRawValue();
            model->SetNvFormatSpec(QStringLiteral("RAW"));
            const QStringList written = writtenOf.value(path);
            for (const QString& name : readOf.value(path)) {
                auto nv = nvs->NvCollectionItem(name);
                nv->NvRawValue();
                nv->SetNvFormatSpec(formatOf(*nv));
                if (written.contains(name)) {
                    // What the device holds just before the write, compared with the read.
                    nv->SetNvExpectedValue(nv->NvRawValue());
                    nv->SetNvFormattedValue(before[path][name]);
                    nv->NvRawValue();
                }
            }
        }
    }
    return double(timer.nsecsElapsed()) / double(paths.size());
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;
    if (count < 100)
        die(QStringLiteral("at least 100 devices"));
    QTemporaryDir world;
    qputenv("LONWORKS_REGISTRY_DIR", world.filePath(QStringLiteral("registry")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", world.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", world.filePath(QStringLiteral("config")).toLocal8Bit());
    const QString lonWorksPath = world.filePath(QStringLiteral("LonWorks"));
    setLonWorksPath(lonWorksPath);
    if (const QString error = bench::InstallDemoTypes(lonWorksPath); !error.isEmpty())
        die(error);

    QElapsedTimer timer;
    timer.start();
    QHash<QString, qint16> modelOf;
    const QStringList paths = generate(lonWorksPath, 0, count, modelOf);
    std::printf("network of %d thermostats generated in %.1f s\n", count, double(timer.elapsed()) / 1000);

    fLog log;
    const QString saved = profiles::Save(Network, paths[2], 0, log);
    // The machine is shared: each figure is the best of a few rounds, the rounds of apply and bare
    // taken in turn. Each round's profile differs from the last, so that every round writes.
    const int rounds = 6;
    double hundred = 0, all = 0, limit = 0;
    int written = 0;
    for (int round = 0; round < rounds; ++round) {
        const Applied some = apply(paths.mid(0, 100), variant(saved, 20.5 - round, 28 - round), log);
        const Texts before = snapshot(lonWorksPath, paths);
        const QString profile = variant(saved, 20 - round, 27.5 - round);
        const Applied every = apply(paths, profile, log);
        // The bare work of the whole network's apply: the same variables read and written on each device.
        QHash<QString, QStringList> readOf;
        for (const QString& path : paths)
            readOf.insert(path, variablesRead(profile, modelOf.value(path)));
        const double bareRound = bare(lonWorksPath, paths, every.writtenOf, before, readOf);
        hundred = round ? std::min(hundred, some.nsPerDevice) : some.nsPerDevice;
        all = round ? std::min(all, every.nsPerDevice) : every.nsPerDevice;
        limit = round ? std::min(limit, bareRound) : bareRound;
        written = every.written;
        std::printf("round %d, ms per device: apply %.3f at 100, %.3f at %d; bare %.3f\n", round + 1,
                    some.nsPerDevice / 1e6, every.nsPerDevice / 1e6, count, bareRound / 1e6);
    }
    const double scaling = all / hundred;
    const double ratio = all / limit;
    std::printf("apply, verified, per device (best of %d): %.2f ms at 100, %.2f ms at %d (%d variables written)\n",
                rounds, hundred / 1e6, all / 1e6, count, written);
    std::printf("bare object-server reads and writes of the same apply, per device: %.2f ms\n", limit / 1e6);
    std::printf("RESULT profile-apply-scaling %.2f target 1.1\n", scaling);
    std::printf("RESULT profile-apply %.2f target 1.2\n", ratio);

    // Ten times the devices. The cost of each device past the first 1,000 against that of each past the
    // first 100: what an apply costs once is in neither. And the apply's peak memory, report included.
    const int big = 10 * count;
    timer.restart();
    const QStringList bigNetwork = paths + generate(lonWorksPath, count, big, modelOf);
    std::printf("network grown to %d thermostats in %.1f s\n", big, double(timer.elapsed()) / 1000);
    log.Clear();
    malloc_trim(0);
    const qint64 residentBefore = ResidentKb(false);
    double bigAll = 0;
    qint64 peak = 0;
    for (int round = 0; round < 2; ++round) {
        ResetPeakResident();
        const Applied every = apply(bigNetwork, variant(saved, 21 - round, 29 - round), log);
        peak = std::max(peak, every.peakKb);
        bigAll = round ? std::min(bigAll, every.nsPerDevice) : every.nsPerDevice;
        log.Clear();
    }
    const double marginalSmall = (all * count - hundred * 100) / (count - 100);
    const double marginalBig = (bigAll * big - all * count) / (big - count);
    std::printf("apply per device at %d (best of 2): %.2f ms; each device past %d: %.3f ms, past 100: %.3f ms\n", big,
                bigAll / 1e6, count, marginalBig / 1e6, marginalSmall / 1e6);
    std::printf("resident memory before the apply %.0f MB, peak during it %.0f MB\n", double(residentBefore) / 1024,
                double(peak) / 1024);
    std::printf("RESULT profile-apply-marginal-10k %.2f target 1.05\n", marginalBig / marginalSmall);
    std::printf("RESULT profile-apply-rss-10k %.0f target 100\n", double(peak) / 1024);
    return 0;
}
