#pragma once
// The plug-in object a director creates: identity and window properties, the network to work on,
// and SendCommand. A thin facade over the connection, command registration and the configuration
// window; every object of the process shares the one connection and the one window.
#include "platform/automation/Dispatch.h"

#include <QString>
#include <Qt>

class fMain;

class LNSPlugInAPI : public automation::Dispatchable {
public:
    LNSPlugInAPI();
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

    // Live plug-in objects of the process.
    static qint16 InstanceCount();
    // The configuration window, created hidden by the first object; null before.
    static fMain* Window();

    // Dispatchable
    const QList<automation::Member>& members() const override;
    QVariant getProperty(const QString& name) override;
    void setProperty(const QString& name, const QVariant& value) override;
    QVariant callMethod(const QString& name, const QVariantList& arguments) override;

private:
    void checkMovable() const;
    void checkSizable() const;
    // The inner width or height for an outer one, kept between the window's smallest size and the
    // screen's available size.
    int innerExtent(qint32 outer, Qt::Orientation orientation) const;
    QString m_networkInterfaceName;
};
