#pragma once
// A fresh installation for the registration tests: the LonWorks folder of a private world with the
// real converter in its bin folder, the thermostat's resource files below types, networks built
// through the object server's provisioning API, and the seams a test scripts (file dialog, boxes
// with an action while they are open, the progress window's texts as they are shown).
#include "framework/Connection.h"
#include "framework/Identity.h"
#include "framework/PlugInSession.h"
#include "platform/objectserver/ObjectServerAdmin.h"
#include "platform/objectserver/ObjectServerFactory.h"
#include "platform/objectserver/Xif.h"
#include "platform/registry/LonWorksInstallation.h"
#include "platform/toolkit/FileDialog.h"
#include "platform/toolkit/MessageBox.h"
#include "registration/ResourceFiles.h"
#include "registration/XifImport.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"
#include "ui/progress/fProgress.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

namespace regtest {

inline const QString ModelA = QStringLiteral("8000D3550004040B");  // non-RoHS
inline const QString ModelB = QStringLiteral("8000D3550004041B");  // RoHS
inline const QString NameA = QStringLiteral("Kestrova KR5M-HU (non-RoHS)");
inline const QString NameB = QStringLiteral("Kestrova KR5M-HU (RoHS)");
inline const QString Net = QStringLiteral("Demo");
inline const QString Floor = QStringLiteral("Floor 1");

inline QString DemoXif(const QString& programId)
{
    return testsupport::SourceDir() + (programId == ModelA ? QStringLiteral("/demo/import/KR5M-HU.xif")
                                                           : QStringLiteral("/demo/import/KR5M-HU-RoHS.xif"));
}

inline QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

inline bool CopyTree(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (!QFile::exists(target) && !QFile::copy(source, target))
            return false;
    }
    return true;
}

// The installation of the world: <XDG_DATA_HOME>/LonWorks, as the registry names it by default.
struct Installation {
    testsupport::TestEnvironment env;
    QString lonWorks = registry::LonWorksPath();
    QString import = lonWorks + QStringLiteral("/Import");
    lns::admin::ObjectServerAdmin admin{lonWorks};

    Installation()
    {
        QDir().mkpath(import);
        QDir().mkpath(lonWorks + QStringLiteral("/bin"));
        // The resource files are in place; only their catalog entry is registration's work.
        CopyTree(testsupport::SourceDir() + QStringLiteral("/demo/types"), lonWorks + QStringLiteral("/types"));
    }
    bool installConverter()
    {
        const QString target = lonWorks + QStringLiteral("/bin/XIF32BIN");
        return QFile::exists(target) || QFile::copy(testsupport::BinDir() + QStringLiteral("/XIF32BIN"), target);
    }
    // The demo XIF of a model, copied to folder (the import folder by default) under name.
    QString putXif(const QString& programId, const QString& name, const QString& folder = QString())
    {
        const QString path = (folder.isEmpty() ? import : folder) + QLatin1Char('/') + name;
        WriteFile(path, ReadAll(DemoXif(programId)));
        return path;
    }
    void createNetwork(const QString& name, bool requiresInterface = false, const QString& importFolder = QString())
    {
        lns::admin::NetworkSpec spec;
        spec.name = name;
        spec.importFolder = importFolder.isNull() ? import : importFolder;
        spec.nsdInterface = QStringLiteral("LON1");
        spec.requiresInterface = requiresInterface;
        admin.createNetwork(spec);
        admin.addSubsystem(name, Floor);
    }
    void addTemplate(const QString& network, const QString& templateName, const QString& programId)
    {
        admin.addTemplate(network, templateName, lns::xif::ParseXif(DemoXif(programId)));
    }
    // The plug-in's component applications of a network, as "owner|name|class|command|default".
    QStringList ourApps(const QString& network)
    {
        QStringList out;
        for (const lns::admin::ComponentAppInfo& app : admin.componentApps(network))
            if (app.progId == framework::PlugInProgId())
                out << QStringLiteral("%1|%2|%3|%4|%5")
                           .arg(app.owner, app.name)
                           .arg(app.objectClass)
                           .arg(app.commandId)
                           .arg(app.isDefault ? 1 : 0);
        return out;
    }
};

// The connection to one network, as the plug-in object has it when the director named the network.
struct OpenedNetwork {
    framework::PlugInSession session;

    explicit OpenedNetwork(const QString& network, const QString& interfaceName = QString())
    {
        framework::OpenNetworkByName(session.Link(), network, interfaceName);
    }
    ~OpenedNetwork() { framework::CloseConnection(session.Link()); }
    lns::Ptr<lns::DeviceTemplates> templates()
    {
        return session.Link().CurrentSystem->SystemTemplateLibrary()->TemplateLibraryDeviceTemplates();
    }
};

