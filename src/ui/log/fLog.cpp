#include "ui/log/fLog.h"

#include <QLocale>
#include <QRegularExpression>

#include "framework/Identity.h"
#include "framework/PlugInSession.h"
#include "platform/toolkit/Clock.h"
#include "platform/toolkit/FileDialog.h"
#include "platform/toolkit/MessageBox.h"
#include "platform/toolkit/WindowPlacement.h"
#include "ui/log/LogModel.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QtMath>
#include <algorithm>

namespace {

const char* const CanceledText = QT_TRANSLATE_NOOP("fLog", "Action canceled by user");

QIcon roundIcon(const QColor& colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour.darker(160), 1));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    return QIcon(pixmap);
}

// -1 when the file's length cannot be read (no such file), 0 when it is empty, 1 when it holds data.
int FileStatus(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return -1;
    return info.size() == 0 ? 0 : 1;
}

}  // namespace

fLog::fLog(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("fLog"));
    setWindowTitle(tr("Network activity logging"));
    // A tool window: closing it hides it and must never end the program.
    setAttribute(Qt::WA_QuitOnClose, false);

    ImageList1.insert(QStringLiteral("Green"), roundIcon(QColor(0, 176, 0)));
    ImageList1.insert(QStringLiteral("Red"), roundIcon(QColor(208, 0, 0)));

    m_model = new logwindow::LogModel(ImageList1, this);
    OstLog = new QTreeView(this);
    OstLog->setObjectName(QStringLiteral("OstLog"));
    OstLog->setModel(m_model);
    OstLog->setRootIsDecorated(false);
    OstLog->setItemsExpandable(false);
    OstLog->setUniformRowHeights(true);
    OstLog->setAllColumnsShowFocus(true);
    OstLog->setSelectionBehavior(QAbstractItemView::SelectRows);
    OstLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    OstLog->setIconSize(QSize(16, 16));
    OstLog->setTextElideMode(Qt::ElideNone);
    // The columns follow their widest cell, even when that is narrower than the header.
    OstLog->header()->setStretchLastSection(false);
    OstLog->header()->setMinimumSectionSize(1);
    OstLog->header()->setSectionResizeMode(QHeaderView::Interactive);

    frmBottom = new QFrame(this);
    frmBottom->setObjectName(QStringLiteral("frmBottom"));
    frmBottom->setFrameShape(QFrame::NoFrame);

    cbOpenOnError = new QCheckBox(tr("Show on error"), frmBottom);
    cbOpenOnError->setObjectName(QStringLiteral("cbOpenOnError"));
    cbOpenOnError->setChecked(true);
    cmdSave = new QPushButton(tr("&Save"), frmBottom);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdClear = new QPushButton(tr("Clea&r"), frmBottom);
    cmdClear->setObjectName(QStringLiteral("cmdClear"));
    cmdClose = new QPushButton(tr("&Close"), frmBottom);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);

    // Design positions inside the bottom frame; the buttons keep their top and size on resize.
    // As wide as its caption needs in any language (the design's width fits the English one).
    cbOpenOnError->setGeometry(px(240), px(240), qMax(px(1695), cbOpenOnError->sizeHint().width()),
                               qMax(px(255), cbOpenOnError->sizeHint().height()));
    cmdSave->setGeometry(px(5400), px(240), px(975), px(375));
    cmdClear->setGeometry(px(6480), px(240), px(975), px(375));
    cmdClose->setGeometry(px(7560), px(240), px(975), px(375));
    OstLog->setGeometry(px(120), 0, px(8655), px(4095));
    frmBottom->setGeometry(px(120), px(4080), px(8655), px(735));

    setTabOrder(cbOpenOnError, cmdClose);
    setTabOrder(cmdClose, cmdClear);
    setTabOrder(cmdClear, cmdSave);

    connect(cmdSave, &QPushButton::clicked, this, &fLog::cmdSave_Click);
    connect(cmdClear, &QPushButton::clicked, this, &fLog::cmdClear_Click);
    connect(cmdClose, &QPushButton::clicked, this, &fLog::cmdClose_Click);

    resize(px(8850), px(5130));
    Form_Resize();
    for (int column = 0; column < 3; ++column)
        m_initialWidths[size_t(column)] = OstLog->header()->sectionSize(column);
}

