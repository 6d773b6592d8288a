// session: one session with the plug-in over the bus, step by step.
#include "PlugInCall.h"
#include "Verbs.h"

#include "platform/base/ShownText.h"
#include "plugin/BusNames.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QEventLoop>
#include <QMap>
#include <QRegularExpression>
#include <QTextStream>
#include <QXmlStreamReader>
#include <cstdio>
#include <optional>

namespace director {
namespace {

const QString Service = QString::fromLatin1(bus::ServiceName);
const QString ObjectInterface = QString::fromLatin1(bus::ObjectInterface);
const QString FactoryInterface = QString::fromLatin1(bus::FactoryInterface);
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// The plug-in's number for a configure command whose object it did not find.

struct StepFailed {
    QString line;
    int status = 1;  // 2: the step is not understood, as a command line that is not
};

StepFailed notUnderstood(const QString& why)
{
    return StepFailed{QStringLiteral("error 0 lnsdirector: ") + why, 2};
}

// A whole number as a director writes it: decimal, or hexadecimal after 0x as dispatch ids are
// written, within 32 bits; nothing when it is neither (never 0 in its place).
std::optional<qint32> parseInt32(const QString& word)
{
    bool ok = false;
    if (word.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const quint32 bits = word.mid(2).toUInt(&ok, 16);
        return ok ? std::optional<qint32>(static_cast<qint32>(bits)) : std::nullopt;
    }
    const qint32 value = word.toInt(&ok, 10);
    return ok ? std::optional<qint32>(value) : std::nullopt;
}

std::optional<bool> parseBool(const QString& word)
{
    if (word.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || word == QLatin1String("1") ||
        word == QLatin1String("-1"))
        return true;
    if (word.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || word == QLatin1String("0"))
        return false;
    return std::nullopt;
}

qint32 numberIn(const QString& word, const QString& what)
{
    const std::optional<qint32> number = parseInt32(word);
    if (!number)
        throw notUnderstood(QStringLiteral("%1 '%2' is not a number").arg(what, shown::Shown(word)));
    return *number;
}

QString valueText(const QVariant& value)
{
    QVariant v = value;
    if (v.metaType() == QMetaType::fromType<QDBusVariant>())
        v = v.value<QDBusVariant>().variant();
    if (v.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return v.value<QDBusObjectPath>().path();
    if (v.metaType().id() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return v.toString();
}

class Session {
public:
    explicit Session(QDBusConnection bus) : m_bus(std::move(bus)) {}

    void run(const QString& step)
    {
        const QString line = step.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            return;
        const QString verb = line.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
        const QStringList words = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        const auto restAfter = [&](int n) {
            // The text after the first n words, as written.
            static const QRegularExpression word(QStringLiteral("^\\s*\\S+"));
            QString rest = line;
            for (int i = 0; i < n; ++i)
                rest.remove(word.match(rest).capturedStart(), word.match(rest).capturedLength());
            return rest.trimmed();
        };
        if (verb == QLatin1String("create")) {
            QDBusMessage call = QDBusMessage::createMethodCall(Service, QStringLiteral("/"), FactoryInterface,
                                                               QStringLiteral("CreateInstance"));
            m_path = valueText(expectReply(call, Retry::WhenTheServerLeft).arguments().value(0));
            m_types.clear();
            Out(m_path);
        } else if (verb == QLatin1String("get") && words.size() == 2) {
            QDBusMessage call = objectCall(PropertiesInterface, QStringLiteral("Get"));
            call << ObjectInterface << words[1];
            Out(valueText(expectReply(call).arguments().value(0)));
        } else if (verb == QLatin1String("set") && words.size() >= 2) {
            QDBusMessage call = objectCall(PropertiesInterface, QStringLiteral("Set"));
            call << ObjectInterface << words[1] << QVariant::fromValue(QDBusVariant(typed(words[1], restAfter(2))));
            expectReply(call);
            Out(QStringLiteral("ok"));
        } else if (verb == QLatin1String("send") && words.size() >= 3) {
            const qint32 command = numberIn(words[1], QStringLiteral("the command"));
            const qint32 objectClass = numberIn(words[2], QStringLiteral("the object class"));
            if (objectClass != qint16(objectClass))
                throw notUnderstood(QStringLiteral("the object class %1 does not fit 16 bits").arg(objectClass));
            const QString path = restAfter(3);
            QDBusMessage call = objectCall(ObjectInterface, QStringLiteral("SendCommand"));
            call << command << QVariant::fromValue<qint16>(qint16(objectClass)) << path;
            expectReply(call);
            Out(QStringLiteral("ok"));
        } else if (verb == QLatin1String("invoke") && words.size() >= 3) {
            const qint32 dispid = numberIn(words[1], QStringLiteral("the dispatch id"));
            const qint32 kind = numberIn(words[2], QStringLiteral("the kind"));
            QDBusMessage call = objectCall(ObjectInterface, QStringLiteral("Invoke"));
            QVariantList args;
            for (int i = 3; i < words.size(); ++i)
                args << QVariant::fromValue(QDBusVariant(guessed(words[i])));
            call << dispid << kind << args;
            Out(valueText(expectReply(call).arguments().value(0)));
        } else if (verb == QLatin1String("release")) {
            expectReply(objectCall(ObjectInterface, QStringLiteral("Release")));
            m_path.clear();
            Out(QStringLiteral("ok"));
        } else if (verb == QLatin1String("wait")) {
            if (!waitForEnd())
                throw StepFailed{QStringLiteral("error 0 lnsdirector: the plug-in shows no window, so 'wait' would "
                                                "never end; show it first with 'set Visible true'")};
            Out(QStringLiteral("ended"));
        } else {
            throw notUnderstood(QStringLiteral("unknown or incomplete step '%1'").arg(shown::Shown(line)));
        }
    }

private:
    QDBusMessage objectCall(const QString& iface, const QString& member)
    {
        if (m_path.isEmpty())
            throw StepFailed{QStringLiteral("error 0 lnsdirector: no plug-in object; use 'create' first")};
        return QDBusMessage::createMethodCall(Service, m_path, iface, member);
    }

    QDBusMessage expectReply(const QDBusMessage& call, Retry retry = Retry::No)
    {
        try {
            return CallPlugIn(m_bus, call, retry);
        } catch (const com::ComError& e) {
            throw StepFailed{QStringLiteral("error %1 %2: %3").arg(e.number()).arg(e.source(), e.description())};
        }
    }

    // The property's type, from the object's introspection.
    QVariant typed(const QString& property, const QString& text)
    {
        if (m_types.isEmpty()) {
            const QDBusMessage reply = expectReply(
                objectCall(QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect")));
            QXmlStreamReader xml(reply.arguments().value(0).toString());
            while (!xml.atEnd()) {
                if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("property"))
                    m_types.insert(xml.attributes().value(QLatin1String("name")).toString(),
                                   xml.attributes().value(QLatin1String("type")).toString());
            }
        }
        const QString type = m_types.value(property, QStringLiteral("s"));
        // A value that is not of the property's type is the director's to refuse: read as false or 0
        // it would be written.
        if (type == QLatin1String("b")) {
            const std::optional<bool> value = parseBool(text);
            if (!value)
                throw notUnderstood(
                    QStringLiteral("%1 takes true or false, not '%2'").arg(shown::Shown(property), shown::Shown(text)));
            return *value;
        }
        if (type == QLatin1String("i"))
            return numberIn(text, shown::Shown(property));
        return QVariant(text);
    }

    static QVariant guessed(const QString& word)
    {
        if (const std::optional<qint32> number = parseInt32(word))
            return *number;
        if (word == QLatin1String("true") || word == QLatin1String("false"))
            return word == QLatin1String("true");
        return word;
    }

    // Waits until the plug-in process ends; false, at once, when nothing would end it: our object
    // keeps it alive and it shows no window that a person could close.
    bool waitForEnd()
    {
        QDBusServiceWatcher watcher(Service, m_bus, QDBusServiceWatcher::WatchForUnregistration);
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusServiceWatcher::serviceUnregistered, &loop, &QEventLoop::quit);
        if (!m_bus.interface()->isServiceRegistered(Service))
            return true;
        if (!m_path.isEmpty()) {
            QDBusMessage visible = objectCall(PropertiesInterface, QStringLiteral("Get"));
            visible << ObjectInterface << QStringLiteral("Visible");
            // A process that has just ended must not be started again for this question.
            visible.setAutoStartService(false);
            const QDBusMessage reply = m_bus.call(visible);
            if (reply.type() == QDBusMessage::ReplyMessage && valueText(reply.arguments().value(0)) != u"true")
                return false;
        }
        loop.exec();
        return true;
    }

    QDBusConnection m_bus;
    QString m_path;
    QMap<QString, QString> m_types;
};

int runSession(const QStringList& arguments)
{
    QStringList steps;
    if (arguments.size() >= 2 && arguments[0] == QLatin1String("-c")) {
        steps = arguments[1].split(QLatin1Char(';'));
    } else if (arguments.isEmpty()) {
        QTextStream in(stdin);
        while (!in.atEnd())
            steps << in.readLine();
    } else {
        Err(QStringLiteral("usage: lnsdirector session [-c \"STEP; STEP ...\"]"));
        return 2;
    }
    return RunSessionSteps(steps);
}

int runConfigure(const QStringList& arguments)
{
    QStringList args = arguments;
    QString objectClass = QStringLiteral("7");
    const qsizetype option = args.indexOf(QStringLiteral("--class"));
    if (option >= 0) {
        if (option + 1 >= args.size()) {
            Err(QStringLiteral("lnsdirector configure: --class takes 7 or 28"));
            return 2;
        }
        objectClass = args[option + 1];
        args.remove(option, 2);
    }
    if (args.size() != 2 || (objectClass != QLatin1String("7") && objectClass != QLatin1String("28"))) {
        Err(QStringLiteral("usage: lnsdirector configure NETWORK PATH [--class 7|28]"));
        return 2;
    }
    return RunSessionSteps({QStringLiteral("create"), QStringLiteral("set networkName ") + args[0],
                            QStringLiteral("send 13 %1 %2").arg(objectClass, args[1]),
                            QStringLiteral("set Visible true"), QStringLiteral("wait")});
}

const bool configureRegistered = RegisterVerb(Verb{
    QStringLiteral("configure"),
    QStringLiteral("configure NETWORK PATH [--class 7|28]   open the plug-in's window on a device or LonMark object"),
    QStringLiteral("usage: lnsdirector configure NETWORK PATH [--class 7|28]\n"
                   "Creates a plug-in object, opens NETWORK, sends the configure command (13) for the object at\n"
                   "PATH (class 7 an application device, as 'lnsdirector list' prints it; class 28 a LonMark\n"
                   "object, PATH ending in the object's name), shows the window and waits until the plug-in ends."),
    runConfigure});

}  // namespace

int RunSessionSteps(const QStringList& steps)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        Err(QStringLiteral("lnsdirector: no session bus: %1").arg(bus.lastError().message()));
        return 1;
    }
    Session session(bus);
    for (const QString& step : steps) {
        try {
            session.run(step);
        } catch (const StepFailed& failure) {
            // Results go to standard output, failures to standard error, so that a script reading the
            // results never takes an error for one.
            Err(failure.line);
            return failure.status;
        }
    }
    return 0;
}

namespace {

const bool registered = RegisterVerb(Verb{
    QStringLiteral("session"),
    QStringLiteral("session [-c \"STEP; STEP ...\"]   one session with the plug-in over the bus"),
    QStringLiteral("usage: lnsdirector session [-c \"STEP; STEP ...\"]\n"
                   "Runs steps from -c (separated by ';') or from standard input (one a line) against the\n"
                   "plug-in KR5MHUConfigure.LNSPlugInAPI on the session bus, printing each result on a line:\n"
                   "  create                   create a plug-in object (prints its path); later steps use it\n"
                   "  get PROP                 read a property\n"
                   "  set PROP VALUE           write a property (typed from the object's introspection:\n"
                   "                           true / false / 1 / 0 / -1 for a boolean, a whole number for a number)\n"
                   "  send CMD CLASS PATH      SendCommand(CMD, CLASS, PATH); PATH is the rest of the step\n"
                   "  invoke DISPID KIND [ARG...]  Invoke by dispatch id (kind 1 method, 2 get, 4 put)\n"
                   "  release                  release the object\n"
                   "  wait                     wait until the plug-in process ends (the window is closed); an\n"
                   "                           error at once when the plug-in shows no window\n"
                   "Numbers are decimal, or hexadecimal after 0x (invoke 0x68030001 2).\n"
                   "An error prints 'error NUMBER SOURCE: DESCRIPTION' on standard error and ends the session with\n"
                   "status 1; a step that is not understood (an unknown step, a number or boolean that does not\n"
                   "read as one) ends it with status 2.\n"
                   "The session's objects live until lnsdirector ends."),
    runSession});

}  // namespace
}  // namespace director
