#include "support/RecordingObjectServer.h"

namespace testsupport {

using lns::Ptr;

namespace {

QString Text(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString Text(qint64 value)
{
    return QString::number(value);
}

void Note(const CallLog& log, const QString& operation, const QStringList& words = {})
{
    log->append(words.isEmpty() ? operation : operation + QLatin1Char(' ') + words.join(QLatin1Char(' ')));
}

class RecordedInterface final : public lns::NetworkInterface {
public:
    RecordedInterface(Ptr<lns::NetworkInterface> inner, CallLog log) : m_inner(std::move(inner)), m_log(std::move(log))
    {
    }
    QString InterfaceName() override
    {
        const QString name = m_inner->InterfaceName();
        Note(m_log, QStringLiteral("InterfaceName"), {name});
        return name;
    }
    const Ptr<lns::NetworkInterface>& inner() const { return m_inner; }

private:
    Ptr<lns::NetworkInterface> m_inner;
    CallLog m_log;
};

Ptr<lns::NetworkInterface> Wrap(Ptr<lns::NetworkInterface> inner, const CallLog& log)
{
    return inner ? std::make_shared<RecordedInterface>(std::move(inner), log) : nullptr;
}

QString NameOf(const Ptr<lns::NetworkInterface>& networkInterface)
{
    return networkInterface ? Unwrapped(networkInterface)->InterfaceName() : QStringLiteral("none");
}

class RecordedInterfaces final : public lns::NetworkInterfaces {
public:
    RecordedInterfaces(Ptr<lns::NetworkInterfaces> inner, CallLog log)
        : m_inner(std::move(inner)), m_log(std::move(log))
    {
    }
    qint32 Count() override
    {
        Note(m_log, QStringLiteral("NetworkInterfaces.Count"));
        return m_inner->Count();
    }
    Ptr<lns::NetworkInterface> Item(qint32 index) override
    {
        Note(m_log, QStringLiteral("NetworkInterfaces.Item"), {Text(qint64(index))});
        return Wrap(m_inner->Item(index), m_log);
    }
    Ptr<lns::NetworkInterface> Item(const QString& name) override
    {
        Note(m_log, QStringLiteral("NetworkInterfaces.Item"), {name});
        return Wrap(m_inner->Item(name), m_log);
    }

private:
    Ptr<lns::NetworkInterfaces> m_inner;
    CallLog m_log;
};

class RecordedNsd final : public lns::NetworkServiceDevice {
public:
    RecordedNsd(Ptr<lns::NetworkServiceDevice> inner, CallLog log) : m_inner(std::move(inner)), m_log(std::move(log)) {}
    Ptr<lns::NetworkInterface> NsdNetworkInterface() override
    {
        Note(m_log, QStringLiteral("NsdNetworkInterface"));
        return Wrap(m_inner->NsdNetworkInterface(), m_log);
    }
    void SetNsdNetworkInterface(const Ptr<lns::NetworkInterface>& networkInterface) override
    {
        Note(m_log, QStringLiteral("SetNsdNetworkInterface"), {NameOf(networkInterface)});
        m_inner->SetNsdNetworkInterface(Unwrapped(networkInterface));
    }

private:
    Ptr<lns::NetworkServiceDevice> m_inner;
    CallLog m_log;
};

class RecordedSystem final : public lns::System {
public:
    RecordedSystem(Ptr<lns::System> inner, CallLog log) : m_inner(std::move(inner)), m_log(std::move(log)) {}
    void OpenSystem() override
    {
        Note(m_log, QStringLiteral("OpenSystem"));
        m_inner->OpenSystem();
    }
    void CloseSystem() override
    {
        Note(m_log, QStringLiteral("CloseSystem"));
        m_inner->CloseSystem();
    }
    bool SystemIsOpen() override
    {
        Note(m_log, QStringLiteral("SystemIsOpen"));
        return m_inner->SystemIsOpen();
    }
    QString SystemName() override
    {
        Note(m_log, QStringLiteral("SystemName"));
        return m_inner->SystemName();
    }
    qint32 SystemNetworkMode() override
    {
        Note(m_log, QStringLiteral("SystemNetworkMode"));
        return m_inner->SystemNetworkMode();
    }
    Ptr<lns::Subsystems> SystemSubsystems() override
    {
        Note(m_log, QStringLiteral("SystemSubsystems"));
        return m_inner->SystemSubsystems();
    }
    Ptr<lns::ComponentApps> SystemComponentApps() override
    {
        Note(m_log, QStringLiteral("SystemComponentApps"));
        return m_inner->SystemComponentApps();
    }
    Ptr<lns::TemplateLibrary> SystemTemplateLibrary() override
    {
        Note(m_log, QStringLiteral("SystemTemplateLibrary"));
        return m_inner->SystemTemplateLibrary();
    }
    QString SystemImportFolder() override
    {
        Note(m_log, QStringLiteral("SystemImportFolder"));
        return m_inner->SystemImportFolder();
    }
    void SetSystemOptionFlag(bool flag) override
    {
        Note(m_log, QStringLiteral("SetSystemOptionFlag"), {Text(flag)});
        m_inner->SetSystemOptionFlag(flag);
    }
    void SetSystemOptionValue(qint32 value) override
    {
        Note(m_log, QStringLiteral("SetSystemOptionValue"), {Text(qint64(value))});
        m_inner->SetSystemOptionValue(value);
    }
    void SetSystemTuningValue(qint32 value) override
    {
        Note(m_log, QStringLiteral("SetSystemTuningValue"), {Text(qint64(value))});
        m_inner->SetSystemTuningValue(value);
    }
    Ptr<lns::NetworkServiceDevice> SystemNetworkServiceDevice() override
    {
        Note(m_log, QStringLiteral("SystemNetworkServiceDevice"));
        return std::make_shared<RecordedNsd>(m_inner->SystemNetworkServiceDevice(), m_log);
    }

private:
    Ptr<lns::System> m_inner;
    CallLog m_log;
};

class RecordedSystems final : public lns::Systems {
public:
    RecordedSystems(Ptr<lns::Systems> inner, CallLog log) : m_inner(std::move(inner)), m_log(std::move(log)) {}
    qint32 Count() override
    {
        Note(m_log, QStringLiteral("Systems.Count"));
        return m_inner->Count();
    }
    Ptr<lns::System> Item(qint32 index) override
    {
        Note(m_log, QStringLiteral("Systems.Item"), {Text(qint64(index))});
        return std::make_shared<RecordedSystem>(m_inner->Item(index), m_log);
    }

private:
    Ptr<lns::Systems> m_inner;
    CallLog m_log;
};

class RecordedNetwork final : public lns::Network {
public:
    RecordedNetwork(Ptr<lns::Network> inner, CallLog log)
        : m_inner(std::move(inner)), m_log(std::move(log)), m_name(m_inner->NetworkName())
    {
    }
    void OpenNetwork() override
    {
        Note(m_log, QStringLiteral("OpenNetwork"), {m_name});
        m_inner->OpenNetwork();
    }
    void CloseNetwork() override
    {
        Note(m_log, QStringLiteral("CloseNetwork"), {m_name});
        m_inner->CloseNetwork();
    }
    bool NetworkIsOpen() override
    {
        Note(m_log, QStringLiteral("NetworkIsOpen"), {m_name});
        return m_inner->NetworkIsOpen();
    }
    QString NetworkName() override
    {
        Note(m_log, QStringLiteral("NetworkName"), {m_name});
        return m_inner->NetworkName();
    }
    Ptr<lns::Systems> NetworkSystems() override
    {
        Note(m_log, QStringLiteral("NetworkSystems"), {m_name});
        return std::make_shared<RecordedSystems>(m_inner->NetworkSystems(), m_log);
    }
    QList<lns::NvChange> NetworkChanges(const lns::NvChangeFilter& filter) override
    {
        Note(m_log, QStringLiteral("NetworkChanges"), {m_name});
        return m_inner->NetworkChanges(filter);
    }
    qint64 PruneNetworkChanges(const QString& before) override
    {
        Note(m_log, QStringLiteral("PruneNetworkChanges"), {m_name, before});
        return m_inner->PruneNetworkChanges(before);
    }

private:
    Ptr<lns::Network> m_inner;
    CallLog m_log;
    QString m_name;
};

class RecordedNetworks final : public lns::Networks {
public:
    RecordedNetworks(Ptr<lns::Networks> inner, CallLog log) : m_inner(std::move(inner)), m_log(std::move(log)) {}
    qint32 Count() override
    {
        Note(m_log, QStringLiteral("Networks.Count"));
        return m_inner->Count();
    }
    Ptr<lns::Network> Item(qint32 index) override
    {
        Note(m_log, QStringLiteral("Networks.Item"), {Text(qint64(index))});
        return std::make_shared<RecordedNetwork>(m_inner->Item(index), m_log);
    }
    Ptr<lns::Network> Item(const QString& name) override
    {
        Note(m_log, QStringLiteral("Networks.Item"), {name});
        return std::make_shared<RecordedNetwork>(m_inner->Item(name), m_log);
    }

private:
    Ptr<lns::Networks> m_inner;
    CallLog m_log;
};

class RecordedVariable final : public lns::NetworkVariable {
public:
    RecordedVariable(Ptr<lns::NetworkVariable> inner, CallLog log)
        : m_inner(std::move(inner)), m_log(std::move(log)), m_name(m_inner->Name())
    {
    }
    QString Name() override
    {
        Note(m_log, QStringLiteral("NetworkVariable.Name"), {m_name});
        return m_inner->Name();
    }
    QString NvTypeName() override
    {
        Note(m_log, QStringLiteral("NvTypeName"), {m_name});
        return m_inner->NvTypeName();
    }
    void SetNvAccessOption(qint32 option) override
    {
        Note(m_log, QStringLiteral("SetNvAccessOption"), {m_name, Text(qint64(option))});
        m_inner->SetNvAccessOption(option);
    }
    QString NvFormatSpec() override
    {
        Note(m_log, QStringLiteral("NvFormatSpec"), {m_name});
        return m_inner->NvFormatSpec();
    }
    void SetNvFormatSpec(const QString& formatName) override
    {
        Note(m_log, QStringLiteral("SetNvFormatSpec"), {m_name, formatName});
        m_inner->SetNvFormatSpec(formatName);
    }
    QString NvFormattedValue() override
    {
        Note(m_log, QStringLiteral("NvFormattedValue"), {m_name});
        return m_inner->NvFormattedValue();
    }
    void SetNvExpectedValue(const QByteArray& raw) override
    {
        Note(m_log, QStringLiteral("SetNvExpectedValue"), {m_name, QString::fromLatin1(raw.toHex())});
        m_inner->SetNvExpectedValue(raw);
    }
    void SetNvFormattedValue(const QString& text) override
    {
        Note(m_log, QStringLiteral("SetNvFormattedValue"), {m_name, text});
        m_inner->SetNvFormattedValue(text);
    }
    QByteArray NvRawValue() override
    {
        Note(m_log, QStringLiteral("NvRawValue"), {m_name});
        return m_inner->NvRawValue();
    }
    void SetNvRawValue(const QByteArray& raw) override
    {
        Note(m_log, QStringLiteral("SetNvRawValue"), {m_name, QString::fromLatin1(raw.toHex())});
        m_inner->SetNvRawValue(raw);
    }

private:
    Ptr<lns::NetworkVariable> m_inner;
    CallLog m_log;
    QString m_name;
};

class RecordedVariables final : public lns::NetworkVariables {
public:
    RecordedVariables(Ptr<lns::NetworkVariables> inner, CallLog log) : m_inner(std::move(inner)), m_log(std::move(log))
    {
    }
    qint32 Count() override
    {
        Note(m_log, QStringLiteral("NetworkVariables.Count"));
        return m_inner->Count();
    }
    Ptr<lns::NetworkVariable> Item(qint32 index) override
    {
        Note(m_log, QStringLiteral("NetworkVariables.Item"), {Text(qint64(index))});
        return std::make_shared<RecordedVariable>(m_inner->Item(index), m_log);
    }
    Ptr<lns::NetworkVariable> NvCollectionItem(const QString& name) override
    {
        Note(m_log, QStringLiteral("NvCollectionItem"), {name});
        return std::make_shared<RecordedVariable>(m_inner->NvCollectionItem(name), m_log);
    }

private:
    Ptr<lns::NetworkVariables> m_inner;
    CallLog m_log;
};

}  // namespace

RecordingObjectServer::RecordingObjectServer(std::unique_ptr<lns::ObjectServer> inner, QObject* parent)
    : lns::ObjectServer(parent), m_inner(std::move(inner))
{
}

void RecordingObjectServer::OpenObjectServer()
{
    Note(m_log, QStringLiteral("OpenObjectServer"));
    m_inner->OpenObjectServer();
}

void RecordingObjectServer::CloseObjectServer()
{
    Note(m_log, QStringLiteral("CloseObjectServer"));
    m_inner->CloseObjectServer();
}

bool RecordingObjectServer::ObjectServerIsOpen()
{
    Note(m_log, QStringLiteral("ObjectServerIsOpen"));
    return m_inner->ObjectServerIsOpen();
}

bool RecordingObjectServer::RemoteMode()
{
    Note(m_log, QStringLiteral("RemoteMode"));
    return m_inner->RemoteMode();
}

void RecordingObjectServer::SetRemoteMode(bool remote)
{
    Note(m_log, QStringLiteral("SetRemoteMode"), {Text(remote)});
    m_inner->SetRemoteMode(remote);
}

qint32 RecordingObjectServer::RemoteFlags()
{
    Note(m_log, QStringLiteral("RemoteFlags"));
    return m_inner->RemoteFlags();
}

void RecordingObjectServer::SetRemoteFlags(qint32 flags)
{
    Note(m_log, QStringLiteral("SetRemoteFlags"), {Text(qint64(flags))});
    m_inner->SetRemoteFlags(flags);
}

void RecordingObjectServer::SetChangeOrigin(const QString& program, const QString& batch)
{
    Note(m_log, QStringLiteral("SetChangeOrigin"), {program, batch});
    m_inner->SetChangeOrigin(program, batch);
}

void RecordingObjectServer::SetPreOpenOption(bool option)
{
    Note(m_log, QStringLiteral("SetPreOpenOption"), {Text(option)});
    m_inner->SetPreOpenOption(option);
}

Ptr<lns::Networks> RecordingObjectServer::Networks()
{
    Note(m_log, QStringLiteral("Networks"));
    return std::make_shared<RecordedNetworks>(m_inner->Networks(), m_log);
}

Ptr<lns::NetworkInterfaces> RecordingObjectServer::NetworkInterfaces()
{
    Note(m_log, QStringLiteral("NetworkInterfaces"));
    return std::make_shared<RecordedInterfaces>(m_inner->NetworkInterfaces(), m_log);
}

void RecordingObjectServer::SelectNetworkInterface(const Ptr<lns::NetworkInterface>& networkInterface)
{
    Note(m_log, QStringLiteral("SelectNetworkInterface"), {NameOf(networkInterface)});
    m_inner->SelectNetworkInterface(Unwrapped(networkInterface));
}

Ptr<lns::ComponentApps> RecordingObjectServer::ObjectServerComponentApps()
{
    Note(m_log, QStringLiteral("ObjectServerComponentApps"));
    return m_inner->ObjectServerComponentApps();
}

Ptr<lns::NetworkVariables> Recorded(const Ptr<lns::NetworkVariables>& variables, const CallLog& log)
{
    return std::make_shared<RecordedVariables>(variables, log);
}

Ptr<lns::NetworkInterface> Unwrapped(const Ptr<lns::NetworkInterface>& networkInterface)
{
    const auto* recorded = dynamic_cast<const RecordedInterface*>(networkInterface.get());
    return recorded ? recorded->inner() : networkInterface;
}

}  // namespace testsupport
