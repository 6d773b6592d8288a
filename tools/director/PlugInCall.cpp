#include "PlugInCall.h"

#include "plugin/BusNames.h"

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <climits>

namespace director {

namespace {

constexpr int NoTimeout = INT_MAX;

QDBusMessage callOnce(const QDBusConnection& bus, const QDBusMessage& call)
{
    QDBusPendingCallWatcher pending(bus.asyncCall(call, NoTimeout));
    if (!pending.isFinished()) {
        QEventLoop loop;
        QObject::connect(&pending, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return pending.reply();
}

}  // namespace

QDBusMessage CallPlugIn(const QDBusConnection& bus, const QDBusMessage& call, Retry retry)
{
    QDBusMessage reply = callOnce(bus, call);
    for (int again = 0; retry == Retry::WhenTheServerLeft && again < 2 && reply.type() == QDBusMessage::ErrorMessage &&
                        reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply");
         ++again)
        reply = callOnce(bus, call);
    if (reply.type() != QDBusMessage::ErrorMessage)
        return reply;
    const QVariantList args = reply.arguments();
    if (reply.errorName().startsWith(QLatin1String(bus::ErrorPrefix)) && args.size() >= 3)
        throw com::ComError(args[2].toInt(), args[1].toString(), args[0].toString());
    // The bus has no activation file for the plug-in: what a person needs to hear is how to make one.
    if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"))
        throw com::ComError(0, QStringLiteral("lnsdirector"),
                            QStringLiteral("the plug-in %1 is not registered on this session bus; "
                                           "\"KR5MHUConfigure /regplugin\" registers it")
                                .arg(QLatin1String(bus::ServiceName)));
    throw com::ComError(0, reply.errorName(), reply.errorMessage());
}

QString CreatePlugInObject(const QDBusConnection& bus)
{
    const QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(bus::ServiceName), QStringLiteral("/"),
                                       QLatin1String(bus::FactoryInterface), QStringLiteral("CreateInstance"));
    return CallPlugIn(bus, call, Retry::WhenTheServerLeft).arguments().value(0).value<QDBusObjectPath>().path();
}

}  // namespace director
