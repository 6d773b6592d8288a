#include "ui/main/modSnapshot.h"

#include "binding/CNvCtrlTable.h"
#include "binding/Collections.h"
#include "ui/log/LogModel.h"
#include "ui/log/fLog.h"
#include "ui/main/fMain.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTabWidget>
#include <QTreeView>

#include <cstdio>

namespace modSnapshot {
namespace {

// A tab's caption as a file name: "&Heating - Cooling" at position 0 is "1-heating-cooling".
QString TabFileName(int index, QString caption)
{
    caption.remove(QLatin1Char('&'));
    caption = caption.toLower().replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-"));
    return QStringLiteral("%1-%2.png").arg(index + 1).arg(caption.remove(QRegularExpression(QStringLiteral("^-|-$"))));
}

// The unit label in the control's row of its frame, as the window shows it.
QString UnitBeside(const QWidget* control)
{
    if (!control || !control->parentWidget())
        return QString();
    auto* grid = qobject_cast<QGridLayout*>(control->parentWidget()->layout());
    const int at = grid ? grid->indexOf(control) : -1;
    if (at < 0)
        return QString();
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(at, &row, &column, &rowSpan, &columnSpan);
    for (int c = column + columnSpan; c < grid->columnCount(); ++c) {
        QLayoutItem* item = grid->itemAtPosition(row, c);
        if (auto* label = item ? qobject_cast<QLabel*>(item->widget()) : nullptr)
            return label->text();
    }
    return QString();
}

// Tabs and line ends would break the line's columns.
QString Cell(QString text)
{
    return text.replace(QRegularExpression(QStringLiteral("[\\t\\r\\n]+")), QStringLiteral(" "));
}

bool WriteText(const QString& path, const QStringList& lines)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(lines.join(QLatin1Char('\n')).toUtf8());
    if (!lines.isEmpty())
        file.write("\n");
    return file.commit();
}

class ShowWatcher : public QObject {
public:
    ShowWatcher(QString folder, QObject* parent) : QObject(parent), m_folder(std::move(folder)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            auto* window = qobject_cast<fMain*>(watched);
            if (window && window->TheDevice) {
                const QString failure = WriteSnapshot(*window, m_folder);
                if (!failure.isEmpty())
                    std::fprintf(stderr, "KR5MHUConfigure: %s\n", qPrintable(failure));
            }
        }
        return false;
    }

private:
    QString m_folder;
};

}  // namespace

QString WriteSnapshot(fMain& window, const QString& folder)
{
    const QDir dir(folder);
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot make the folder %1").arg(folder);

    QTabWidget* tabs = window.controls().tabData;
    const int shown = tabs->currentIndex();
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        // The page just shown lays itself out on a posted request; the picture needs it done.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QString path = dir.filePath(TabFileName(i, tabs->tabText(i)));
        if (!window.grab().save(path, "PNG")) {
            tabs->setCurrentIndex(shown);
            return QStringLiteral("cannot write %1").arg(path);
        }
    }
    tabs->setCurrentIndex(shown);

    QStringList values;
    for (const auto& item : device::Tables(window.session()).DataItems) {
        if (!item->TheControl || !item->NvCpTable)
            continue;
        values << QStringList{Cell(item->Name),
                              Cell(item->NvCpTable->Name),
                              QString::number(item->ItemArrayIndex),
                              Cell(item->NvCpTable->LastReadFormat()),
                              Cell(item->ControlText()),
                              Cell(UnitBeside(item->TheControl)),
                              item->TheControl->isEnabled() ? QStringLiteral("yes") : QStringLiteral("no")}
                      .join(QLatin1Char('\t'));
    }
    if (!WriteText(dir.filePath(QStringLiteral("values.tsv")), values))
        return QStringLiteral("cannot write %1").arg(dir.filePath(QStringLiteral("values.tsv")));

    QStringList log;
    if (auto* model = qobject_cast<logwindow::LogModel*>(fLog::Of(window.session()).OstLog->model())) {
        for (const logwindow::LogRow& row : model->rows())
            log << QStringList{Cell(row.time),
                               row.icon == QLatin1String("Red") ? QStringLiteral("error") : QStringLiteral("ok"),
                               Cell(row.action), Cell(row.results)}
                       .join(QLatin1Char('\t'));
    }
    if (!WriteText(dir.filePath(QStringLiteral("log.tsv")), log))
        return QStringLiteral("cannot write %1").arg(dir.filePath(QStringLiteral("log.tsv")));
    return QString();
}

void InstallFromEnvironment()
{
    const QString folder = qEnvironmentVariable("KR5M_SNAPSHOT");
    if (folder.isEmpty() || !qApp)
        return;
    qApp->installEventFilter(new ShowWatcher(folder, qApp));
}

}  // namespace modSnapshot
