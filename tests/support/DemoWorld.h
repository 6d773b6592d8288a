#pragma once
// A demo installation for one test: `lnsdirector demo-setup` into the test's own world (registry,
// XDG folders), with the provisioning API at hand to change devices and networks afterwards, and a
// program end that only records (the test process must go on).
#include "platform/objectserver/ObjectServerAdmin.h"
#include "support/TestEnvironment.h"

#include <functional>
#include <memory>

namespace testsupport {

class DemoWorld {
public:
    DemoWorld();
    ~DemoWorld();

    bool ok() const { return m_ok; }
    const QString& error() const { return m_error; }
    QString lonWorksPath() const { return m_path; }
    lns::admin::ObjectServerAdmin& admin() { return *m_admin; }

    // The device paths of a network, as a director passes them ("Demo/System 1/Floor 1/TS-101").
    QStringList devicePaths(const QString& network);
    // The first device of the network whose model code and faults satisfy the predicate.
    QString findDevice(const QString& network,
                       const std::function<bool(int modelCode, const lns::admin::DeviceFaults&)>& predicate);
    static lns::admin::DeviceRef refOf(const QString& network, const QString& path);

    // Times EndProgram ran since the world was made.
    int programEnds() const { return *m_ends; }

private:
    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<lns::admin::ObjectServerAdmin> m_admin;
    std::shared_ptr<int> m_ends = std::make_shared<int>(0);
    QString m_path;
    QString m_error;
    bool m_ok = false;
};

}  // namespace testsupport
