// bench_configure: N rounds, each a cold process: the plug-in activated over a private session bus,
// an object created, the network opened, a demo thermostat configured (read and shown), the window
// shown and hidden, the object released and the process ended; against a minimal Qt Widgets program
// that creates as many widgets, shows its window and exits, in alternating rounds of the same run.
//   bench_configure [ROUNDS]        prints the figures and "RESULT configure <ratio> target 1.3"
#include "ui/main/fMainLayout.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

const QString Service = QStringLiteral("KR5MHUConfigure.LNSPlugInAPI");
const QString Interface = QStringLiteral("KR5MHUConfigure._LNSPlugInAPI");

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : (v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2);
}

// Running, or ended but not yet reaped by the bus daemon that started it (a zombie).
bool processRunning(uint pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const int end = line.lastIndexOf(')');
    return end >= 0 && line.size() > end + 2 && line.at(end + 2) != 'Z';
}

bool run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir world;
    qputenv("LONWORKS_REGISTRY_DIR", (world.path() + QStringLiteral("/registry")).toUtf8());
    qputenv("XDG_DATA_HOME", (world.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (world.path() + QStringLiteral("/config")).toUtf8());
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 15;
    const QString bin = QCoreApplication::applicationDirPath();

    // As many widgets as the configuration window has.
    int widgets = 0;
    {
        QMainWindow window;
        BuildFMainLayout(&window);
        widgets = int(window.findChildren<QWidget*>().size()) + 1;
    }

    if (!run(bin + QStringLiteral("/lnsdirector"),
             {QStringLiteral("demo-setup"), world.path() + QStringLiteral("/LonWorks")}) ||
        !run(bin + QStringLiteral("/KR5MHUConfigure"), {QStringLiteral("/regserver")})) {
        std::fprintf(stderr, "bench_configure: cannot set up the demo installation\n");
        return 1;
    }

    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!daemon.waitForReadyRead(10000)) {
        std::fprintf(stderr, "bench_configure: cannot start a session bus\n");
        return 1;
    }
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("bench"));

    const auto call = [&](const QString& path, const QString& iface, const QString& member,
                          const QVariantList& args = {}) {
        QDBusMessage m = QDBusMessage::createMethodCall(Service, path, iface, member);
        m.setArguments(args);
        return bus.call(m, QDBus::Block, 120000);
    };
    const auto setProp = [&](const QString& path, const QString& name, const QVariant& value) {
        return call(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                    {Interface, name, QVariant::fromValue(QDBusVariant(value))});
    };
    const QString device = QStringLiteral("Demo/System 1/Floor 1/TS-101");

    // The plug-in's process, asked of the bus while it serves; the time of asking is not counted.
    const auto processOf = [&](double& askedMs) {
        QElapsedTimer asking;
        asking.start();
        const QDBusReply<uint> pid = bus.interface()->servicePid(Service);
        askedMs = asking.nsecsElapsed() / 1e6;
        return pid.isValid() ? pid.value() : 0u;
    };
    // A round ends when the process has left the bus and has ended, as the baseline's has: a process
    // still tearing down would otherwise run on into the next measurement.
    const auto waitForEnd = [&](uint pid) {
        bool ended = true;
        if (bus.interface()->isServiceRegistered(Service)) {
            QEventLoop loop;
            QDBusServiceWatcher watcher(Service, bus, QDBusServiceWatcher::WatchForUnregistration);
            QObject::connect(&watcher, &QDBusServiceWatcher::serviceUnregistered, &loop, &QEventLoop::quit);
            QTimer::singleShot(60000, &loop, [&] {
                ended = false;
                loop.quit();
            });
            if (bus.interface()->isServiceRegistered(Service))
                loop.exec();
        }
        QElapsedTimer waited;
        waited.start();
        while (ended && pid != 0 && processRunning(pid)) {
            if (waited.elapsed() > 60000)
                return false;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        return ended;
    };
    std::vector<double> floor;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer t;
        t.start();
        const QString path =
            call(QStringLiteral("/"), QStringLiteral("KR5MHUConfigure.ClassFactory"), QStringLiteral("CreateInstance"))
                .arguments()
                .value(0)
                .value<QDBusObjectPath>()
                .path();
        double asked = 0;
        const uint pid = processOf(asked);
        if (path.isEmpty() || pid == 0 ||
            call(path, Interface, QStringLiteral("Release")).type() != QDBusMessage::ReplyMessage || !waitForEnd(pid)) {
            std::fprintf(stderr, "bench_configure: an empty round failed\n");
            return 1;
        }
        floor.push_back(t.nsecsElapsed() / 1e6 - asked);
    }

    std::vector<double> plugin, baseline;
    std::vector<double> phases[5];
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer t;
        t.start();
        QElapsedTimer step;
        step.start();
        const auto lap = [&](int phase) {
            phases[phase].push_back(step.nsecsElapsed() / 1e6);
            step.restart();
            return true;
        };
        const QDBusMessage created =
            call(QStringLiteral("/"), QStringLiteral("KR5MHUConfigure.ClassFactory"), QStringLiteral("CreateInstance"));
        const QString path = created.arguments().value(0).value<QDBusObjectPath>().path();
        double asked = 0;
        const uint pid = path.isEmpty() ? 0 : processOf(asked);
        bool ok =
            pid != 0 && lap(0) &&
            setProp(path, QStringLiteral("networkName"), QStringLiteral("Demo")).type() == QDBusMessage::ReplyMessage &&
            lap(1) &&
            call(path, Interface, QStringLiteral("SendCommand"), {13, QVariant::fromValue<qint16>(7), device}).type() ==
                QDBusMessage::ReplyMessage &&
            lap(2) && setProp(path, QStringLiteral("Visible"), true).type() == QDBusMessage::ReplyMessage &&
            setProp(path, QStringLiteral("Visible"), false).type() == QDBusMessage::ReplyMessage && lap(3) &&
            call(path, Interface, QStringLiteral("Release")).type() == QDBusMessage::ReplyMessage;
        // The round ends when the process has left the bus.
        ok = ok && waitForEnd(pid) && lap(4);
        if (!ok) {
            std::fprintf(stderr, "bench_configure: round %d of the plug-in failed\n", round + 1);
            return 1;
        }
        phases[0].back() -= asked;
        plugin.push_back(t.nsecsElapsed() / 1e6 - asked);

        t.restart();
        if (!run(bin + QStringLiteral("/configure_baseline"), {QString::number(widgets)})) {
            std::fprintf(stderr, "bench_configure: the baseline failed\n");
            return 1;
        }
        baseline.push_back(t.nsecsElapsed() / 1e6);
    }
    daemon.terminate();
    daemon.waitForFinished(5000);

    const double p = median(plugin), b = median(baseline);
    std::printf("rounds %d, widgets %d\n", rounds, widgets);
    std::printf("plug-in: activation, open, configure (11 reads), show, hide, release, end: median %.1f ms (min %.1f, "
                "max %.1f)\n",
                p, *std::min_element(plugin.begin(), plugin.end()), *std::max_element(plugin.begin(), plugin.end()));
    std::printf("  of which: activation and the hidden window %.1f, network %.1f, configure %.1f, show and hide %.1f, "
                "release and end (the process gone) %.1f ms (medians)\n",
                median(phases[0]), median(phases[1]), median(phases[2]), median(phases[3]), median(phases[4]));
    std::printf("floor: activation, one object, release, end (no network, no window shown): median %.1f ms\n",
                median(floor));
    std::printf("baseline: minimal widgets program start, show, exit: median %.1f ms (min %.1f, max %.1f)\n", b,
                *std::min_element(baseline.begin(), baseline.end()),
                *std::max_element(baseline.begin(), baseline.end()));
    std::printf("RESULT configure %.2f target 1.3\n", b > 0 ? p / b : 0.0);
    return 0;
}
