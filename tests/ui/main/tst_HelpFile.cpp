// Where the program finds its help file: beside itself in a build, in the data folder once installed.
#include "ui/main/modHtmlHelp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestHelpFile : public QObject {
    Q_OBJECT
private slots:
    void foundBesideOrInstalled_data();
    void foundBesideOrInstalled();
};

void TestHelpFile::foundBesideOrInstalled_data()
{
    QTest::addColumn<QStringList>("present");  // below the prefix
    QTest::addColumn<QString>("found");
    const QString installed = "share/KR5MHUConfigure/KR5M-HUConfigure.chm";
    QTest::newRow("build copy beside the program")
        << QStringList{"bin/KR5M-HUConfigure.chm"} << "bin/KR5M-HUConfigure.chm";
    QTest::newRow("installed under share") << QStringList{installed} << installed;
    QTest::newRow("both: the one beside wins")
        << QStringList{"bin/KR5M-HUConfigure.chm", installed} << "bin/KR5M-HUConfigure.chm";
    QTest::newRow("neither: the place beside is named") << QStringList() << "bin/KR5M-HUConfigure.chm";
}

void TestHelpFile::foundBesideOrInstalled()
{
    QFETCH(QStringList, present);
    QFETCH(QString, found);
    QTemporaryDir prefix;
    QVERIFY(QDir(prefix.path()).mkpath("bin"));
    for (const QString& file : present) {
        QVERIFY(QDir(prefix.path()).mkpath(QFileInfo(file).path()));
        QFile f(prefix.filePath(file));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QCOMPARE(modHtmlHelp::FindHelpFile(prefix.filePath("bin"), "KR5M-HUConfigure.chm"), prefix.filePath(found));
}

QTEST_GUILESS_MAIN(TestHelpFile)
#include "tst_HelpFile.moc"
