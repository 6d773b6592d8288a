#include "ui/log/LogModel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace logwindow {

LogModel::LogModel(QHash<QString, QIcon> images, QObject* parent)
    : QAbstractTableModel(parent), m_images(std::move(images))
{
}

int LogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int LogModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant LogModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return QVariant();
    const LogRow& row = m_rows[size_t(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case 0: return row.time;
        case 1: return row.action;
        case 2: return row.results;
        default: return QVariant();
        }
    }
    if (role == Qt::DecorationRole && index.column() == 0)
        return m_images.value(row.icon);
    return QVariant();
}

QVariant LogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const headers[] = {QT_TRANSLATE_NOOP("fLog", "Time"), QT_TRANSLATE_NOOP("fLog", "Action"),
                                          QT_TRANSLATE_NOOP("fLog", "Results")};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 3)
        return QCoreApplication::translate("fLog", headers[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

namespace {

void appendQuoted(QByteArray& out, const QString& text)
{
    out += '"';
    if (text.contains(QLatin1Char('"'))) {
        QString doubled = text;
        doubled.replace(QLatin1String("\""), QLatin1String("\"\""));
        out += doubled.toUtf8();
    } else {
        out += text.toUtf8();
    }
    out += '"';
}

// One line of the file: the three texts in double quotes, a double quote inside doubled so that the
// file reads back, separated by commas, ended by CR LF.
void appendCsvLine(QByteArray& out, const LogRow& row)
{
    appendQuoted(out, row.time);
    out += ',';
    appendQuoted(out, row.action);
    out += ',';
    appendQuoted(out, row.results);
    out += "\r\n";
}

}  // namespace

void LogModel::append(LogRow row)
{
    const int at = int(m_rows.size());
    beginInsertRows(QModelIndex(), at, at);
    appendCsvLine(m_csv, row);
    m_rows.push_back(std::move(row));
    endInsertRows();
}

void LogModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_csv.clear();
    endResetModel();
}

namespace {

// The mode of the file at path, or for a new file 0666 less the process's umask (read from /proc, as
// setting it to read it would change it for every thread meanwhile).
mode_t ExistingOrNewFileMode(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        return st.st_mode & 07777;
    mode_t mask = 022;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint value = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    mask = mode_t(value);
            }
        }
    }
    return 0666 & ~mask;
}

}  // namespace

namespace {

// Writes all bytes to an open descriptor; errno tells why when it returns false.
bool WriteAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// Truncates the file and writes it through its own inode: its links, owner and permissions stay.
std::optional<int> WriteInPlace(const QByteArray& target, const QByteArray& bytes)
{
    const int fd = ::open(target.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const bool written = WriteAll(fd, bytes);
    const int error = errno;
    if (::close(fd) != 0 && written)
        return errno;
    return written ? std::nullopt : std::optional<int>(error);
}

// Writes a new file beside the target and renames it over the target: the old file stays whole
// until the new one is complete.
std::optional<int> WriteAndReplace(const QByteArray& target, const QByteArray& bytes, mode_t mode)
{
    // A name nobody can guess, created anew. (Not synced to disk first: that would cost more than
    // the write itself, and a log is not the device's data.)
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = 0;
    if (!WriteAll(fd, bytes) || ::fchmod(fd, mode) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.constData());
        return error;
    }
    return std::nullopt;
}

}  // namespace

std::optional<SaveFailure> SaveCsv(const QByteArray& bytes, const QString& path)
{
    // A chosen link is written through to the file it names, at the end of a chain of links too.
    const QFileInfo chosen(path);
    const QString target = !chosen.isSymLink() ? chosen.absoluteFilePath()
                           : chosen.exists()   ? chosen.canonicalFilePath()
                                               : chosen.symLinkTarget();
    const QByteArray native = QFile::encodeName(target);
    const auto failure = [&](int error) {
        return SaveFailure{path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error)), error};
    };

    struct stat st {};
    if (::stat(native.constData(), &st) == 0) {
        // A file the user may not write is not replaced behind its back, whatever the folder allows.
        if (::access(native.constData(), W_OK) != 0)
            return failure(errno);
        // A file with other names, another owner, or in a folder where no new file can be made is
        // written where it is: a replacement would cut its links or take it over.
        const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
        if (st.st_nlink > 1 || st.st_uid != ::geteuid() || ::access(folder.constData(), W_OK | X_OK) != 0) {
            if (const auto error = WriteInPlace(native, bytes))
                return failure(*error);
            return std::nullopt;
        }
    }
    // The file keeps the permissions it had; a new one gets those any new file would get.
    if (const auto error = WriteAndReplace(native, bytes, ExistingOrNewFileMode(target)))
        return failure(*error);
    return std::nullopt;
}

}  // namespace logwindow
