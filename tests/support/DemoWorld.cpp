#include "support/DemoWorld.h"

#include "platform/toolkit/Events.h"

#include <QProcess>

namespace testsupport {

DemoWorld::DemoWorld() : m_env(std::make_unique<TestEnvironment>())
{
    m_path = m_env->root() + QStringLiteral("/LonWorks");
    QProcess setup;
    setup.start(BinDir() + QStringLiteral("/lnsdirector"), {QStringLiteral("demo-setup"), m_path});
    if (!setup.waitForFinished(60000) || setup.exitStatus() != QProcess::NormalExit || setup.exitCode() != 0) {
        m_error = QStringLiteral("lnsdirector demo-setup failed: ") + QString::fromUtf8(setup.readAllStandardError());
        return;
    }
    m_admin = std::make_unique<lns::admin::ObjectServerAdmin>(m_path);
    auto ends = m_ends;
    toolkit::ResetProgramEnded();
    toolkit::SetProgramEnd([ends](int) { ++*ends; });
    m_ok = true;
}

DemoWorld::~DemoWorld()
{
    toolkit::SetProgramEnd({});
    toolkit::ResetProgramEnded();
    m_admin.reset();
    m_env.reset();
}

QStringList DemoWorld::devicePaths(const QString& network)
{
    return m_admin->devicePaths(network);
}

lns::admin::DeviceRef DemoWorld::refOf(const QString& network, const QString& path)
{
    const QStringList parts = path.split(QLatin1Char('/'));
    return lns::admin::DeviceRef{network, parts.value(parts.size() - 2), parts.value(parts.size() - 1)};
}

QString DemoWorld::findDevice(const QString& network,
                              const std::function<bool(int modelCode, const lns::admin::DeviceFaults&)>& predicate)
{
    for (const QString& path : devicePaths(network)) {
        const auto ref = refOf(network, path);
        const QString model = m_admin->nvText(ref, QStringLiteral("nciSccModel"), QStringLiteral("RAW"));
        if (predicate(model.section(QLatin1Char('\t'), 0, 0).toInt(), m_admin->deviceFaults(ref)))
            return path;
    }
    return QString();
}

}  // namespace testsupport
