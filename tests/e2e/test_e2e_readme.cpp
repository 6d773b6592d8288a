// The README's examples as a person copies them: every shell block made of lnsdirector commands is
// run line by line, as written, on the demo installation over a real bus, and the profile it shows
// is applied as it stands. The plug-in's own standard error is kept, to see that it adds no noise.
#include "BusClient.h"
#include "platform/automation/Activation.h"
#include "support/DemoWorld.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace e2e;

class TestE2eReadme : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_world = std::make_unique<testsupport::DemoWorld>();
        QVERIFY2(m_world->ok(), qPrintable(m_world->error()));
        QVERIFY(m_folder.isValid());
        // The bus starts the plug-in through a wrapper that keeps what it writes to standard error.
        const QString world = qEnvironmentVariable("KR5M_TEST_WORLD");
        QVERIFY2(!world.isEmpty(), "started by cmake/run-on-bus.sh");
        m_pluginErrors = world + QStringLiteral("/plug-in.stderr");
        QFile wrapper(world + QStringLiteral("/plug-in"));
        QVERIFY(wrapper.open(QIODevice::WriteOnly));
        wrapper.write(QStringLiteral("#!/bin/sh\nexec '%1/KR5MHUConfigure' \"$@\" 2>>'%2'\n")
                          .arg(testsupport::BinDir(), m_pluginErrors)
                          .toUtf8());
        wrapper.close();
        QVERIFY(wrapper.setPermissions(wrapper.permissions() | QFileDevice::ExeOwner));
        QString reason;
        QVERIFY2(automation::WriteActivationFile(Service, wrapper.fileName(), &reason), qPrintable(reason));
        // Any box the examples made the plug-in show is recorded (answered with its default).
        m_record = world + QStringLiteral("/record.txt");
        QFile(world + QStringLiteral("/answers.txt")).open(QIODevice::WriteOnly);
        QVERIFY(setActivationEnvironment({{QStringLiteral("KR5M_ANSWERS"), world + QStringLiteral("/answers.txt")},
                                          {QStringLiteral("KR5M_RECORD"), m_record}}));

        // The fenced blocks, each with the language its fence names first.
        QFile readme(testsupport::SourceDir() + QStringLiteral("/README.md"));
        QVERIFY(readme.open(QIODevice::ReadOnly));
        bool inside = false;
        for (const QString& line : QString::fromUtf8(readme.readAll()).split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("```")))
                inside = !inside;
            if (line.startsWith(QLatin1String("```")) && inside)
                m_blocks.append({line.mid(3).trimmed()});
            else if (inside && !line.trimmed().isEmpty())
                m_blocks.last() << line;
        }
    }
    void cleanupTestCase() { m_world.reset(); }

    // Each line of each block of lnsdirector commands does what it says: none is a command line the
    // director does not understand (status 2), none fails as a whole (an "error" line), none names a
    // device the demo does not have. A status 1 comes with a report of what differs or failed.
    void directorBlocksRunAsWritten()
    {
        int lines = 0;
        for (const QStringList& block : std::as_const(m_blocks)) {
            const QStringList commands = block.mid(1);
            if (block.first() != QLatin1String("sh") || commands.isEmpty() ||
                !std::all_of(commands.begin(), commands.end(),
                             [](const QString& line) { return line.startsWith(QLatin1String("lnsdirector ")); }))
                continue;
            for (const QString& command : commands) {
                const auto [status, out, err] = shell(command);
                ++lines;
                const QString said = QStringLiteral("%1\n-> %2\n%3%4").arg(command).arg(status).arg(out, err);
                QVERIFY2(status == 0 || (status == 1 && !out.isEmpty()), qPrintable(said));
                QVERIFY2(!err.contains(QRegularExpression(QStringLiteral("(^|\n)(error |usage:)"))), qPrintable(said));
                QVERIFY2(!(out + err).contains(QLatin1String("Object not found")), qPrintable(said));
            }
        }
        // A README without such a block would pass unseen.
        QVERIFY2(lines >= 5, qPrintable(QString::number(lines)));
        QCOMPARE(readLines(m_record), QStringList());
    }

    // The profile the README shows is one the program takes as it stands: a dry run on the devices of
    // its model reports what would change, nothing refused.
    void profileExampleIsTakenAsWritten()
    {
        const auto example = std::find_if(m_blocks.cbegin(), m_blocks.cend(), [](const QStringList& b) {
            return b.first() == QLatin1String("json") && b.join(QLatin1Char('\n')).contains(QLatin1String("KR5M-HU"));
        });
        QVERIFY(example != m_blocks.cend());
        const QString text = example->mid(1).join(QLatin1Char('\n'));
        QFile file(m_folder.filePath(QStringLiteral("example.json")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
        file.close();
        const QString model = QRegularExpression(QStringLiteral("\"model\": (\\d+)")).match(text).captured(1);
        const auto [status, out, err] =
            shell(QStringLiteral("lnsdirector profile apply Demo example.json --model %1 --dry-run").arg(model));
        QVERIFY2(status == 0 && out.contains(QLatin1String("would-change")), qPrintable(out + err));
    }

    // The plug-in's standard error holds none of Qt's complaints about a platform without windows
    // (raise() offscreen), which would show among the results where the bus shares a terminal.
    void pluginAddsNoNoise()
    {
        QVERIFY(QFile::exists(m_pluginErrors));
        for (const QString& line : readLines(m_pluginErrors))
            QVERIFY2(!line.contains(QLatin1String("does not support")), qPrintable(line));
    }

private:
    // Runs one line as a shell runs what a person pastes, lnsdirector found on the path: its status,
    // standard output and standard error.
    std::tuple<int, QString, QString> shell(const QString& command)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"),
                   testsupport::BinDir() + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_folder.path());
        process.start(QStringLiteral("sh"), {QStringLiteral("-c"), command});
        const bool ended = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit;
        return {ended ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    std::unique_ptr<testsupport::DemoWorld> m_world;
    QTemporaryDir m_folder;
    QList<QStringList> m_blocks;  // the fence's language, then the block's lines that are not blank
    QString m_pluginErrors;
    QString m_record;
};

QTEST_GUILESS_MAIN(TestE2eReadme)
#include "test_e2e_readme.moc"
