#pragma once
// The rows of the activity log, as the list view shows them and as they are saved.
#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QString>

#include <deque>
#include <optional>
#include <vector>

namespace logwindow {

struct LogRow {
    QString time;
    QString action;
    QString results;
    QString icon;  // key in the window's image list
};

class LogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // images: the icons by key (a copy, so the rows keep them as long as the model lives).
    LogModel(QHash<QString, QIcon> images, QObject* parent);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void append(LogRow row);
    void clear();
    const std::deque<LogRow>& rows() const { return m_rows; }
    // The rows as the saved file holds them (UTF-8 CSV, see SaveCsv), kept up to date as rows come
    // so that a save writes it in one piece however long the log is.
    const QByteArray& csv() const { return m_csv; }

private:
    QHash<QString, QIcon> m_images;
    // A deque: a log of tens of thousands of rows grows without copying them all into a larger block.
    std::deque<LogRow> m_rows;
    QByteArray m_csv;
};

// Why a save failed: the path and the system's reason, and the system's error number (errno).
struct SaveFailure {
    QString description;
    int number = 0;
};

// Writes the rows to path as UTF-8 CSV: one line per row, the three texts each in double quotes with
// any double quote inside doubled (so that the file reads back), separated by commas, ended by CR LF.
// A file the user may not write (as access() judges it) is refused. The text goes to a file beside
// path first and replaces path only once it is completely written, so a failed save leaves an
// existing file as it was; a file with several hard links, of another owner, or in a folder where
// nothing new can be made is written in place instead, so that it stays the file it is.
std::optional<SaveFailure> SaveCsv(const QByteArray& bytes, const QString& path);

}  // namespace logwindow
