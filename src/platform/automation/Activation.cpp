#include "platform/automation/Activation.h"

#include "platform/base/ShownText.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QThread>
#include <cerrno>
#include <cstring>

namespace automation {
namespace {

QString dataHome()
{
    const QString env = qEnvironmentVariable("XDG_DATA_HOME");
    return env.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : env;
}

// The bus splits Exec like a shell does: quote an argument that holds blanks, quotes or escapes.
QString quotedForExec(const QString& argument)
{
    static const QString special = QStringLiteral(" \t\n\"'\\$`");
    bool needs = false;
    for (QChar c : argument)
        needs = needs || special.contains(c);
    if (!needs)
        return argument;
    QString out = argument;
    out.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    out.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

// Before that it reads the line as a desktop-entry value, which has escapes of its own.
QString escapedForServiceFile(const QString& value)
{
    QString out;
    for (QChar c : value) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            out += QLatin1String("\\t");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else
            out += c;
    }
    return out;
}

}  // namespace

QString ActivationFilePath(const QString& serviceName)
{
    return dataHome() + QStringLiteral("/dbus-1/services/") + serviceName + QStringLiteral(".service");
}

QString ActivationFolderProblem()
{
    // dataHome() is made of the first one that is set.
    const char* variable = qEnvironmentVariableIsEmpty("XDG_DATA_HOME") ? "HOME" : "XDG_DATA_HOME";
    const QByteArray folder = qgetenv(variable);
    if (shown::IsUtf8(folder))
        return QString();
    return QStringLiteral("%1 (%2) is not UTF-8: the folder of the activation file cannot be named")
        .arg(QLatin1String(variable), shown::ShownBytes(folder));
}

QString ThisProgramProblem()
{
    // The file system's own spelling: Qt's text for a name that is not UTF-8 names another file.
    QByteArray program(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", program.data(), size_t(program.size()));
    program.truncate(length > 0 ? qsizetype(length) : 0);
    if (shown::IsUtf8(program))
        return QString();
    return QStringLiteral("the program's path %1 is not UTF-8, and the bus reads activation files in UTF-8 only; "
                          "move the program to a folder whose name is UTF-8")
        .arg(shown::ShownBytes(program));
}

bool WriteActivationFile(const QString& serviceName, const QString& executable, QString* reason)
{
    const auto failed = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return false;
    };
    if (const QString problem = ActivationFolderProblem(); !problem.isEmpty())
        return failed(problem);
    // "Exec= -Embedding" would start nothing.
    if (executable.isEmpty())
        return failed(QStringLiteral("the program's path is not known"));
    const QString path = ActivationFilePath(serviceName);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return failed(QStringLiteral("the folder %1 cannot be made").arg(QFileInfo(path).absolutePath()));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return failed(path + QStringLiteral(": ") + file.errorString());
    const QString text = QStringLiteral("[D-BUS Service]\nName=%1\nExec=%2 -Embedding\n")
                             .arg(serviceName, escapedForServiceFile(quotedForExec(executable)));
    file.write(text.toUtf8());
    if (!file.commit())
        return failed(path + QStringLiteral(": ") + file.errorString());
    return true;
}

bool WriteActivationFileForThisProgram(const QString& serviceName, QString* reason)
{
    if (const QString problem = ThisProgramProblem(); !problem.isEmpty()) {
        if (reason)
            *reason = problem;
        return false;
    }
    return WriteActivationFile(serviceName, QCoreApplication::applicationFilePath(), reason);
}

bool RemoveActivationFile(const QString& serviceName, QString* reason)
{
    if (const QString problem = ActivationFolderProblem(); !problem.isEmpty()) {
        if (reason)
            *reason = problem;
        return false;
    }
    const QString path = ActivationFilePath(serviceName);
    QFile file(path);
    if (!file.exists() || file.remove())
        return true;
    if (reason)
        *reason = path + QStringLiteral(": ") + file.errorString();
    return false;
}

std::optional<QByteArray> ReadActivationFile(const QString& serviceName)
{
    QFile file(ActivationFilePath(serviceName));
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

bool RestoreActivationFile(const QString& serviceName, const std::optional<QByteArray>& content)
{
    if (!content)
        return RemoveActivationFile(serviceName);
    const QString path = ActivationFilePath(serviceName);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(*content);
    return file.commit();
}

ActivationLock::ActivationLock(const QString& serviceName, int waitMs, const std::function<void()>& whileWaiting)
{
    if (const QString problem = ActivationFolderProblem(); !problem.isEmpty()) {
        m_failure = problem;
        return;
    }
    const QString services = QFileInfo(ActivationFilePath(serviceName)).absolutePath();
    m_file = services + QLatin1Char('/') + serviceName + QStringLiteral(".lock");
    if (!QDir().mkpath(services)) {
        m_failure = QStringLiteral("the folder %1 cannot be made").arg(services);
        return;
    }
    // Not inherited: the server registration that we start must not keep it after we end.
    const int fd = ::open(QFile::encodeName(m_file).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_failure = m_file + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    QElapsedTimer waited;
    waited.start();
    constexpr int PollMs = 50;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            m_failure = m_file + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
            ::close(fd);
            return;
        }
        if (waited.elapsed() >= waitMs) {
            m_failure = QStringLiteral("another registration or deregistration of it is still running (it has held "
                                       "the lock file %1 for more than %2 seconds); try again when it has ended")
                            .arg(m_file, QString::number(waitMs / 1000.0));
            ::close(fd);
            return;
        }
        if (whileWaiting)
            whileWaiting();
        QThread::msleep(PollMs);
    }
    m_fd = fd;
}

ActivationLock::~ActivationLock()
{
    // Closing the file lets the lock go.
    if (m_fd >= 0)
        ::close(m_fd);
}

}  // namespace automation