fLog::~fLog() = default;

fLog& fLog::Of(framework::PlugInSession& session)
{
    // Lives as long as the session, like the work it records.
    return session.Get<fLog>();
}

int fLog::px(int twips) const
{
    return qRound(twips / 15.0 * logicalDpiX() / 96.0);
}

void fLog::LogCommand(const QString& command, const QString& Results)
{
    append(QStringLiteral("Green"), command, Results);
}

void fLog::LogError(const QString& message)
{
    const QStringList pieces = message.split(QStringLiteral("\r\n"));
    append(QStringLiteral("Red"), pieces.value(0), pieces.value(1));
    if (cbOpenOnError->isChecked()) {
        toolkit::ShowInFront(this);
        activateWindow();
    }
}

void fLog::Clear()
{
    m_model->clear();
    m_widest.fill(0);
    // An empty list fits in any window: the columns go back to the widths a new window has.
    for (int column = 0; column < 3; ++column)
        OstLog->header()->resizeSection(column, m_initialWidths[size_t(column)]);
}

void fLog::append(const QString& icon, const QString& action, const QString& results)
{
    // A format to the second (the locale's long one has no milliseconds) gives one text a second.
    static const bool bySecond = !TimeFormat().contains(QLatin1Char('z'));
    const QTime now = toolkit::Now().time();
    if (const int second = now.msecsSinceStartOfDay() / 1000; second != m_timeSecond || !bySecond) {
        m_timeText = QLocale::system().toString(now, TimeFormat());
        m_timeSecond = second;
    }
    m_model->append(logwindow::LogRow{m_timeText, action, results, icon});
    scrollToNewest();
    AutoSizeColumns(m_model->rowCount() - 1);
}

void fLog::AutoSizeColumns(int row)
{
    // The width the view's own fit-to-contents would give, for the new row's cells only: the text with
    // its margins, and the icon for the first column.
    const QFontMetricsF metrics(OstLog->font());
    const int margin = OstLog->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, OstLog) + 1;
    const logwindow::LogRow& cells = m_model->rows()[size_t(row)];
    const QString* texts[3] = {&cells.time, &cells.action, &cells.results};
    const qreal widestCharacter = metrics.maxWidth();
    if (OstLog->font() != m_measuredFont) {
        m_measuredFont = OstLog->font();
        for (auto& measured : m_measured)
            measured.clear();
    }
    for (int column = 0; column < 3; ++column) {
        const QString& text = *texts[column];
        const int extra = 2 * margin + (column == 0 ? OstLog->iconSize().width() + 2 * margin : 0);
        // Measuring is the costly part of a row: a Latin-1 text too short to pass the widest cell
        // even in the font's widest character cannot widen the column.
        const bool latin1 = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x100; });
        const bool cannotWiden =
            latin1 && qCeil(double(text.size()) * widestCharacter) + extra <= m_widest[size_t(column)];
        int width = 0;
        if (!cannotWiden) {
            QHash<QString, int>& measured = m_measured[size_t(column)];
            auto found = measured.constFind(text);
            if (found == measured.constEnd()) {
                if (measured.size() >= 256)
                    measured.clear();
                found = measured.insert(text, qCeil(metrics.horizontalAdvance(text)));
            }
            width = *found + extra;
        }
        if (width > m_widest[size_t(column)]) {
            m_widest[size_t(column)] = width;
            OstLog->header()->resizeSection(column, width);
        } else if (OstLog->header()->sectionSize(column) != m_widest[size_t(column)]) {
            // First row after a Clear: the column takes this row's width even when narrower.
            OstLog->header()->resizeSection(column, m_widest[size_t(column)]);
        }
    }
}

