// Finding a model's XIF below a folder, reading its program ID, making its XFB with the converter,
// asking the user for it, and free template names.
#include "RegistrationWorld.h"
#include "registration/WalkDir.h"
#include "registration/XifImport.h"
#include "registration/fHidden.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QTemporaryDir>
#include <QTest>

using namespace regtest;
using toolkit::Answer;

using Entries = QList<QPair<QString, QByteArray>>;

namespace {

const QByteArray Header = "File: generated for the search\nCopyright (c) tests\nRun on 2024-05-06\n";
const QByteArray Body = "*\nNV 0 nciSetPts SNVT_temp_setpt 12 IN CONFIG\nOBJ 0 NodeObject \"Node Object\" 0\n";

QByteArray XifWithIdLine(const QByteArray& idLine)
{
    return Header + idLine + "\n" + Body;
}

QByteArray Pairs(const QString& programId)
{
    QStringList pairs;
    for (int i = 0; i < 16; i += 2)
        pairs << programId.mid(i, 2);
    return pairs.join(QLatin1Char(':')).toLatin1();
}

// Lays out files below root: "path" -> contents; a content beginning with "->" makes a symbolic link
// to the rest, "<dir>" a folder.
void Layout(const QString& root, const Entries& entries)
{
    for (const auto& [relative, contents] : entries) {
        const QString path = root + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (contents.startsWith("->"))
            QVERIFY(QFile::link(QString::fromUtf8(contents.mid(2)), path));
        else if (contents == "<dir>")
            QVERIFY(QDir().mkpath(path));
        else
            QVERIFY(WriteFile(path, contents));
    }
}

}  // namespace

