#include "ui/log/LogModel.h"

#include <QSaveFile>

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

std::optional<SaveFailure> SaveCsv(const QByteArray& bytes, const QString& path)
{
    // A temporary file of a name nobody can guess beside the chosen one, renamed over it at the end:
    // the old file stays whole until the new one is complete; a chosen symlink is written through to
    // its target and the file keeps its permissions.
    QSaveFile file(path);
    const auto failure = [&] { return SaveFailure{file.errorString(), int(file.error())}; };
    if (!file.open(QIODevice::WriteOnly))
        return failure();
    if (file.write(bytes) != bytes.size()) {
        const SaveFailure failed = failure();
        file.cancelWriting();
        return failed;
    }
    if (!file.commit())
        return failure();
    return std::nullopt;
}

}  // namespace logwindow