void fLog::scrollToNewest()
{
    // Scrolling lays out every row, so it is done once per turn of the event loop, and only when
    // someone can see it; showEvent does it for a window shown later.
    if (!isVisible() || m_scrollPending)
        return;
    m_scrollPending = true;
    QTimer::singleShot(0, this, [this] {
        m_scrollPending = false;
        OstLog->scrollToBottom();
    });
}

void fLog::SetAnchorWindow(QWidget* anchor)
{
    m_anchor = anchor;
}

void fLog::showEvent(QShowEvent* event)
{
    // Placed once; after that it opens where the user left it.
    if (!m_placed && !event->spontaneous()) {
        m_placed = true;
        toolkit::PlaceBeside(this, m_anchor.data());
    }
    QWidget::showEvent(event);
    scrollToNewest();
}

void fLog::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void fLog::Form_Resize()
{
    // The design layout in twips, kept by margins measured from the client area's right and bottom
    // edges; nothing becomes negative however small the window gets.
    const int w = width();
    const int h = height();
    const int statusHeight = StatusBar1->sizeHint().height();
    StatusBar1->setGeometry(0, qMax(0, h - statusHeight), w, statusHeight);

    const int bottomTop = qMax(0, h - statusHeight - px(735));
    const int bottomWidth = qMax(0, w - px(120) - px(75));
    frmBottom->setGeometry(px(120), bottomTop, bottomWidth, px(735));
    OstLog->setGeometry(px(120), 0, bottomWidth, qMax(0, bottomTop - px(15)));

    const int step = px(1100);
    const int closeLeft = bottomWidth - step;
    cmdClose->move(closeLeft, cmdClose->y());
    cmdClear->move(closeLeft - step, cmdClear->y());
    cmdSave->move(closeLeft - 2 * step, cmdSave->y());
    cbOpenOnError->move(px(240), px(240));
}

void fLog::cmdSave_Click()
{
    const QString title = framework::ApplicationTitle();
    toolkit::FileDialogRequest request;
    request.title = tr("Save As...");
    request.fileName = QStringLiteral("ActivityLog");
    request.defaultExtension = QStringLiteral("*.csv");
    request.filter = tr("Comma separated values (*.csv) |*.csv | All Files (*.*) | *.*");
    const std::optional<QString> chosen = toolkit::GetSaveFileName(request);
    if (!chosen) {
        toolkit::MsgBox(tr(CanceledText), toolkit::Buttons::Ok, toolkit::Icon::Exclamation, title);
        return;
    }
    if (FileStatus(*chosen) != -1) {
        const toolkit::Answer answer = toolkit::MsgBox(tr("File already exists, override?"), toolkit::Buttons::OkCancel,
                                                       toolkit::Icon::Exclamation, title);
        if (answer != toolkit::Answer::Ok) {
            toolkit::MsgBox(tr(CanceledText), toolkit::Buttons::Ok, toolkit::Icon::Exclamation, title);
            return;
        }
    }
    if (const auto failure = logwindow::SaveCsv(m_model->csv(), *chosen))
        toolkit::MsgBox(failure->description + QLatin1Char(' ') + QString::number(failure->number),
                        toolkit::Buttons::Ok, toolkit::Icon::None, title);
}

void fLog::cmdClear_Click()
{
    const toolkit::Answer answer = toolkit::MsgBox(tr("Clear Log file ?"), toolkit::Buttons::OkCancel,
                                                   toolkit::Icon::Exclamation, framework::ApplicationTitle());
    if (answer == toolkit::Answer::Ok)
        Clear();
}

void fLog::cmdClose_Click()
{
    hide();
}

QString fLog::TimeFormat()
{
    static const QString format = [] {
        QString f = QLocale::system().timeFormat(QLocale::LongFormat);
        f.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*")));
        return f.trimmed().isEmpty() ? QStringLiteral("HH:mm:ss") : f.trimmed();
    }();
    return format;
}
