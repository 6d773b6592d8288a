// The activity log window as its callers and its user see it: rows, the error pop-up, saving,
// clearing, closing, the column fit and the layout on resize.
// One program past 600 lines on purpose: the log window is one class, and its rows, files and layout are
// tested against the same window fixture.
#include "framework/PlugInSession.h"
#include "platform/toolkit/Clock.h"
#include "platform/toolkit/FileDialog.h"
#include "platform/toolkit/Translations.h"
#include "support/ScriptedMessageBoxes.h"
#include "ui/log/fLog.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QHeaderView>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QListView>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <memory>

using testsupport::ExpectedBox;
using testsupport::ScriptedMessageBoxes;
using toolkit::Answer;
using toolkit::Buttons;
using toolkit::Icon;

namespace {

// Answers the save dialog with a fixed choice and remembers what was asked.
class ScriptedFileDialogs : public toolkit::FileDialogService {
public:
    explicit ScriptedFileDialogs(std::optional<QString> choice) : m_choice(std::move(choice))
    {
        toolkit::SetFileDialogService(this);
    }
    ~ScriptedFileDialogs() override { toolkit::SetFileDialogService(nullptr); }

    std::optional<QString> openFile(const toolkit::FileDialogRequest& request) override
    {
        m_opens << request;
        return std::nullopt;
    }
    std::optional<QString> saveFile(const toolkit::FileDialogRequest& request) override
    {
        m_saves << request;
        return m_choice;
    }

    QList<toolkit::FileDialogRequest> m_opens;
    QList<toolkit::FileDialogRequest> m_saves;

private:
    std::optional<QString> m_choice;
};

ExpectedBox box(const QString& text, Buttons buttons, Icon icon, Answer answer = Answer::Ok)
{
    ExpectedBox b;
    b.textContains = text;
    b.exact = true;
    b.buttons = buttons;
    b.icon = icon;
    b.answer = answer;
    return b;
}

ExpectedBox canceledBox()
{
    return box(QStringLiteral("Action canceled by user"), Buttons::Ok, Icon::Exclamation);
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Reads a CSV file the way a spreadsheet does: quoted fields, "" for a quote, CR LF between lines.
QList<QStringList> parseCsv(const QByteArray& bytes)
{
    const QString text = QString::fromUtf8(bytes);
    QList<QStringList> lines;
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            fields << field;
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            fields << field;
            lines << fields;
            fields.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    return lines;
}

// What fitting a column over all its rows would give: the view's own measure.
int fitOverAllRows(const QTreeView* view, int column)
{
    return static_cast<const QAbstractItemView*>(view)->sizeHintForColumn(column);
}

QColor iconColour(const QIcon& icon)
{
    return icon.pixmap(16, 16).toImage().pixelColor(8, 8);
}

}  // namespace

class tst_fLog : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<fLog> log;
    std::unique_ptr<QTemporaryDir> folder;

    QString cell(int row, int column) const { return log->OstLog->model()->index(row, column).data().toString(); }
    QIcon rowIcon(int row) const { return log->OstLog->model()->index(row, 0).data(Qt::DecorationRole).value<QIcon>(); }
    int rows() const { return log->OstLog->model()->rowCount(); }
    int px(int twips) const { return qRound(twips / 15.0 * log->logicalDpiX() / 96.0); }
    QString path(const QString& name) const { return folder->filePath(name); }

    // Root may write any file. Run as root, a test that needs a user who may not runs its current
    // row again in a child process as nobody, and passes when that run passes; returns true then.
    bool runAgainUnprivileged()
    {
        if (::geteuid() != 0)
            return false;
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        const QString test = QString::fromLatin1(QTest::currentTestFunction()) + QLatin1Char(':') +
                             QString::fromLatin1(QTest::currentDataTag());
        child.start(QStringLiteral("setpriv"),
                    {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"),
                     QStringLiteral("--"), QCoreApplication::applicationFilePath(), test});
        const bool finished = child.waitForFinished(120000);
        const QByteArray output = child.readAll();
        [&] {
            QVERIFY2(finished, output.constData());
            QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, output.constData());
        }();
        return true;
    }