// Another writer on the object server's database, on a connection of its own: it holds the write lock
// from its start until it goes, so every write the plug-in tries meets a locked database.
class DatabaseWriter {
public:
    explicit DatabaseWriter(const QString& lonWorks)
        : m_connection(QStringLiteral("writer-%1").arg(reinterpret_cast<quintptr>(this)))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(lns::ObjectServerDatabasePath(lonWorks));
        locked = db.open() && QSqlQuery(db).exec(QStringLiteral("BEGIN IMMEDIATE"));
    }
    ~DatabaseWriter()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connection);
    }
    DatabaseWriter(const DatabaseWriter&) = delete;
    DatabaseWriter& operator=(const DatabaseWriter&) = delete;
    bool locked = false;

private:
    QString m_connection;
};

// What a process remembers between registrations; a test starts from none of it.
inline void ForgetProcessState()
{
    registration::ResetResourcesPresent();
    framework::SetShowProgress(false);
}

// The progress window on the screen, of whichever session shows one; none when nothing is loaded.
inline fProgress* LoadedProgress()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<fProgress*>(widget))
            return window;
    return nullptr;
}

// The open-file dialog as the user answers it: each request recorded, each answer taken from the
// queue (nothing = Cancel). An answer must be a file the dialog's filter shows in its folder.
class ScriptedFileDialog : public toolkit::FileDialogService {
public:
    ScriptedFileDialog() { toolkit::SetFileDialogService(this); }
    ~ScriptedFileDialog() override { toolkit::SetFileDialogService(nullptr); }

    std::optional<QString> openFile(const toolkit::FileDialogRequest& request) override
    {
        requests << request;
        if (answers.isEmpty()) {
            failures << QStringLiteral("unexpected dialog: ") + request.title;
            return std::nullopt;
        }
        const std::optional<QString> answer = answers.takeFirst();
        if (answer && !shownByFilter(request.filter, *answer))
            failures << QStringLiteral("the filter hides ") + *answer;
        return answer;
    }
    std::optional<QString> saveFile(const toolkit::FileDialogRequest& request) override
    {
        failures << QStringLiteral("unexpected save dialog: ") + request.title;
        return std::nullopt;
    }

    static bool shownByFilter(const QString& filter, const QString& path)
    {
        const QStringList filters = toolkit::QtNameFilters(filter);
        if (filters.isEmpty())
            return false;
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\\(([^)]*)\\)$")).match(filters.first());
        const QFileInfo info(path);
        return QDir(info.absolutePath())
            .entryList(m.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts), QDir::Files)
            .contains(info.fileName());
    }

    QList<std::optional<QString>> answers;
    QList<toolkit::FileDialogRequest> requests;
    QStringList failures;
};

// The scripted boxes, with an action run while box number n (1-based) is open.
class BoxesWithActions : public toolkit::MessageBoxService {
public:
    explicit BoxesWithActions(testsupport::ScriptedMessageBoxes& boxes) : m_boxes(boxes)
    {
        toolkit::SetMessageBoxService(this);
    }
    ~BoxesWithActions() override { toolkit::SetMessageBoxService(&m_boxes); }
    toolkit::Answer ask(const toolkit::MessageBoxRequest& request) override
    {
        ++m_count;
        if (const auto it = m_actions.find(m_count); it != m_actions.end())
            it->second(request);
        return m_boxes.ask(request);
    }
    void whileOpen(int n, std::function<void(const toolkit::MessageBoxRequest&)> action)
    {
        m_actions[n] = std::move(action);
    }

private:
    testsupport::ScriptedMessageBoxes& m_boxes;
    std::map<int, std::function<void(const toolkit::MessageBoxRequest&)>> m_actions;
    int m_count = 0;
};

// The progress window's status line as the user sees it: every text it showed while events ran.
class ProgressTexts {
public:
    ProgressTexts()
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const fProgress* window = LoadedProgress();
            if (!window || !window->isVisible())
                return;
            const QString text = window->Status->text();
            if (texts.isEmpty() || texts.last() != text)
                texts << text;
            const QString count = window->Count->isVisible() ? window->Count->text() : QString();
            if (!count.isEmpty() && (counts.isEmpty() || counts.last() != count))
                counts << count;
        });
        m_timer.start();
    }
    QStringList texts;
    QStringList counts;  // "i of n" as shown beside the animation

private:
    QTimer m_timer;
};

}  // namespace regtest
