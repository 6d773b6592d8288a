// The plug-in's resource-file set in the installation's catalog: its table, adding its folder,
// checking for it once per process, and what the user sees when it goes wrong or runs remotely.
#include "RegistrationWorld.h"
#include "platform/catalog/ResourceCatalog.h"
#include "registration/ResourceFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace regtest;
using toolkit::Answer;

namespace {

QString IndexPath(const Installation& world)
{
    return world.lonWorks + QStringLiteral("/types/catalog-index.json");
}

QJsonObject Index(const Installation& world)
{
    return QJsonDocument::fromJson(ReadAll(IndexPath(world))).object();
}

}  // namespace

class TestResourceFiles : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { framework::LoadPlugInIdentity(); }
    void init() { ForgetProcessState(); }
    void cleanup() { ForgetProcessState(); }

    void table()
    {
        Installation world;
        registration::LoadResourceTable();
        const registration::ResourceTableEntry& entry = registration::ResourceTable(0);
        QCOMPARE(entry.ResourceFolder, world.lonWorks + QStringLiteral("\\types\\User\\Kestrova"));
        QCOMPARE(entry.ProgramIdTemplate, QStringLiteral("8000D35500000000"));
        QCOMPARE(int(entry.ResourceScope), 4);
    }

    // Adding records "<LonWorks Path>\types\User" and rebuilds; a second time finds the set and
    // leaves the index as it is.
    void addOnceThenFound()
    {
        Installation world;
        testsupport::ScriptedMessageBoxes boxes;
        QVERIFY(!registration::ResourceFilesPresent());
        QVERIFY(!registration::ResourcesPresent());
        QVERIFY(registration::AddResourceFiles(false));
        QCOMPARE(Index(world).value(QStringLiteral("folders")).toArray(), QJsonArray{QStringLiteral("User")});
        const QByteArray indexAfterFirst = ReadAll(IndexPath(world));
        const QDateTime written = QFileInfo(IndexPath(world)).lastModified();
        QTest::qWait(20);
        QVERIFY(registration::AddResourceFiles(false));
        QCOMPARE(ReadAll(IndexPath(world)), indexAfterFirst);
        QCOMPARE(QFileInfo(IndexPath(world)).lastModified(), written);
        QVERIFY(registration::ResourceFilesPresent());
        VERIFY_BOXES(boxes);
    }

    // Once found, the catalog is not asked again in this process.
    void presentIsRemembered()
    {
        Installation world;
        testsupport::ScriptedMessageBoxes boxes;
        QVERIFY(registration::AddResourceFiles(false));
        QVERIFY(registration::ResourceFilesPresent());
        QVERIFY(QFile::remove(IndexPath(world)));
        QVERIFY(registration::ResourceFilesPresent());
        registration::ResetResourcesPresent();
        QVERIFY(!registration::ResourceFilesPresent());
        QVERIFY(!registration::ResourcesPresent());
        VERIFY_BOXES(boxes);
    }

    // A catalog that answers with a failure gives false without a box, for adding and checking alike.
    void catalogFailure_data()
    {
        QTest::addColumn<QByteArray>("index");  // "<dir>" for a folder in the index's place
        QTest::newRow("index not JSON") << QByteArray("{ not json");
        QTest::newRow("index of another format") << QByteArray("{\"format\": \"other\", \"version\": 1}");
        QTest::newRow("folder in the index's place") << QByteArray("<dir>");
    }
    void catalogFailure()
    {
        QFETCH(QByteArray, index);
        Installation world;
        if (index == "<dir>")
            QVERIFY(QDir().mkpath(IndexPath(world)));
        else
            QVERIFY(WriteFile(IndexPath(world), index));
        testsupport::ScriptedMessageBoxes boxes;
        QVERIFY(!registration::AddResourceFiles(false));
        QVERIFY(!registration::ResourceFilesPresent());
        VERIFY_BOXES(boxes);
    }

    // The set missing from its folder: the check says no; adding records the folder but finds nothing.
    void setMissing()
    {
        Installation world;
        QVERIFY(QDir(world.lonWorks + QStringLiteral("/types/User/Kestrova")).removeRecursively());
        testsupport::ScriptedMessageBoxes boxes;
        QVERIFY(registration::AddResourceFiles(false));
        QVERIFY(!registration::ResourceFilesPresent());
        VERIFY_BOXES(boxes);
    }

    // A remote registration reminds the user to register on the server's computer as well.
    void remoteWarning_data()
    {
        QTest::addColumn<bool>("remote");
        QTest::newRow("local") << false;
        QTest::newRow("remote") << true;
    }
    void remoteWarning()
    {
        QFETCH(bool, remote);
        Installation world;
        testsupport::ScriptedMessageBoxes boxes;
        if (remote)
            boxes.expect(
                {QStringLiteral("Register this Plug-In on the LNS Server computer to ensure all resource files "
                                "required by this Plug-In are available to the server. Failure to do so may cause "
                                "unexpected errors."),
                 Answer::Ok, framework::ApplicationTitle(), toolkit::Buttons::Ok, toolkit::Icon::Exclamation, true});
        QVERIFY(registration::AddResourceFiles(remote));
        VERIFY_BOXES(boxes);
    }
};

QTEST_MAIN(TestResourceFiles)
#include "tst_resourcefiles.moc"
