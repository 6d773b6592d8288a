#pragma once
// The plug-in object a director creates: identity and window properties, the network to work on,
// and SendCommand. A thin facade over the connection, command registration and the configuration
// window; the objects made by one PlugInHost share its session and its one window.
#include "framework/PlugInSession.h"
#include "platform/automation/Dispatch.h"
#include "profiles/Profiles.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <Qt>
#include <functional>

class fMain;
class LNSPlugInAPI;

// What the plug-in objects of one program share, owned by the program entry (or a test): the session
// they work in, the configuration window (made hidden by the first object), how many objects are
// alive, and the development program ID.
struct PlugInHost {
    explicit PlugInHost(framework::PlugInSession& s) : session(s) {}
    PlugInHost(const PlugInHost&) = delete;
    PlugInHost& operator=(const PlugInHost&) = delete;
    ~PlugInHost();

    framework::PlugInSession& session;
    QPointer<fMain> window;
    qint16 instanceCount = 0;
    QString developmentProgramId;
    // The live objects, to find the directors that work on the open network.
    QList<const LNSPlugInAPI*> objects;
};

class LNSPlugInAPI : public automation::Dispatchable {
public:
    // owner: the director (bus connection) that created the object; objects of one owner are one
    // director's, whatever their number. Empty for objects made in the process itself.
    explicit LNSPlugInAPI(PlugInHost& host, QString owner = QString());
    ~LNSPlugInAPI() override;

    void SendCommand(qint32 commandId, qint16 objectClassId, const QString& objectName);

    bool Visible() const;
    void SetVisible(bool visible);
    QString networkName() const;
    void SetnetworkName(const QString& name);
    QString NetworkInterfaceName() const { return m_networkInterfaceName; }
    void SetNetworkInterfaceName(const QString& name) { m_networkInterfaceName = name; }
    bool Remote() const;
    void SetRemote(bool remote);
    qint32 Height() const;
    void SetHeight(qint32 height);
    qint32 Width() const;
    void SetWidth(qint32 width);
    qint32 left() const;
    void Setleft(qint32 left);
    bool Minimized() const;
    void SetMinimized(bool minimized);
    QString ManufacturerID() const;
    QString ManufacturerName() const;
    QString LcaVersion() const;
    QString Version() const;
    qint32 top() const;
    void Settop(qint32 top);
    QString Name() const;
    QString DevelopmentProgramId() const;
    void SetDevelopmentProgramId(const QString& programId);

    // ---- Configuration profiles (the interface KR5MHUConfigure.Profiles). Each call works in a
    // session of its own, never the window's, and logs to the process's activity log. Apply sends
    // Progress(done, total, path) after each device; afterwards a visible window that shows a device
    // the profile wrote re-reads it.
    QString Save(const QString& network, const QString& devicePath, const QString& units = QString());
    QString Compare(const QString& network, const QString& devicePath, const QString& profileJson);
    QString Apply(const QString& network, const QStringList& devicePaths, const QString& profileJson, bool dryRun);
    // The same for every thermostat of a model, or every device of a subsystem: found in the plug-in,
    // so that no list of devices travels over the bus.
    QString ApplyToModel(const QString& network, qint16 modelCode, const QString& profileJson, bool dryRun);
    QString ApplyToSubsystem(const QString& network, const QString& subsystemPath, const QString& profileJson,
                             bool dryRun);
    // The model codes of the KR5M-HU thermostats the plug-in knows.
    QList<qint16> KnownModels() const;
    QStringList DevicesOfModel(const QString& network, qint16 modelCode);
    QStringList DevicesOfSubsystem(const QString& network, const QString& subsystemPath);

    // Live plug-in objects of the host.
    qint16 InstanceCount() const { return m_host.instanceCount; }
    // The configuration window, created hidden by the first object; null before.
    fMain* Window() const { return m_host.window; }

    // Dispatchable
    const QList<automation::Member>& members() const override;
    QVariant getProperty(const QString& name) override;
    void setProperty(const QString& name, const QVariant& value) override;
    QVariant callMethod(const QString& name, const QVariantList& arguments) override;

private:
    // An apply of a profile as every Apply member runs it: progress as the bus signal, a stop when the
    // director has gone, the window re-read where the device it shows was written.
    QString ApplyProfile(const QString& network, bool dryRun,
                         const std::function<profiles::Report(const profiles::ApplyOptions&)>& apply);
    // The process has one connection, so one network: another director may name the one that is
    // open (and then shares it) but neither another network nor another Remote mode while an object
    // of a director that named it lives. Raises 20006 with what it would have done and why not.
    void checkNetworkChange(const QString& refused) const;
    void checkMovable() const;
    void checkSizable() const;
    // The inner width or height for an outer one, kept between the window's smallest size and the
    // screen's available size.
    int innerExtent(qint32 outer, Qt::Orientation orientation) const;
    fMain* window() const { return m_host.window; }
    framework::ConnectionState& link() const { return m_host.session.Link(); }
    PlugInHost& m_host;
    QString m_owner;
    QString m_networkInterfaceName;
    // The network this object named (as the object server spells it), empty when none.
    QString m_namedNetwork;
};
