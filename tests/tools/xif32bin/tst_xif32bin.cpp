// XIF32BIN as a process: the command line the registration starts, its exit status, its messages and
// the XFB it leaves (or does not).
#include "platform/objectserver/Xif.h"
#include "support/TestEnvironment.h"

#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run Xif32Bin(const QStringList& args)
{
    QProcess process;
    process.start(testsupport::BinDir() + "/XIF32BIN", args);
    Run run;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QString Write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return dir.filePath(name);
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QByteArray GoodXif = "File: t.xif\nby hand\nRun on a Monday\n80:00:D3:55:00:04:04:0B\n"
                           "NV 0 nciSetPts SNVT_temp_setpt 12 IN CONFIG\nOBJ 1 FanCoil \"Fan Coil\" 20010\n";

}  // namespace

class TestXif32Bin : public QObject {
    Q_OBJECT
private slots:
    void converts();
    void badArguments_data();
    void badArguments();
    void malformedInput_data();
    void malformedInput();
    void unwritableOutput();
    void outputThatIsNoPlainFile_data();
    void outputThatIsNoPlainFile();
    void undecodableFileName();
    void outputIsInput();
    void demoXifs_data();
    void demoXifs();
};

void TestXif32Bin::converts()
{
    QTemporaryDir base;
    QTemporaryDir spaced(base.path() + "/with blanks XXXXXX");
    const QString xif = Write(spaced, "t.xif", GoodXif);
    const QString xfb = lns::xif::XfbPathOf(xif);
    const Run run = Xif32Bin({xif, xfb});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.err.isEmpty());
    QVERIFY(run.out.contains(xfb));
    const lns::xif::InterfaceDefinition read = lns::xif::ReadXfb(xfb);
    QCOMPARE(read.programId, QString("8000D3550004040B"));
    QCOMPARE(read.networkVariables.size(), 1);
    QCOMPARE(read.lonMarkObjects.at(0).displayName, QString("Fan Coil"));
}

void TestXif32Bin::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("none") << QStringList{};
    QTest::newRow("input only") << QStringList{"in.xif"};
    QTest::newRow("three") << QStringList{"in.xif", "out.XFB", "extra"};
    QTest::newRow("empty output") << QStringList{"in.xif", ""};
}

void TestXif32Bin::badArguments()
{
    QFETCH(QStringList, args);
    const Run run = Xif32Bin(args);
    QVERIFY(run.exitCode > 0);
    QVERIFY(run.err.contains("usage"));
}

void TestXif32Bin::malformedInput_data()
{
    QTest::addColumn<QByteArray>("content");  // empty: no input file at all
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QByteArray() << "does not exist";
    QTest::newRow("unknown line") << GoodXif + "MYSTERY\n"
                                  << "line 7";
    QTest::newRow("binary") << QByteArray("\x7f"
                                          "ELF\0\0\0\0",
                                          8)
                            << "binary";
    QTest::newRow("too short") << QByteArray("File: t.xif\n") << "short";
    // Digits of another script are no hexadecimal digits.
    QByteArray arabicDigits = GoodXif;
    arabicDigits.replace("80:00", "\xd9\xa8\xd9\xa0:00");
    QTest::newRow("program ID in other digits") << arabicDigits << "line 4";
}

void TestXif32Bin::malformedInput()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString xif = content.isEmpty() ? dir.filePath("t.xif") : Write(dir, "t.xif", content);
    const QString xfb = dir.filePath("t.XFB");
    const Run run = Xif32Bin({xif, xfb});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(reason), qPrintable(run.err));
    QVERIFY(!QFile::exists(xfb));
    // An XFB from an earlier run stays as it was.
    Write(dir, "t.XFB", "earlier");
    QCOMPARE(Xif32Bin({xif, xfb}).exitCode, 1);
    QCOMPARE(Read(xfb), QByteArray("earlier"));
}

void TestXif32Bin::unwritableOutput()
{
    QTemporaryDir dir;
    const QString xif = Write(dir, "t.xif", GoodXif);
    const QString xfb = dir.filePath("no such folder/t.XFB");
    const Run run = Xif32Bin({xif, xfb});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(xfb), qPrintable(run.err));
    QVERIFY(!QFile::exists(xfb));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"t.xif"});
}

void TestXif32Bin::outputThatIsNoPlainFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("pipe") << "pipe"
                          << "not a plain file";
    QTest::newRow("dangling symbolic link") << "dangling link"
                                            << "symbolic link";
    QTest::newRow("symbolic link to a file") << "link to a file"
                                             << "symbolic link";
}

// A pipe (or a device) named as the output is not replaced by a plain file; a link is not written
// through, so its target is neither created nor changed.
void TestXif32Bin::outputThatIsNoPlainFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    const QString xif = Write(dir, "t.xif", GoodXif);
    const QString output = dir.filePath("out.XFB");
    const QString target = elsewhere.filePath("target");
    if (kind == "pipe") {
        QVERIFY(::mkfifo(QFile::encodeName(output).constData(), 0600) == 0);
    } else {
        if (kind == "link to a file")
            Write(elsewhere, "target", "someone's file");
        QVERIFY(QFile::link(target, output));
    }
    const Run run = Xif32Bin({xif, output});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(reason), qPrintable(run.err));
    QVERIFY2(run.err.contains(output), qPrintable(run.err));
    struct stat st {};
    QCOMPARE(::lstat(QFile::encodeName(output).constData(), &st), 0);
    QVERIFY(kind == "pipe" ? S_ISFIFO(st.st_mode) : S_ISLNK(st.st_mode));
    QCOMPARE(QFile::exists(target), kind == "link to a file");
    if (kind == "link to a file")
        QCOMPARE(Read(target), QByteArray("someone's file"));
}

// A name whose bytes are not valid in the system's encoding is refused rather than written under a
// name it decodes to.
void TestXif32Bin::undecodableFileName()
{
    QTemporaryDir dir;
    Write(dir, "t.xif", GoodXif);
    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    shell.start("/bin/sh", {"-c", "\"$0\" t.xif \"$(printf '\\351.XFB')\"", testsupport::BinDir() + "/XIF32BIN"});
    QVERIFY(shell.waitForFinished(30000));
    QCOMPARE(shell.exitCode(), 2);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"t.xif"});
}

void TestXif32Bin::outputIsInput()
{
    QTemporaryDir dir;
    const QString xif = Write(dir, "t.xif", GoodXif);
    const Run run = Xif32Bin({xif, xif});
    QVERIFY(run.exitCode != 0);
    QVERIFY(!run.err.isEmpty());
    QCOMPARE(Read(xif), GoodXif);
}

void TestXif32Bin::demoXifs_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("programId");
    QTest::newRow("non-RoHS") << "KR5M-HU.xif"
                              << "8000D3550004040B";
    QTest::newRow("RoHS") << "KR5M-HU-RoHS.xif"
                          << "8000D3550004041B";
}

void TestXif32Bin::demoXifs()
{
    QFETCH(QString, file);
    QFETCH(QString, programId);
    QTemporaryDir dir;
    const QString xfb = dir.filePath(QString(file).replace(".xif", ".XFB"));
    const Run run = Xif32Bin({testsupport::SourceDir() + "/demo/import/" + file, xfb});
    QCOMPARE(run.exitCode, 0);
    const lns::xif::InterfaceDefinition read = lns::xif::ReadXfb(xfb);
    QCOMPARE(read.programId, programId);
    QCOMPARE(read.networkVariables.size(), 10);
}

QTEST_GUILESS_MAIN(TestXif32Bin)
#include "tst_xif32bin.moc"
