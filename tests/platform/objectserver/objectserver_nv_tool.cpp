// A second process on the object server's database, for the tests: reads or writes one variable of
// one device through the object server.
//   objectserver_nv_tool LONWORKS NETWORK SUBSYSTEM DEVICE NV FORMAT read
//   objectserver_nv_tool LONWORKS NETWORK SUBSYSTEM DEVICE NV FORMAT write TEXT
//   objectserver_nv_tool LONWORKS NETWORK SUBSYSTEM DEVICE NV FORMAT loop TEXT...   (until killed)
// Prints the value read, "ready" once the loop's first write is done; failures go to standard error
// as "error NUMBER DESCRIPTION" with exit status 1.
#include "platform/objectserver/ObjectServerFactory.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (args.size() < 7 || (args[6] != QLatin1String("read") && args.size() < 8)) {
        err << "usage: objectserver_nv_tool LONWORKS NETWORK SUBSYSTEM DEVICE NV FORMAT read|write TEXT|loop TEXT...\n";
        return 2;
    }
    try {
        auto server = lns::CreateObjectServer(args[0]);
        server->OpenObjectServer();
        auto network = server->Networks()->Item(args[1]);
        network->OpenNetwork();
        auto system = network->NetworkSystems()->Item(1);
        system->OpenSystem();
        auto nv = system->SystemSubsystems()
                      ->Item(args[2])
                      ->SubsystemAppDevices()
                      ->Item(args[3])
                      ->DeviceInterface()
                      ->InterfaceNetworkVariables()
                      ->NvCollectionItem(args[4]);
        nv->SetNvFormatSpec(args[5]);
        if (args[6] == QLatin1String("read")) {
            out << nv->NvFormattedValue() << '\n';
        } else if (args[6] == QLatin1String("write")) {
            nv->SetNvFormattedValue(args[7]);
        } else {
            const QStringList texts = args.mid(7);
            for (qint64 n = 0;; ++n) {
                nv->SetNvFormattedValue(texts[n % texts.size()]);
                if (n == 0) {
                    out << "ready\n";
                    out.flush();
                }
            }
        }
    } catch (const com::ComError& e) {
        err << "error " << e.number() << ' ' << e.description() << '\n';
        return 1;
    }
    return 0;
}
