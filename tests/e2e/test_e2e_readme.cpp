// The README's examples as a person copies them: every shell block made of lnsdirector commands is
// run line by line, as written, on the demo installation over a real bus, and the profile it shows
// is applied as it stands. The plug-in's own standard error is kept, to see that it adds no noise.
#include "BusClient.h"
#include "platform/automation/Activation.h"
#include "support/DemoWorld.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace e2e;

namespace {

struct Block {
    QString language;
    QStringList lines;
};

// The fenced blocks of a Markdown text, with the language their fence names.
QList<Block> FencedBlocks(const QString& markdown)
{
    QList<Block> blocks;
    bool inside = false;
    for (const QString& line : markdown.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("```"))) {
            if (!inside)
                blocks.append({line.mid(3).trimmed(), {}});
            inside = !inside;
        } else if (inside) {
            blocks.last().lines << line;
        }
    }
    return blocks;
}

struct Run {
    int status = -1;
    QString out;
    QString err;
};

}  // namespace

class TestE2eReadme : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariable("KR5M_TEST_WORLD").isEmpty(), "started by cmake/run-on-bus.sh");
        m_world = std::make_unique<testsupport::DemoWorld>();
        QVERIFY2(m_world->ok(), qPrintable(m_world->error()));
        QVERIFY(m_folder.isValid());
        // The bus starts the plug-in through a wrapper that keeps what it writes to standard error.
        const QString world = qEnvironmentVariable("KR5M_TEST_WORLD");
        m_pluginErrors = world + QStringLiteral("/plug-in.stderr");
        const QString wrapper = world + QStringLiteral("/plug-in");
        QFile script(wrapper);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\nexec '%1/KR5MHUConfigure' \"$@\" 2>>'%2'\n")
                         .arg(testsupport::BinDir(), m_pluginErrors)
                         .toUtf8());
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
        QString reason;
        QVERIFY2(automation::WriteActivationFile(Service, wrapper, &reason), qPrintable(reason));
        m_answers = world + QStringLiteral("/answers.txt");
        m_record = world + QStringLiteral("/record.txt");
        QFile(m_answers).open(QIODevice::WriteOnly);
        QVERIFY(setActivationEnvironment(
            {{QStringLiteral("KR5M_ANSWERS"), m_answers}, {QStringLiteral("KR5M_RECORD"), m_record}}));

        QFile readme(testsupport::SourceDir() + QStringLiteral("/README.md"));
        QVERIFY(readme.open(QIODevice::ReadOnly));
        m_blocks = FencedBlocks(QString::fromUtf8(readme.readAll()));
    }
    void cleanupTestCase() { m_world.reset(); }

    // Each line of each block of lnsdirector commands does what it says: none is a command line the
    // director does not understand (status 2), none fails as a whole (an "error" line), none names a
    // device the demo does not have. A status 1 is a report that says what did not match or failed.
    void directorBlocksRunAsWritten()
    {
        int run = 0;
        for (const Block& block : std::as_const(m_blocks)) {
            QStringList commands;
            for (const QString& line : block.lines)
                if (!line.trimmed().isEmpty())
                    commands << line;
            const bool director = block.language == QLatin1String("sh") && !commands.isEmpty() &&
                                  std::all_of(commands.begin(), commands.end(), [](const QString& line) {
                                      return line.startsWith(QLatin1String("lnsdirector "));
                                  });
            if (!director)
                continue;
            for (const QString& command : std::as_const(commands)) {
                const Run r = shell(command);
                ++run;
                const QString said =
                    command + QStringLiteral("\n-> ") + QString::number(r.status) + QLatin1Char('\n') + r.out + r.err;
                QVERIFY2(r.status == 0 || r.status == 1, qPrintable(said));
                QVERIFY2(!r.err.contains(QRegularExpression(QStringLiteral("(^|\n)(error |usage:)"))),
                         qPrintable(said));
                QVERIFY2(!(r.out + r.err).contains(QLatin1String("Object not found")), qPrintable(said));
                QVERIFY2(r.status == 0 || !r.out.isEmpty(), qPrintable(said));
            }
        }
        // A README without such a block would pass unseen.
        QVERIFY2(run >= 5, qPrintable(QString::number(run)));
        QCOMPARE(readLines(m_record), QStringList());
    }

    // The profile the README shows is one the program takes as it stands: a dry run on a device of its
    // model reports what would change, nothing refused.
    void profileExampleIsTakenAsWritten()
    {
        const auto example = std::find_if(m_blocks.cbegin(), m_blocks.cend(), [](const Block& b) {
            return b.language == QLatin1String("json") &&
                   b.lines.join(QLatin1Char('\n')).contains(QLatin1String("\"format\": \"KR5M-HU profile\""));
        });
        QVERIFY(example != m_blocks.cend());
        QFile file(m_folder.filePath(QStringLiteral("example.json")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(example->lines.join(QLatin1Char('\n')).toUtf8());
        file.close();
        const QRegularExpressionMatch model =
            QRegularExpression(QStringLiteral("\"model\": (\\d+)")).match(example->lines.join(QLatin1Char('\n')));
        QVERIFY(model.hasMatch());
        const Run r = shell(QStringLiteral("lnsdirector profile apply Demo example.json --model %1 --dry-run --json")
                                .arg(model.captured(1)));
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
        QVERIFY2(r.out.contains(QLatin1String("\"status\": \"would-change\"")) ||
                     r.out.contains(QLatin1String("\"status\": \"unchanged\"")),
                 qPrintable(r.out));
    }

    // What the examples made the plug-in write to its standard error holds none of Qt's complaints
    // about a platform without windows (raise() offscreen), which would show among the results where
    // the bus shares a terminal with the director.
    void pluginAddsNoNoise()
    {
        QVERIFY(QFile::exists(m_pluginErrors));
        for (const QString& line : readLines(m_pluginErrors))
            QVERIFY2(!line.contains(QLatin1String("does not support")), qPrintable(line));
    }

private:
    // Runs one line as a shell runs what a person pastes, lnsdirector found on the path.
    Run shell(const QString& command)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"),
                   testsupport::BinDir() + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_folder.path());
        process.start(QStringLiteral("sh"), {QStringLiteral("-c"), command});
        Run r;
        if (!process.waitForFinished(120000))
            return r;
        r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        r.out = QString::fromUtf8(process.readAllStandardOutput());
        r.err = QString::fromUtf8(process.readAllStandardError());
        return r;
    }

    std::unique_ptr<testsupport::DemoWorld> m_world;
    QTemporaryDir m_folder;
    QList<Block> m_blocks;
    QString m_pluginErrors;
    QString m_answers;
    QString m_record;
};

QTEST_GUILESS_MAIN(TestE2eReadme)
#include "test_e2e_readme.moc"
