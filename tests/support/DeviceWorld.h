#pragma once
// One thermostat on a real object server: a private installation (registry, LonWorks folder with the
// demo's resource files indexed), network "Demo", subsystem "Floor 1", the thermostat's template read
// from the demo XIF, and device "Thermostat 1" whose variables the tests read and write.
#include "platform/catalog/ResourceCatalog.h"
#include "platform/objectserver/ObjectServerAdmin.h"
#include "platform/objectserver/SqlObjectServer.h"
#include "platform/objectserver/Xif.h"
#include "platform/registry/LonWorksInstallation.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

namespace devicetest {

inline const QString Network = QStringLiteral("Demo");
inline const QString Floor = QStringLiteral("Floor 1");
inline const QString Thermostat = QStringLiteral("Thermostat 1");

class DeviceWorld {
    // First in, last out: the folder outlives the server that has its database open.
    QTemporaryDir m_lonWorks;

public:
    // withoutNv: a variable the device's interface leaves out (empty = the full interface).
    explicit DeviceWorld(const QString& withoutNv = QString())
    {
        const QString lonWorks = m_lonWorks.path();
        // The program formats values with the types of the installation the registry names.
        registry::SetLonWorksPathSetting(lonWorks);
        copyTree(testsupport::SourceDir() + QStringLiteral("/demo/types"), lonWorks + QStringLiteral("/types"));
        catalog::ResourceCatalog catalog;
        qint32 handle = 0;
        catalog.CatalogOpen(lonWorks + QStringLiteral("/types"), 0, handle);
        catalog.CatalogAddFolder(handle, lonWorks + QStringLiteral("/types/User"));
        catalog.CatalogRebuild(handle);
        catalog.CatalogClose(handle);

        admin = std::make_unique<lns::admin::ObjectServerAdmin>(lonWorks);
        admin->createNetwork({.name = Network, .importFolder = lonWorks + QStringLiteral("/Import")});
        admin->addSubsystem(Network, Floor);
        lns::xif::InterfaceDefinition definition =
            lns::xif::ParseXif(testsupport::SourceDir() + QStringLiteral("/demo/import/KR5M-HU.xif"));
        if (!withoutNv.isEmpty()) {
            definition.networkVariables.erase(
                std::remove_if(definition.networkVariables.begin(), definition.networkVariables.end(),
                               [&](const lns::xif::NvDefinition& nv) { return nv.name == withoutNv; }),
                definition.networkVariables.end());
        }
        admin->addTemplate(Network, QStringLiteral("KR5M-HU"), definition);
        admin->addDevice(Network, {.subsystem = Floor, .name = Thermostat, .templateName = QStringLiteral("KR5M-HU")});

        server = std::make_unique<lns::SqlObjectServer>(lonWorks);
        server->OpenObjectServer();
        auto network = server->Networks()->Item(Network);
        network->OpenNetwork();
        auto system = network->NetworkSystems()->Item(1);
        system->OpenSystem();
        auto device = system->SystemSubsystems()->Item(Floor)->SubsystemAppDevices()->Item(Thermostat);
        nvs = device->DeviceInterface()->InterfaceNetworkVariables();
    }

    lns::admin::DeviceRef ref() const { return {Network, Floor, Thermostat}; }

    void setFaults(const lns::admin::DeviceFaults& faults) { admin->setDeviceFaults(ref(), faults); }
    void setText(const QString& nv, const QString& text, const QString& format = QString())
    {
        admin->setNvText(ref(), nv, text, format);
    }
    QString text(const QString& nv, const QString& format = QString()) { return admin->nvText(ref(), nv, format); }

    testsupport::TestEnvironment environment;
    std::unique_ptr<lns::admin::ObjectServerAdmin> admin;
    std::unique_ptr<lns::SqlObjectServer> server;
    lns::Ptr<lns::NetworkVariables> nvs;

private:
    static void copyTree(const QString& from, const QString& to)
    {
        QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QString target = to + file.mid(from.size());
            QDir().mkpath(QFileInfo(target).absolutePath());
            QFile::copy(file, target);
        }
    }
};

}  // namespace devicetest