class TestXifSearch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        framework::LoadPlugInIdentity();
        framework::LoadPlugInCommands();
    }
    void init() { ForgetProcessState(); }

    void programIdOfFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("expected");
        const QByteArray a = Pairs(ModelA);
        QTest::newRow("line 4, hexadecimal") << "a.xif" << XifWithIdLine(a) << ModelA;
        QTest::newRow("line 4 blank, line 5") << "a.xif" << (Header + "   \n" + a + "\n" + Body) << ModelA;
        QTest::newRow("lower-case hexadecimal kept as written")
            << "a.xif" << XifWithIdLine(Pairs(ModelA).toLower()) << ModelA.toLower();
        QTest::newRow("other separators") << "a.xif" << XifWithIdLine("80-00-D3-55-00-04-04-0B") << ModelA;
        QTest::newRow("CR LF line ends") << "a.xif" << QByteArray(Header + a + "\n" + Body).replace("\n", "\r\n")
                                         << ModelA;
        // A line beginning after "8" holds character codes; "00" stands for a blank.
        QTest::newRow("text form") << "a.xif" << XifWithIdLine("C4:41:42:00:43:44:45:46")
                                   << QString::fromLatin1("\xC4"
                                                          "AB CDEF        ");
        // "9" is the first character after "8".
        QTest::newRow("text form from a first 9") << "a.xif" << XifWithIdLine("90:41:42:00:43:44:45:46")
                                                  << QString::fromLatin1("\x90"
                                                                         "AB CDEF        ");
        QTest::newRow("text form, odd pairs")
            << "a.xif" << XifWithIdLine("Zz:41") << QString::fromLatin1(" A              ");
        QTest::newRow("upper-case extension") << "A.XIF" << XifWithIdLine(a) << ModelA;
        QTest::newRow("mixed-case extension") << "a.XiF" << XifWithIdLine(a) << ModelA;
        QTest::newRow("not an .xif name") << "a.txt" << XifWithIdLine(a) << QString();
        QTest::newRow("three lines") << "a.xif" << Header << QString();
        QTest::newRow("empty") << "a.xif" << QByteArray() << QString();
        QTest::newRow("short ID line") << "a.xif" << XifWithIdLine("80:00") << QStringLiteral("8000");
        // Line 4 is "\x02\x03\x04": read as hexadecimal pairs, of which only the first has characters.
        QTest::newRow("binary") << "a.xif" << QByteArray("\x00\x01\xff\xfe\n\x00\n\x80\x81\n\x02\x03\x04\n", 15)
                                << QString::fromLatin1("\x02\x03", 2);
    }
    void programIdOfFile()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QVERIFY(WriteFile(path, contents));
        QCOMPARE(WalkDir::XifProgramId(path), expected);
    }

    // A header line far beyond what is read: the ID is not there, and the file is not read whole.
    void hugeFileReadsOnlyItsBeginning()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("huge.xif"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(Header);
            const QByteArray blanks(1 << 20, ' ');
            for (int i = 0; i < 64; ++i)
                file.write(blanks);  // a 64 MB line 4
            file.write("\n" + Pairs(ModelA) + "\n");
        }
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(WalkDir::XifProgramId(path), QString());
        QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed())));
        // Below a huge line the search goes on to the next file.
        QVERIFY(WriteFile(dir.filePath(QStringLiteral("next.xif")), XifWithIdLine(Pairs(ModelA))));
        QCOMPARE(WalkDir::FindXifInFolder(dir.path(), ModelA), dir.filePath(QStringLiteral("next.xif")));
    }

    void unreadablePathsGiveNoId_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << "missing";
        QTest::newRow("a folder named .xif") << "folder";
        QTest::newRow("a dangling link") << "dangling";
        QTest::newRow("a link to itself") << "loop";
    }
    void unreadablePathsGiveNoId()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.xif"));
        if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(path));
        else if (kind == QLatin1String("dangling"))
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone.xif")), path));
        else if (kind == QLatin1String("loop"))
            QVERIFY(QFile::link(path, path));
        QCOMPARE(WalkDir::XifProgramId(path), QString());
    }

    void search_data()
    {
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QString>("expected");  // relative to the root; empty = nothing found
        const QByteArray a = XifWithIdLine(Pairs(ModelA));
        const QByteArray b = XifWithIdLine(Pairs(ModelB));
        QTest::newRow("file before subfolder") << Entries{{"a/deep.xif", a}, {"z.xif", a}} << ModelA << "z.xif";
        QTest::newRow("depth first: the whole first subfolder before the second")
            << Entries{{"a/x/deep.xif", a}, {"b/shallow.xif", a}} << ModelA << "a/x/deep.xif";
        QTest::newRow("another model's file is passed over")
            << Entries{{"1.xif", b}, {"2.xif", a}} << ModelA << "2.xif";
        QTest::newRow("the wanted ID is upper-cased first") << Entries{{"1.xif", a}} << ModelA.toLower() << "1.xif";
        QTest::newRow("lower-case hexadecimal in the file does not match")
            << Entries{{"1.xif", XifWithIdLine(Pairs(ModelA).toLower())}} << ModelA << "";
        QTest::newRow("line 5") << Entries{{"1.xif", Header + "\n" + Pairs(ModelA) + "\n" + Body}} << ModelA << "1.xif";
        QTest::newRow(".XIF and .Xif") << Entries{{"s/A.Xif", a}} << ModelA << "s/A.Xif";
        QTest::newRow("not .xif") << Entries{{"a.xif.bak", a}, {"a.xi", a}, {"axif", a}} << ModelA << "";
        QTest::newRow("hidden file and hidden folder skipped")
            << Entries{{".a.xif", a}, {".hidden/a.xif", a}, {"v/.x/a.xif", a}, {"w/b.xif", a}} << ModelA << "w/b.xif";
        QTest::newRow("symbolic link loop")
            << Entries{{"a/up", "->.."}, {"a/self", "->."}, {"b/c.xif", b}} << ModelA << "";
        QTest::newRow("loop before the match") << Entries{{"a/loop", "->../a"}, {"b/c.xif", a}} << ModelA << "b/c.xif";
        QTest::newRow("linked folder is searched")
            << Entries{{"real/c.xif", a}, {"a-link", "->real"}} << ModelA << "a-link/c.xif";
        QTest::newRow("bad files do not stop the search")
            << Entries{{"1.xif", ""},      {"2.xif", "\x01\x02"}, {"3.xif", Header}, {"4.xif", "->nowhere.xif"},
                       {"5.xif", "<dir>"}, {"6.xif", a}}
            << ModelA << "6.xif";
        QTest::newRow("a .xif folder is searched as a folder")
            << Entries{{"a.xif/in.xif", a}} << ModelA << "a.xif/in.xif";
        QTest::newRow("empty tree") << Entries{} << ModelA << "";
    }
    void search()
    {
        QFETCH(Entries, entries);
        QFETCH(QString, wanted);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        Layout(dir.path(), entries);
        const QString found = WalkDir::FindXifInFolder(dir.path() + QLatin1Char('/'), wanted);
        QCOMPARE(found, expected.isEmpty() ? QString() : dir.path() + QLatin1Char('/') + expected);
    }

    // Folders and files that cannot be read are passed over (an administrator reads them anyway).
    void unreadableEntries()
    {
        QTemporaryDir dir;
        const QByteArray a = XifWithIdLine(Pairs(ModelA));
        Layout(dir.path(), {{"a/locked/x.xif", a}, {"b/1.xif", a}, {"b/2.xif", a}, {"c/ok.xif", a}});
        QVERIFY(::chmod(QFile::encodeName(dir.filePath(QStringLiteral("a/locked"))).constData(), 0) == 0);
        QVERIFY(::chmod(QFile::encodeName(dir.filePath(QStringLiteral("b/1.xif"))).constData(), 0) == 0);
        const bool readsAnything =
            ::access(QFile::encodeName(dir.filePath(QStringLiteral("a/locked"))).constData(), R_OK) == 0;
        const QString expected =
            readsAnything ? dir.filePath(QStringLiteral("a/locked/x.xif")) : dir.filePath(QStringLiteral("b/2.xif"));
        QCOMPARE(WalkDir::FindXifInFolder(dir.path(), ModelA), expected);
        ::chmod(QFile::encodeName(dir.filePath(QStringLiteral("a/locked"))).constData(), 0700);
    }

    void isFolder_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("expected");
        QTest::newRow("folder") << "f" << true;
        QTest::newRow("file") << "f/x.xif" << false;
        QTest::newRow("link to a folder") << "l" << true;
        QTest::newRow("missing") << "none" << false;
        QTest::newRow("empty path") << "" << false;
    }
    void isFolder()
    {
        QFETCH(QString, relative);
        QFETCH(bool, expected);
        QTemporaryDir dir;
        Layout(dir.path(), {{"f/x.xif", "x"}, {"l", "->f"}});
        QCOMPARE(WalkDir::IsFolder(relative.isEmpty() ? QString() : dir.filePath(relative)), expected);
    }

    void uniqueTemplateName_data()
    {
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QString>("expected");
        QTest::newRow("free") << QStringList{} << NameA;
        QTest::newRow("base taken") << QStringList{NameA} << NameA + " (1)";
        QTest::newRow("base and (1) taken") << QStringList{NameA, NameA + " (1)"} << NameA + " (2)";
        QTest::newRow("(1) taken alone") << QStringList{NameA + " (1)"} << NameA;
    }
    void uniqueTemplateName()
    {
        QFETCH(QStringList, taken);
        QFETCH(QString, expected);
        Installation world;
        world.createNetwork(Net);
        for (const QString& name : taken)
            world.addTemplate(Net, name, ModelA);
        OpenedNetwork network(Net);
        QCOMPARE(registration::UniqueTemplateName(NameA, network.templates()), expected);
    }

    // The converter makes the XFB beside the XIF; paths with blanks and quotes stay two arguments.
    void converterMakesXfb_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "Import"
                               << "KR5M-HU.xif";
        QTest::newRow("blanks and quotes") << "my \"odd\" folder"
                                           << "a \"quoted\" name.xif";
        QTest::newRow("what a composed command line would split") << "x\" \"y"
                                                                  << "\" -o \"z.xif";
    }
    void converterMakesXfb()
    {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        Installation world;
        QVERIFY(world.installConverter());
        testsupport::ScriptedMessageBoxes boxes;
        const QString xif = world.putXif(ModelA, name, world.lonWorks + QLatin1Char('/') + folder);
        const QString xfb = lns::xif::XfbPathOf(xif);
        QVERIFY(!QFile::exists(xfb));
        QCOMPARE(registration::ConvertXifToXfb(xif), xif);
        QVERIFY(QFile::exists(xfb));
        QCOMPARE(lns::xif::ReadXfb(xfb).programId, ModelA);
        // Nothing else was written beside it.
        QCOMPARE(QDir(QFileInfo(xif).absolutePath()).entryList(QDir::Files).size(), 2);
        VERIFY_BOXES(boxes);
    }

    // With the XFB already there the converter is not needed: here there is none to start.
    void existingXfbIsUsed_data()
    {
        QTest::addColumn<QString>("xfbName");
        QTest::newRow("same spelling") << "KR5M-HU.XFB";
        QTest::newRow("lower case") << "KR5M-HU.xfb";
    }
    void existingXfbIsUsed()
    {
        QFETCH(QString, xfbName);
        Installation world;
        testsupport::ScriptedMessageBoxes boxes;
        const QString xif = world.putXif(ModelA, QStringLiteral("KR5M-HU.xif"));
        lns::xif::WriteXfb(lns::xif::ParseXif(xif), world.import + QLatin1Char('/') + xfbName);
        QCOMPARE(registration::ConvertXifToXfb(xif), xif);
        VERIFY_BOXES(boxes);
    }

    // No XFB made: the box says which file is missing and, on its second line, why.
    void converterFailures_data()
    {
        QTest::addColumn<bool>("converter");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("xfbLinksTo");  // non-empty: the XFB's place holds a link there
        QTest::addColumn<QString>("reason");
        QTest::newRow("no converter installed") << false << ReadAll(DemoXif(ModelA)) << ""
                                                << "XIF32BIN";
        QTest::newRow("converter refuses the file") << true << XifWithIdLine("80:00") << ""
                                                    << "line 4 does not hold a program ID";
        QTest::newRow("a link where the XFB belongs") << true << ReadAll(DemoXif(ModelA)) << "elsewhere/made.XFB"
                                                      << "symbolic link";
    }
    void converterFailures()
    {
        QFETCH(bool, converter);
        QFETCH(QByteArray, contents);
        QFETCH(QString, xfbLinksTo);
        QFETCH(QString, reason);
        Installation world;
        if (converter)
            QVERIFY(world.installConverter());
        const QString xif = world.import + QStringLiteral("/bad.xif");
        QVERIFY(WriteFile(xif, contents));
        const QString xfb = world.import + QStringLiteral("/bad.XFB");
        const QString target = world.lonWorks + QLatin1Char('/') + xfbLinksTo;
        if (!xfbLinksTo.isEmpty()) {
            QVERIFY(QDir().mkpath(QFileInfo(target).absolutePath()));
            QVERIFY(QFile::link(target, xfb));
        }
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect({QStringLiteral("The file ") + xfb + QStringLiteral(" could not be found.\r\n"), Answer::Ok,
                      QStringLiteral("Cannot Export Database"), toolkit::Buttons::Ok, toolkit::Icon::Critical});
        QCOMPARE(registration::ConvertXifToXfb(xif), QString());
        VERIFY_BOXES(boxes);
        const QString text = boxes.seen().value(0).text;
        QVERIFY2(text.startsWith(QStringLiteral("The file ") + xfb), qPrintable(text));
        QVERIFY2(text.section(QStringLiteral("\r\n"), 1).contains(reason), qPrintable(text));
        // Nothing was written where the link points.
        if (!xfbLinksTo.isEmpty())
            QVERIFY(!QFile::exists(target));
    }

    void missingXifIsReturnedAsItIs()
    {
        Installation world;
        testsupport::ScriptedMessageBoxes boxes;
        const QString path = world.import + QStringLiteral("/none.xif");
        QCOMPARE(registration::ConvertXifToXfb(path), path);
        VERIFY_BOXES(boxes);
    }

    // The dialog: its title, filter, first folder; another model's file is refused without a word.
    void askForXif_data()
    {
        QTest::addColumn<QString>("chosenModel");  // empty = Cancel
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("the model's XIF") << ModelA << "chosen.XIF" << true;
        QTest::newRow("lower-case name") << ModelA << "chosen.xif" << true;
        QTest::newRow("another model's XIF") << ModelB << "chosen.xif" << false;
        QTest::newRow("cancelled") << QString() << QString() << false;
    }
    void askForXif()
    {
        QFETCH(QString, chosenModel);
        QFETCH(QString, fileName);
        QFETCH(bool, accepted);
        Installation world;
        QVERIFY(world.installConverter());
        const QString chosen =
            chosenModel.isEmpty() ? QString() : world.putXif(chosenModel, fileName, world.lonWorks + "/elsewhere");
        testsupport::ScriptedMessageBoxes boxes;
        ScriptedFileDialog dialog;
        dialog.answers << (chosen.isEmpty() ? std::optional<QString>() : std::optional<QString>(chosen));
        QCOMPARE(registration::AskForXifFile(world.import, ModelA), accepted ? chosen : QString());
        QCOMPARE(dialog.requests.size(), 1);
        const toolkit::FileDialogRequest& r = dialog.requests.first();
        QCOMPARE(r.title, QStringLiteral("Locate the XIF file with Program ID ") + ModelA);
        QCOMPARE(r.filter, QStringLiteral("External Interface Files (*.XIF)|*.XIF"));
        QCOMPARE(r.filterIndex, 1);
        QCOMPARE(r.initialFolder, world.import);
        QVERIFY(r.fileMustExist);
        QVERIFY2(dialog.failures.isEmpty(), qPrintable(dialog.failures.join('\n')));
        QCOMPARE(QFile::exists(lns::xif::XfbPathOf(chosen)), accepted);
        VERIFY_BOXES(boxes);
    }

    // The import folder: read from the open system unless the registration runs remotely.
    void findXifFileUsesTheImportFolder_data()
    {
        QTest::addColumn<bool>("remote");
        QTest::addColumn<QString>("knownFolder");  // what ImportFolder held before; "" none
        QTest::addColumn<bool>("found");
        QTest::newRow("local: the system's folder") << false << "" << true;
        QTest::newRow("local: the system's folder replaces an older one") << false << "old" << true;
        QTest::newRow("remote: the folder known from before") << true << "old" << false;
        QTest::newRow("remote: no folder known, no search") << true << "" << false;
    }
    void findXifFileUsesTheImportFolder()
    {
        QFETCH(bool, remote);
        QFETCH(QString, knownFolder);
        QFETCH(bool, found);
        Installation world;
        QVERIFY(world.installConverter());
        world.createNetwork(Net);
        const QString xif = world.putXif(ModelA, QStringLiteral("sub/KR5M-HU.xif"));
        const QString old = world.lonWorks + QStringLiteral("/old");
        QDir().mkpath(old);
        OpenedNetwork network(Net);
        network.session.Link().ImportFolder = knownFolder.isEmpty() ? QString() : old;
        network.session.Link().RemoteAtRegistration = remote;
        testsupport::ScriptedMessageBoxes boxes;
        QCOMPARE(registration::FindXifFile(network.session.Link(), ModelA), found ? xif : QString());
        QCOMPARE(network.session.Link().ImportFolder,
                 remote ? (knownFolder.isEmpty() ? QString() : old) : world.import);
        QCOMPARE(QFile::exists(lns::xif::XfbPathOf(xif)), found);
        VERIFY_BOXES(boxes);
    }
};

QTEST_MAIN(TestXifSearch)
#include "tst_xifsearch.moc"