private slots:
    void init()
    {
        toolkit::SetClock([] { return QDateTime(QDate(2024, 5, 6), QTime(13, 4, 5)); });
        log = std::make_unique<fLog>();
        folder = std::make_unique<QTemporaryDir>();
        QVERIFY(folder->isValid());
    }

    void cleanup()
    {
        log.reset();
        folder.reset();
        toolkit::SetClock({});
    }

    void startsHiddenAndEmptyWithItsControls()
    {
        QVERIFY(!log->isVisible());
        QCOMPARE(log->windowTitle(), QStringLiteral("Network activity logging"));
        QCOMPARE(rows(), 0);
        for (const char* name :
             {"OstLog", "frmBottom", "cbOpenOnError", "cmdSave", "cmdClear", "cmdClose", "StatusBar1"})
            QVERIFY2(log->findChild<QWidget*>(QString::fromLatin1(name)), name);
        const QAbstractItemModel* model = log->OstLog->model();
        QCOMPARE(model->columnCount(), 3);
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Time"));
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Action"));
        QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Results"));
        QCOMPARE(log->cbOpenOnError->text(), QStringLiteral("Show on error"));
        QVERIFY(log->cbOpenOnError->isChecked());
        QCOMPARE(log->cmdSave->text(), QStringLiteral("&Save"));
        QCOMPARE(log->cmdClear->text(), QStringLiteral("Clea&r"));
        QCOMPARE(log->cmdClose->text(), QStringLiteral("&Close"));
        QCOMPARE(log->StatusBar1->currentMessage(), QString());
        QCOMPARE(log->cbOpenOnError->parentWidget(), log->frmBottom);
        QCOMPARE(log->cmdSave->parentWidget(), log->frmBottom);
        QCOMPARE(log->ImageList1.value(QStringLiteral("Green")).availableSizes().value(0), QSize(16, 16));
        QCOMPARE(log->ImageList1.value(QStringLiteral("Red")).availableSizes().value(0), QSize(16, 16));
    }

    // Under a German locale every caption is German and none is cut.
    void germanCaptionsFit()
    {
        QVERIFY(toolkit::InstallTranslations(QLocale(QStringLiteral("de_DE"))));
        const auto english = qScopeGuard([] { toolkit::InstallTranslations(QLocale::c()); });
        fLog german;
        QCOMPARE(german.cbOpenOnError->text(), QStringLiteral("Bei Fehler anzeigen"));
        QVERIFY(german.cbOpenOnError->width() >= german.cbOpenOnError->sizeHint().width());
        for (QPushButton* button : german.findChildren<QPushButton*>())
            QVERIFY2(button->fontMetrics().horizontalAdvance(QString(button->text()).remove('&')) < button->width(),
                     qPrintable(button->text()));
    }

    void tabOrderIsCheckBoxCloseClearSave()
    {
        QCOMPARE(log->cbOpenOnError->nextInFocusChain(), log->cmdClose);
        QCOMPARE(log->cmdClose->nextInFocusChain(), log->cmdClear);
        QCOMPARE(log->cmdClear->nextInFocusChain(), log->cmdSave);
    }

    void logCommandAddsAGreenRowAtTheEnd()
    {
        log->LogCommand(QStringLiteral("Reading nciSetPoints"), QStringLiteral("21.5 23.0"));
        toolkit::SetClock([] { return QDateTime(QDate(2024, 5, 6), QTime(9, 0, 7)); });
        log->LogCommand(QStringLiteral("Updating nciSetPoints"), QStringLiteral("22.0 23.0"));

        QCOMPARE(rows(), 2);
        QCOMPARE(cell(0, 0), QStringLiteral("13:04:05"));
        QCOMPARE(cell(0, 1), QStringLiteral("Reading nciSetPoints"));
        QCOMPARE(cell(0, 2), QStringLiteral("21.5 23.0"));
        QCOMPARE(cell(1, 0), QStringLiteral("09:00:07"));
        QCOMPARE(cell(1, 1), QStringLiteral("Updating nciSetPoints"));
        const QColor colour = iconColour(rowIcon(1));
        QVERIFY2(colour.green() > 128 && colour.red() < 64, qPrintable(colour.name()));
        QVERIFY(!log->isVisible());
    }

    void logErrorSplitsAtCrLf_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("results");
        QTest::newRow("no line break") << "Could not read nvoTemp"
                                       << "Could not read nvoTemp"
                                       << "";
        QTest::newRow("one CR LF") << "Reading nvoTemp\r\nDevice not responding"
                                   << "Reading nvoTemp"
                                   << "Device not responding";
        QTest::newRow("two CR LF, third piece dropped") << "Step\r\nReason\r\nMore detail"
                                                        << "Step"
                                                        << "Reason";
        QTest::newRow("a lone LF does not split") << "first\nsecond"
                                                  << "first\nsecond"
                                                  << "";
        QTest::newRow("empty second piece") << "Step\r\n"
                                            << "Step"
                                            << "";
    }

    void logErrorSplitsAtCrLf()
    {
        QFETCH(QString, message);
        QFETCH(QString, action);
        QFETCH(QString, results);
        log->cbOpenOnError->setChecked(false);
        log->LogError(message);
        QCOMPARE(rows(), 1);
        QCOMPARE(cell(0, 0), QStringLiteral("13:04:05"));
        QCOMPARE(cell(0, 1), action);
        QCOMPARE(cell(0, 2), results);
        const QColor colour = iconColour(rowIcon(0));
        QVERIFY2(colour.red() > 128 && colour.green() < 64, qPrintable(colour.name()));
    }

    void logErrorShowsTheWindowWhenAsked_data()
    {
        QTest::addColumn<bool>("showOnError");
        QTest::addColumn<bool>("closedByUserFirst");
        QTest::newRow("checked, never shown") << true << false;
        QTest::newRow("checked, closed by the user") << true << true;
        QTest::newRow("unchecked, never shown") << false << false;
        QTest::newRow("unchecked, closed by the user") << false << true;
    }

    void logErrorShowsTheWindowWhenAsked()
    {
        QFETCH(bool, showOnError);
        QFETCH(bool, closedByUserFirst);
        // Where no person sees windows (here, offscreen) there is nothing to raise, and no warning about it.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("does not support")));
        log->cbOpenOnError->setChecked(showOnError);
        if (closedByUserFirst) {
            log->show();
            QTest::mouseClick(log->cmdClose, Qt::LeftButton);
            QVERIFY(!log->isVisible());
        }
        log->LogError(QStringLiteral("Writing nciSetPoints\r\nValue refused"));
        QCOMPARE(log->isVisible(), showOnError);
        QCOMPARE(rows(), 1);
        log->LogCommand(QStringLiteral("Reading nvoTemp"), QStringLiteral("20"));
        QCOMPARE(log->isVisible(), showOnError);  // command rows never show it
    }

    void saveAsksWithTheSaveDialog()
    {
        ScriptedMessageBoxes boxes;
        ScriptedFileDialogs dialogs(path(QStringLiteral("log.csv")));
        log->cmdSave->click();
        QCOMPARE(dialogs.m_saves.size(), 1);
        const toolkit::FileDialogRequest& r = dialogs.m_saves.first();
        QCOMPARE(r.title, QStringLiteral("Save As..."));
        QCOMPARE(r.fileName, QStringLiteral("ActivityLog"));
        QCOMPARE(r.defaultExtension, QStringLiteral("*.csv"));
        QCOMPARE(r.filter, QStringLiteral("Comma separated values (*.csv) |*.csv | All Files (*.*) | *.*"));
        QVERIFY(dialogs.m_opens.isEmpty());
        VERIFY_BOXES(boxes);
    }

    void saveWritesQuotedLinesThatReadBack()
    {
        log->LogCommand(QStringLiteral("Reading nciSetPoints"), QStringLiteral("21.5,23.0"));
        log->LogCommand(QStringLiteral("Reading nciName"), QStringLiteral("say \"hello\""));
        log->cbOpenOnError->setChecked(false);
        log->LogError(QStringLiteral("Updating nciUnits"));
        log->LogCommand(QStringLiteral("Reading nciOffset"), QStringLiteral("2 ºC"));

        ScriptedMessageBoxes boxes;
        ScriptedFileDialogs dialogs(path(QStringLiteral("log.csv")));
        log->cmdSave->click();
        VERIFY_BOXES(boxes);

        const QByteArray expected = "\"13:04:05\",\"Reading nciSetPoints\",\"21.5,23.0\"\r\n"
                                    "\"13:04:05\",\"Reading nciName\",\"say \"\"hello\"\"\"\r\n"
                                    "\"13:04:05\",\"Updating nciUnits\",\"\"\r\n"
                                    "\"13:04:05\",\"Reading nciOffset\",\"2 \xC2\xBA"
                                    "C\"\r\n";
        const QByteArray written = readAll(path(QStringLiteral("log.csv")));
        QCOMPARE(written, expected);

        const QList<QStringList> back = parseCsv(written);
        QCOMPARE(back.size(), rows());
        for (int r = 0; r < rows(); ++r)
            QCOMPARE(back[r], (QStringList{cell(r, 0), cell(r, 1), cell(r, 2)}));
        QCOMPARE(QDir(folder->path()).entryList(QDir::Files), QStringList{QStringLiteral("log.csv")});
    }

    void cancellingTheDialogWritesNothing()
    {
        log->LogCommand(QStringLiteral("Reading nvoTemp"), QStringLiteral("20"));
        ScriptedMessageBoxes boxes;
        boxes.expect(canceledBox());
        ScriptedFileDialogs dialogs(std::nullopt);
        log->cmdSave->click();
        VERIFY_BOXES(boxes);
        QCOMPARE(dialogs.m_saves.size(), 1);
        QVERIFY(QDir(folder->path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void anExistingFileAsksBeforeOverwriting_data()
    {
        QTest::addColumn<QByteArray>("oldContent");
        QTest::addColumn<bool>("override");
        QTest::newRow("empty file, OK") << QByteArray() << true;
        QTest::newRow("empty file, Cancel") << QByteArray() << false;
        QTest::newRow("file with data, OK") << QByteArray("\"old\",\"row\",\"\"\r\nmore\r\n") << true;
        QTest::newRow("file with data, Cancel") << QByteArray("\"old\",\"row\",\"\"\r\nmore\r\n") << false;
    }

    void anExistingFileAsksBeforeOverwriting()
    {
        QFETCH(QByteArray, oldContent);
        QFETCH(bool, override);
        const QString file = path(QStringLiteral("existing.csv"));
        writeFile(file, oldContent);
        log->LogCommand(QStringLiteral("Reading nvoTemp"), QStringLiteral("20"));

        ScriptedMessageBoxes boxes;
        boxes.expect(box(QStringLiteral("File already exists, override?"), Buttons::OkCancel, Icon::Exclamation,
                         override ? Answer::Ok : Answer::Cancel));
        if (!override)
            boxes.expect(canceledBox());
        ScriptedFileDialogs dialogs(file);
        log->cmdSave->click();
        VERIFY_BOXES(boxes);
        QCOMPARE(readAll(file), override ? QByteArray("\"13:04:05\",\"Reading nvoTemp\",\"20\"\r\n") : oldContent);
    }

    void anEmptyLogSavesAnEmptyFile()
    {
        const QString file = path(QStringLiteral("existing.csv"));
        writeFile(file, "some earlier log\r\n");
        ScriptedMessageBoxes boxes;
        boxes.expect(box(QStringLiteral("File already exists, override?"), Buttons::OkCancel, Icon::Exclamation));
        ScriptedFileDialogs dialogs(file);
        log->cmdSave->click();
        VERIFY_BOXES(boxes);
        QVERIFY(QFileInfo::exists(file));
        QCOMPARE(QFileInfo(file).size(), 0);
    }

    void aFailedSaveKeepsTheOldFile()
    {
        // A name at the file system's length limit: nothing can be written beside it, so the save
        // fails before it could touch the file.
        const QString file = path(QString(251, QLatin1Char('a')) + QStringLiteral(".csv"));
        writeFile(file, "\"earlier\",\"log\",\"kept\"\r\n");
        log->LogCommand(QStringLiteral("Reading nvoTemp"), QStringLiteral("20"));

        ScriptedMessageBoxes boxes;
        boxes.expect(box(QStringLiteral("File already exists, override?"), Buttons::OkCancel, Icon::Exclamation));
        ExpectedBox failure;  // text checked below: the system's description, a space, a number
        failure.buttons = Buttons::Ok;
        failure.icon = Icon::None;
        boxes.expect(failure);
        ScriptedFileDialogs dialogs(file);
        log->cmdSave->click();
        VERIFY_BOXES(boxes);

        const QString text = boxes.seen().last().text;
        QVERIFY2(QRegularExpression(QStringLiteral("^\\S.* \\d+$")).match(text).hasMatch(), qPrintable(text));
        QCOMPARE(readAll(file), QByteArray("\"earlier\",\"log\",\"kept\"\r\n"));
        QCOMPARE(QDir(folder->path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
        QCOMPARE(rows(), 1);
    }

    // The file chosen keeps what it is: a link is written through to its target, and a file readable
    // by its owner only stays so.
    void saveKeepsWhatTheChosenFileIs_data()
    {
        QTest::addColumn<int>("links");
        QTest::newRow("a symbolic link") << 1;
        QTest::newRow("a link to a link") << 2;
        QTest::newRow("a private file") << 0;
    }
    void saveKeepsWhatTheChosenFileIs()
    {
        QFETCH(int, links);
        const QString target = path(QStringLiteral("target.csv"));
        writeFile(target, "old\r\n");
        QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QString chosen = target;
        for (int i = 1; i <= links; ++i) {
            const QString link = path(QStringLiteral("link%1.csv").arg(i));
            QVERIFY(QFile::link(chosen, link));
            chosen = link;
        }
        const bool link = links > 0;
        log->LogCommand(QStringLiteral("Reading nvoTemp"), QStringLiteral("20"));
        ScriptedMessageBoxes boxes;
        boxes.expect(box(QStringLiteral("File already exists, override?"), Buttons::OkCancel, Icon::Exclamation));
        ScriptedFileDialogs dialogs(chosen);
        log->cmdSave->click();
        VERIFY_BOXES(boxes);
        QVERIFY(readAll(target).contains("Reading nvoTemp"));
        QCOMPARE(QFileInfo(chosen).isSymLink(), link);
        QCOMPARE(QFile::permissions(target) & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
                 QFileDevice::Permissions());
    }

    // A file the user may not write is refused with the failure box: its path and the system's
    // reason, a blank, the system's error number. Judged as the system judges it (access()), which
    // for root allows everything: as root the rows run again as an unprivileged user.
    void aFileTheUserMayNotWriteIsRefused_data()
    {
        QTest::addColumn<bool>("throughLink");
        QTest::addColumn<bool>("folderReadOnly");
        QTest::newRow("a read-only file") << false << false;
        QTest::newRow("a read-only file in a read-only folder") << false << true;
        QTest::newRow("a link to a read-only file") << true << false;
    }
    void aFileTheUserMayNotWriteIsRefused()
    {
        if (runAgainUnprivileged())
            return;
        QFETCH(bool, throughLink);
        QFETCH(bool, folderReadOnly);
        const QString file = path(QStringLiteral("kept.csv"));
        writeFile(file, "\"earlier\",\"log\",\"kept\"\r\n");
        QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        QString chosen = file;
        if (throughLink) {
            chosen = path(QStringLiteral("link.csv"));
            QVERIFY(QFile::link(file, chosen));
        }
        if (folderReadOnly)
            QVERIFY(QFile::setPermissions(folder->path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        QVERIFY(::access(QFile::encodeName(file).constData(), W_OK) != 0);
        log->LogCommand(QStringLiteral("Reading nvoTemp"), QStringLiteral("20"));

        ScriptedMessageBoxes boxes;
        boxes.expect(box(QStringLiteral("File already exists, override?"), Buttons::OkCancel, Icon::Exclamation));
        boxes.expect(box(chosen + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(EACCES)) +
                             QStringLiteral(" ") + QString::number(EACCES),
                         Buttons::Ok, Icon::None));
        ScriptedFileDialogs dialogs(chosen);
        log->cmdSave->click();
        QVERIFY(QFile::setPermissions(folder->path(),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        VERIFY_BOXES(boxes);
        QCOMPARE(readAll(file), QByteArray("\"earlier\",\"log\",\"kept\"\r\n"));
        QCOMPARE(QFile::permissions(file) & QFileDevice::WriteOwner, QFileDevice::Permissions());
        QCOMPARE(QDir(folder->path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), throughLink ? 2 : 1);
    }

    // A file that a replacement would cut from what it is, written in place: its other hard links
    // see the new log, and a writable file in a folder where nothing new can be made is written.
    void aFileWithMoreThanItsNameIsWrittenInPlace_data()
    {
        QTest::addColumn<bool>("hardLink");
        QTest::addColumn<bool>("folderReadOnly");
        QTest::newRow("a file with a second hard link") << true << false;
        QTest::newRow("a file in a read-only folder") << false << true;
    }
    void aFileWithMoreThanItsNameIsWrittenInPlace()
    {
        QFETCH(bool, hardLink);
        QFETCH(bool, folderReadOnly);
        if (folderReadOnly && runAgainUnprivileged())
            return;
        const QString file = path(QStringLiteral("log.csv"));
        const QString other = path(QStringLiteral("other name.csv"));
        writeFile(file, "old\r\n");
        if (hardLink)
            QCOMPARE(::link(QFile::encodeName(file).constData(), QFile::encodeName(other).constData()), 0);
        struct stat before {};
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &before), 0);
        if (folderReadOnly)
            QVERIFY(QFile::setPermissions(folder->path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        log->LogCommand(QStringLiteral("Reading nvoTemp"), QStringLiteral("20"));

        ScriptedMessageBoxes boxes;
        boxes.expect(box(QStringLiteral("File already exists, override?"), Buttons::OkCancel, Icon::Exclamation));
        ScriptedFileDialogs dialogs(file);
        log->cmdSave->click();
        QVERIFY(QFile::setPermissions(folder->path(),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        VERIFY_BOXES(boxes);
        const QByteArray expected("\"13:04:05\",\"Reading nvoTemp\",\"20\"\r\n");
        QCOMPARE(readAll(file), expected);
        if (hardLink)
            QCOMPARE(readAll(other), expected);
        struct stat after {};
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_nlink, before.st_nlink);
    }

    // A new file gets the permissions any new file of the user gets.
    void aNewFileFollowsTheUmask()
    {
        const mode_t before = ::umask(027);
        const QString file = path(QStringLiteral("new.csv"));
        log->LogCommand(QStringLiteral("Reading nvoTemp"), QStringLiteral("20"));
        ScriptedMessageBoxes boxes;
        ScriptedFileDialogs dialogs(file);
        log->cmdSave->click();
        ::umask(before);
        VERIFY_BOXES(boxes);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0640);
    }

    void moreRowsThanASixteenBitCounterSave()
    {
        const int count = 40000;
        for (int i = 0; i < count; ++i)
            log->LogCommand(QStringLiteral("Reading nv%1").arg(i), QString::number(i % 97));
        ScriptedMessageBoxes boxes;
        ScriptedFileDialogs dialogs(path(QStringLiteral("big.csv")));
        log->cmdSave->click();
        VERIFY_BOXES(boxes);
        const QList<QStringList> back = parseCsv(readAll(path(QStringLiteral("big.csv"))));
        QCOMPARE(back.size(), count);
        QCOMPARE(back.last(), (QStringList{QStringLiteral("13:04:05"), QStringLiteral("Reading nv39999"),
                                           QString::number(39999 % 97)}));
    }

    void clearButtonAsksFirst_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<int>("rowsAfter");
        QTest::newRow("OK clears") << Answer::Ok << 0;
        QTest::newRow("Cancel keeps") << Answer::Cancel << 2;
    }

    void clearButtonAsksFirst()
    {
        QFETCH(Answer, answer);
        QFETCH(int, rowsAfter);
        log->LogCommand(QStringLiteral("Reading nvoTemp"), QStringLiteral("20"));
        log->LogCommand(QStringLiteral("Reading nvoHumidity"), QStringLiteral("40"));
        ScriptedMessageBoxes boxes;
        boxes.expect(box(QStringLiteral("Clear Log file ?"), Buttons::OkCancel, Icon::Exclamation, answer));
        log->cmdClear->click();
        VERIFY_BOXES(boxes);
        QCOMPARE(rows(), rowsAfter);
    }

    void clearRemovesEverythingWithoutAsking()
    {
        ScriptedMessageBoxes boxes;
        log->LogCommand(QStringLiteral("Reading nvoTemp"), QStringLiteral("20"));
        log->cbOpenOnError->setChecked(false);
        log->LogError(QStringLiteral("Reading nvoHumidity\r\nTimeout"));
        log->Clear();
        QCOMPARE(rows(), 0);
        log->LogCommand(QStringLiteral("Reading nvoTemp"), QStringLiteral("21"));
        QCOMPARE(rows(), 1);
        QCOMPARE(cell(0, 2), QStringLiteral("21"));
        VERIFY_BOXES(boxes);
    }

    void closeHidesAndKeepsTheRows()
    {
        log->LogCommand(QStringLiteral("Reading nvoTemp"), QStringLiteral("20"));
        log->show();
        QVERIFY(QTest::qWaitForWindowExposed(log.get()));
        QTest::mouseClick(log->cmdClose, Qt::LeftButton);
        QVERIFY(!log->isVisible());
        QCOMPARE(rows(), 1);
        log->show();
        QCOMPARE(cell(0, 1), QStringLiteral("Reading nvoTemp"));

        // The title bar's close hides it too.
        QVERIFY(log->close());
        QVERIFY(!log->isVisible());
        QCOMPARE(rows(), 1);
    }

    void columnsFitTheirWidestCell()
    {
        QTreeView* view = log->OstLog;
        log->LogCommand(QStringLiteral("Reading nciSetPoints with a rather long name"),
                        QStringLiteral("21.5 23.0 24.5 26.0 and some more"));
        for (int c = 0; c < 3; ++c) {
            const int fit = fitOverAllRows(view, c);
            QVERIFY2(view->columnWidth(c) >= fit && view->columnWidth(c) <= fit + 6,
                     qPrintable(QStringLiteral("column %1: %2 vs %3").arg(c).arg(view->columnWidth(c)).arg(fit)));
        }
        const int wideAction = view->columnWidth(1);
        const int wideResults = view->columnWidth(2);

        log->LogCommand(QStringLiteral("Rd"), QStringLiteral("1"));
        QCOMPARE(view->columnWidth(1), wideAction);  // a shorter row never narrows a column
        QCOMPARE(view->columnWidth(2), wideResults);

        log->Clear();
        log->LogCommand(QStringLiteral("Rd"), QStringLiteral("1"));
        QVERIFY(view->columnWidth(1) < wideAction);
        QVERIFY(view->columnWidth(2) < wideResults);
        for (int c = 0; c < 3; ++c)
            QVERIFY(view->columnWidth(c) >= fitOverAllRows(view, c));
    }

    void resizeKeepsTheButtonsRightAligned_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("design size") << QSize(590, 342);
        QTest::newRow("larger") << QSize(1200, 800);
        QTest::newRow("narrower") << QSize(420, 260);
        QTest::newRow("tiny") << QSize(30, 20);
        QTest::newRow("one pixel") << QSize(1, 1);
    }

    void resizeKeepsTheButtonsRightAligned()
    {
        QFETCH(QSize, size);
        log->show();
        QVERIFY(QTest::qWaitForWindowExposed(log.get()));
        const QSize buttonSize = log->cmdClose->size();
        const int buttonTop = log->cmdClose->y();
        log->resize(size);
        QTRY_COMPARE(log->size(), size);

        const QRect frame = log->frmBottom->geometry();
        const QRect list = log->OstLog->geometry();
        QCOMPARE(log->cmdClose->x(), frame.width() - px(1100));
        QCOMPARE(log->cmdClear->x(), log->cmdClose->x() - px(1100));
        QCOMPARE(log->cmdSave->x(), log->cmdClear->x() - px(1100));
        for (QPushButton* b : {log->cmdSave, log->cmdClear, log->cmdClose}) {
            QCOMPARE(b->size(), buttonSize);
            QCOMPARE(b->y(), buttonTop);
        }
        QCOMPARE(log->cbOpenOnError->pos(), QPoint(px(240), px(240)));
        QCOMPARE(list.topLeft(), QPoint(px(120), 0));
        QCOMPARE(list.width(), frame.width());
        QVERIFY(frame.width() >= 0 && list.height() >= 0 && frame.top() >= 0);
        if (size.height() > 200) {
            QCOMPARE(list.height(), frame.top() - px(15));
            QCOMPARE(frame.bottom() + 1, log->StatusBar1->y());  // the frame sits on the status bar
        }
        if (size.width() > 200)
            QCOMPARE(size.width() - (frame.left() + frame.width()), px(75));  // right margin kept
    }

    // An empty list has nothing to scroll to: Clear gives the columns the widths of a new window.
    void clearGivesTheColumnsTheirFirstWidths_data()
    {
        QTest::addColumn<bool>("button");
        QTest::newRow("Clear") << false;
        QTest::newRow("the Clear button") << true;
    }
    void clearGivesTheColumnsTheirFirstWidths()
    {
        QFETCH(bool, button);
        const fLog fresh;
        log->show();
        QVERIFY(QTest::qWaitForWindowExposed(log.get()));
        log->LogCommand(
            QStringLiteral("Reading nciSetPoints with a long name that is wider than the window itself"),
            QStringLiteral("21.5,23.0,24.5,26.0,27.5,29.0 and more results than the window can show at once"));
        QVERIFY(log->OstLog->columnWidth(1) > fresh.OstLog->columnWidth(1));
        ScriptedMessageBoxes boxes;
        if (button) {
            boxes.expect(box(QStringLiteral("Clear Log file ?"), Buttons::OkCancel, Icon::Exclamation));
            log->cmdClear->click();
        } else {
            log->Clear();
        }
        VERIFY_BOXES(boxes);
        QCOMPARE(rows(), 0);
        for (int c = 0; c < 3; ++c)
            QCOMPARE(log->OstLog->columnWidth(c), fresh.OstLog->columnWidth(c));
        QTRY_COMPARE(log->OstLog->horizontalScrollBar()->maximum(), 0);
    }

    // The save dialog shows the filter's own text and still takes a file whatever the case of its
    // extension.
    void theSaveDialogShowsTheFilterAsWritten()
    {
        for (const char* name : {"upper.CSV", "lower.csv", "other.txt"})
            writeFile(path(QString::fromLatin1(name)), "x");
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder->path()));
        QStringList filters;
        QStringList shown;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            QVERIFY(types);
            for (int i = 0; i < types->count(); ++i)
                filters << types->itemText(i);
            auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
            QVERIFY(list);
            // The folder is listed in the background.
            for (int wait = 0; wait < 100 && list->model()->rowCount(list->rootIndex()) < 2; ++wait)
                QTest::qWait(50);
            for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row)
                shown << list->model()->index(row, 0, list->rootIndex()).data().toString();
            dialog->reject();
        });
        ScriptedMessageBoxes boxes;
        boxes.expect(canceledBox());
        log->cmdSave->click();
        QDir::setCurrent(previous);
        VERIFY_BOXES(boxes);
        QCOMPARE(filters,
                 (QStringList{QStringLiteral("Comma separated values (*.csv)"), QStringLiteral("All Files (*.*)")}));
        shown.sort();
        QCOMPARE(shown, (QStringList{QStringLiteral("lower.csv"), QStringLiteral("upper.CSV")}));
    }

    // The log opens beside the window it belongs with, on that window's screen, or centred on it
    // when there is no room beside it.
    void opensBesideItsWindow_data()
    {
        // The window it belongs with, in the offscreen screen's 800 x 600 pixels.
        QTest::addColumn<QRect>("anchor");
        QTest::addColumn<int>("where");  // 1 to its right, -1 to its left, 0 centred on it
        QTest::newRow("room to the right") << QRect(0, 100, 160, 200) << 1;
        QTest::newRow("room to the left only") << QRect(640, 100, 160, 200) << -1;
        QTest::newRow("no room beside it") << QRect(50, 50, 700, 500) << 0;
    }
    void opensBesideItsWindow()
    {
        QFETCH(QRect, anchor);
        QFETCH(int, where);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(area.width() >= 800 && area.height() >= 600);
        QWidget owner;
        owner.setGeometry(anchor.translated(area.topLeft()));
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        log->SetAnchorWindow(&owner);
        log->show();
        QVERIFY(QTest::qWaitForWindowExposed(log.get()));
        const QRect placed = log->frameGeometry();
        const QRect beside = owner.frameGeometry();
        QVERIFY2(area.contains(placed), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                       .arg(placed.x())
                                                       .arg(placed.y())
                                                       .arg(placed.width())
                                                       .arg(placed.height())));
        if (where == 1)
            QCOMPARE(placed.left(), beside.right() + 1);
        else if (where == -1)
            QCOMPARE(placed.right() + 1, beside.left());
        else
            QVERIFY(std::abs(placed.center().x() - beside.center().x()) <= 1 &&
                    std::abs(placed.center().y() - beside.center().y()) <= 1);
        if (where != 0)
            QCOMPARE(placed.top(), beside.top());
    }

    // Each session has its one log, made hidden and empty on first use; another session's is its own.
    void aSessionHasOneLogWindow()
    {
        framework::PlugInSession session;
        fLog& first = fLog::Of(session);
        QCOMPARE(&fLog::Of(session), &first);
        QVERIFY(!first.isVisible());
        QCOMPARE(first.OstLog->model()->rowCount(), 0);
        first.LogCommand(QStringLiteral("Reading nviSpaceTemp"), QStringLiteral("21"));
        framework::PlugInSession other;
        QVERIFY(&fLog::Of(other) != &first);
        QCOMPARE(fLog::Of(other).OstLog->model()->rowCount(), 0);
        QCOMPARE(first.OstLog->model()->rowCount(), 1);
    }
};

QTEST_MAIN(tst_fLog)
#include "tst_fLog.moc"
