#pragma once
// fLog: the activity log window "Network activity logging". One window per session, made hidden on
// first use, alive as long as the session; hiding it (Close button or title bar) keeps its rows.
//
//   fLog::Of(session).LogCommand(command, results)  a green row: Action = command, Results = results
//   fLog::Of(session).LogError(message)             a red row: the message split at CR LF, the first
//                                                   piece in Action, the second in Results, the rest
//                                                   dropped; with "Show on error" checked the window
//                                                   is shown and brought forward
//   fLog::Of(session).Clear()                       removes every row, without asking
//   fLog::Of(session).show()                        the log button's plain modeless show
//
// None of them reports a failure to its caller. The Time column is the time of day from the
// program's clock (toolkit::Now()), formatted "hh:mm:ss".
//
// The window can also be made on its own (tests do, one per test); Of(session) is the session's one.
#include "framework/ActivityLog.h"

#include <QFont>
#include <QHash>
#include <QIcon>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>

class QCheckBox;
class QFrame;
class QPushButton;
class QStatusBar;
class QTreeView;

namespace framework {
class PlugInSession;
}

namespace logwindow {
class LogModel;
}

class fLog : public QWidget, public framework::ActivityLog {
    Q_OBJECT
public:
    explicit fLog(QWidget* parent = nullptr);
    ~fLog() override;

    static fLog& Of(framework::PlugInSession& session);

    // The window the log belongs with: the log opens beside it the first time it is shown, on its
    // screen (without one, centred on the screen).
    void SetAnchorWindow(QWidget* anchor);

    void LogCommand(const QString& command, const QString& Results) override;
    void LogError(const QString& message) override;
    void Clear();

    // The time texts are written in this format.
    // The system's long time format, without a time zone: the log shows times of day only.
    static QString TimeFormat();

    QTreeView* OstLog = nullptr;
    QHash<QString, QIcon> ImageList1;  // "Green" and "Red", 16 x 16
    QFrame* frmBottom = nullptr;
    QCheckBox* cbOpenOnError = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdClear = nullptr;
    QPushButton* cmdClose = nullptr;
    QStatusBar* StatusBar1 = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void append(const QString& icon, const QString& action, const QString& results);
    void AutoSizeColumns(int row);
    void scrollToNewest();
    void Form_Resize();
    void cmdSave_Click();
    void cmdClear_Click();
    void cmdClose_Click();
    int px(int twips) const;

    logwindow::LogModel* m_model = nullptr;
    // The widest cell of each column so far: a new row can only widen a column, so fitting costs one
    // row's measuring, however long the log is.
    std::array<int, 3> m_widest{};
    // Widths already measured, by column and text (a log repeats its texts), for the font they were
    // measured in.
    std::array<QHash<QString, int>, 3> m_measured;
    QFont m_measuredFont;
    // The time column's text of the last row, and its second: rows come many to a second in an apply.
    int m_timeSecond = -1;
    QString m_timeText;
    // The columns' widths in a new window, taken again after a Clear.
    std::array<int, 3> m_initialWidths{};
    bool m_scrollPending = false;
    QPointer<QWidget> m_anchor;
    bool m_placed = false;
};
