#pragma once
// The activation file that lets the session bus start the server on demand, the counterpart of a
// local server's class registration: $XDG_DATA_HOME/dbus-1/services/<service>.service.
#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace automation {

QString ActivationFilePath(const QString& serviceName);
// Writes the file whose Exec starts executable with "-Embedding"; false, with the reason, when it
// cannot be written (among others when XDG_DATA_HOME is not UTF-8, see ActivationFolderProblem).
bool WriteActivationFile(const QString& serviceName, const QString& executable, QString* reason = nullptr);
// The same for the running program, under the name the file system has for it. The bus reads only
// UTF-8 service files and no escape there spells another byte: a program whose path is not UTF-8 is
// refused with the reason, never written under a name that starts nothing.
bool WriteActivationFileForThisProgram(const QString& serviceName, QString* reason = nullptr);
// Why the running program cannot be named in an activation file (its path is not UTF-8); empty when
// it can.
QString ThisProgramProblem();
// Why no activation file can be written or removed: XDG_DATA_HOME (or, without it, HOME) is not
// UTF-8, so that the folder the bus reads cannot be named. Empty when there is none.
QString ActivationFolderProblem();
// Removes it; true when it is gone afterwards.
bool RemoveActivationFile(const QString& serviceName, QString* reason = nullptr);

// The file's bytes as they are now, nothing when there is none: what a failed registration puts back.
std::optional<QByteArray> ReadActivationFile(const QString& serviceName);
// Puts back what ReadActivationFile gave: those bytes, or no file; true when that is what is there.
bool RestoreActivationFile(const QString& serviceName, const std::optional<QByteArray>& content);

// One registration or deregistration of a service at a time for a user: an exclusive lock on the
// file <service>.lock beside the activation file, held for as long as the object lives. The system
// lets it go when the process ends, however it ends.
class ActivationLock {
public:
    // Waits at most waitMs for the lock, calling whileWaiting (if any) between tries.
    ActivationLock(const QString& serviceName, int waitMs, const std::function<void()>& whileWaiting = {});
    ~ActivationLock();
    ActivationLock(const ActivationLock&) = delete;
    ActivationLock& operator=(const ActivationLock&) = delete;

    bool held() const { return m_fd >= 0; }
    // Why it is not held: another process held it for the whole wait, or the file cannot be opened.
    const QString& failure() const { return m_failure; }
    QString fileName() const { return m_file; }

private:
    int m_fd = -1;
    QString m_file;
    QString m_failure;
};

}  // namespace automation
