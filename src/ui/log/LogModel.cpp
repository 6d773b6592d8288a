#include "ui/log/LogModel.h"

#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

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
    static const char* const headers[] = {"Time", "Action", "Results"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 3)
        return QString::fromLatin1(headers[section]);
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

std::optional<SaveFailure> SaveCsv(const QByteArray& bytes, const QString& path)
{
    // A chosen link is written through to the file it names, at the end of a chain of links too.
    const QFileInfo chosen(path);
    const QString target = !chosen.isSymLink() ? chosen.absoluteFilePath()
                           : chosen.exists()   ? chosen.canonicalFilePath()
                                               : chosen.symLinkTarget();
    // A temporary file of a name nobody can guess, created anew beside the target, then renamed over
    // it: the old file stays whole until the new one is complete. (Not synced to disk first: that
    // would cost more than the write itself, and a log is not the device's data.)
    QTemporaryFile file(target + QStringLiteral(".XXXXXX"));
    file.setAutoRemove(true);
    const auto failure = [&] { return SaveFailure{file.errorString(), int(file.error())}; };
    if (!file.open())
        return failure();
    if (file.write(bytes) != bytes.size() || !file.flush())
        return failure();
    // The file keeps the permissions it had; a new one gets those any new file would get.
    if (::chmod(QFile::encodeName(file.fileName()).constData(), ExistingOrNewFileMode(target)) != 0)
        return SaveFailure{QString::fromLocal8Bit(std::strerror(errno)), int(QFileDevice::PermissionsError)};
    if (std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(target).constData()) != 0)
        return SaveFailure{QString::fromLocal8Bit(std::strerror(errno)), int(QFileDevice::RenameError)};
    file.setAutoRemove(false);
    return std::nullopt;
}

}  // namespace logwindow
