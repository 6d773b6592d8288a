// The animation control as the progress window and other callers use it: clip sources, owners,
// playing, sizes and the failures with their numbers; and the clip reader on the program's own clip.
#include "platform/base/ComError.h"
#include "ui/progress/AnimationWindow.h"
#include "ui/progress/AviClip.h"
#include "ui/progress/cAnimControl.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <functional>
#include <memory>

namespace {

// The source every failure names: this test executable's name + ".cAnimControl".
const QString ExpectedSource = QStringLiteral("tst_cAnimControl.cAnimControl");

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A hand-made clip of one 8-bit stream (one colour) whose size only its stream format gives, with the
// given frame chunks.
QByteArray handMadeClip(quint32 width, quint32 height, const QList<QByteArray>& frames, quint32 compression = 1)
{
    const auto u32 = [](quint32 v) {
        QByteArray b(4, 0);
        qToLittleEndian(v, b.data());
        return b;
    };
    const auto chunk = [&](const char* id, const QByteArray& data) {
        return QByteArray(id, 4) + u32(quint32(data.size())) + data + QByteArray(data.size() & 1, 0);
    };
    const auto list = [&](const char* form, const QByteArray& content) { return chunk("LIST", form + content); };
    const QByteArray strh = "vids" + QByteArray(16, 0) + u32(1) + u32(10) + QByteArray(28, 0);
    const QByteArray strf = u32(40) + u32(width) + u32(height) + QByteArray("\x01\x00\x08\x00", 4) + u32(compression) +
                            QByteArray(12, 0) + u32(1) + u32(0) + QByteArray("\x10\x20\x30\x00", 4);
    QByteArray movi;
    for (const QByteArray& frame : frames)
        movi += chunk("00dc", frame);
    const QByteArray body =
        "AVI " +
        list("hdrl", chunk("avih", QByteArray(56, 0)) + list("strl", chunk("strh", strh) + chunk("strf", strf))) +
        list("movi", movi);
    return "RIFF" + u32(quint32(body.size())) + body;
}

anim::AnimationWindow* windowOf(const cAnimControl& control)
{
    return qobject_cast<anim::AnimationWindow*>(QWidget::find(control.hwnd()));
}

// Counts the widgets made inside a widget.
class ChildCounter : public QObject {
public:
    int made = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        // While it is being added the child is not yet more than a widget.
        if (event->type() == QEvent::ChildAdded && static_cast<QChildEvent*>(event)->child()->isWidgetType())
            ++made;
        return false;
    }
};

QStringList moduleRoots()
{
    return QDir(QStringLiteral(":/")).entryList().filter(QStringLiteral("cAnimControl-module"));
}

}  // namespace

class tst_cAnimControl : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QWidget> form;
    QWidget* host = nullptr;  // the control hosting the animation, as picResAnim does
    std::unique_ptr<cAnimControl> control;
    std::unique_ptr<QTemporaryDir> folder;

    QString textFile()
    {
        const QString path = folder->filePath(QStringLiteral("notes.txt"));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write("not a clip, not a bundle\n");
        return path;
    }

private slots:
    void init()
    {
        form = std::make_unique<QWidget>();
        form->resize(420, 160);
        host = new QWidget(form.get());
        host->setGeometry(10, 10, 313, 57);
        control = std::make_unique<cAnimControl>();
        folder = std::make_unique<QTemporaryDir>();
    }

    void cleanup()
    {
        control.reset();
        form.reset();
        folder.reset();
        QCOMPARE(moduleRoots(), QStringList());  // every loaded bundle was freed
    }

    void startsEmpty()
    {
        QCOMPARE(control->Filename(), QString());
        QCOMPARE(control->ResourceId(), 0);
        QCOMPARE(control->ResourceFileName(), QString());
        QCOMPARE(control->Owner(), nullptr);
        QVERIFY(!control->AutoPlay() && !control->Transparent() && !control->Centre());
        QCOMPARE(control->Width(), 0);
        QCOMPARE(control->Height(), 0);
        QCOMPARE(control->hwnd(), WId(0));
    }

    void settingTheSourceBeforeTheOwnerOpensOnceWithTheOwner()
    {
        control->setAutoPlay(true);
        control->setResourceId(201);
        QCOMPARE(control->hwnd(), WId(0));
        QCOMPARE(control->Width(), 0);

        ChildCounter counter;
        host->installEventFilter(&counter);
        control->setOwner(host);
        host->removeEventFilter(&counter);

        QCOMPARE(counter.made, 1);
        QCOMPARE(control->Owner(), host);
        QVERIFY(control->hwnd() != 0);
        anim::AnimationWindow* window = windowOf(*control);
        QVERIFY(window);
        QCOMPARE(window->parentWidget(), host);
        QVERIFY(window->hasClip());
        QVERIFY(window->isPlaying());
        QCOMPARE(window->geometry(), host->rect());
        QCOMPARE(host->findChildren<anim::AnimationWindow*>().size(), 1);
    }

    void resourceAndFileClearEachOther()
    {
        control->setFilename(QStringLiteral("a.avi"));
        control->setResourceId(201);
        QCOMPARE(control->Filename(), QString());
        QCOMPARE(control->ResourceId(), 201);

        control->setResourceFileName(QStringLiteral("clips.rcc"));
        QCOMPARE(control->Filename(), QString());
        QCOMPARE(control->ResourceId(), 201);
        QCOMPARE(control->ResourceFileName(), QStringLiteral("clips.rcc"));

        control->setFilename(QStringLiteral("b.avi"));
        QCOMPARE(control->Filename(), QStringLiteral("b.avi"));
        QCOMPARE(control->ResourceId(), 0);
        QCOMPARE(control->ResourceFileName(), QString());
    }

    void failuresNameTheirCause_data()
    {
        QTest::addColumn<QString>("resourceFile");
        QTest::addColumn<int>("resourceId");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("description");
        const QString missingBundle = QStringLiteral("/nonexistent/folder/clips.rcc");
        const QString missingClip = QStringLiteral("/nonexistent/folder/clip.avi");
        QTest::newRow("resource the program lacks")
            << QString() << 999 << QString() << 45002 << "Failed to open the AVI from the resource 999";
        QTest::newRow("resource the bundle lacks")
            << QStringLiteral(CLIPS_RCC) << 201 << QString() << 45002 << "Failed to open the AVI from the resource 201";
        QTest::newRow("negative resource id")
            << QString() << -5 << QString() << 45002 << "Failed to open the AVI from the resource -5";
        QTest::newRow("missing bundle") << missingBundle << 7 << QString() << 45003
                                        << "Failed to load the resource library '" + missingBundle + "'";
        QTest::newRow("not a bundle") << QStringLiteral("<text>") << 7 << QString() << 45003
                                      << QStringLiteral("Failed to load the resource library '<text>'");
        QTest::newRow("missing file") << QString() << 0 << missingClip << 45002
                                      << "Failed to open the file '" + missingClip + "'";
        QTest::newRow("file that is no clip") << QString() << 0 << QStringLiteral("<text>") << 45002
                                              << QStringLiteral("Failed to open the file '<text>'");
        QTest::newRow("clip beyond the decode bound")
            << QString() << 0 << QStringLiteral("<big>") << 45002 << QStringLiteral("Failed to open the file '<big>'");
    }

    void failuresNameTheirCause()
    {
        QFETCH(QString, resourceFile);
        QFETCH(int, resourceId);
        QFETCH(QString, file);
        QFETCH(int, number);
        QFETCH(QString, description);
        const QString text = textFile();
        resourceFile.replace(QStringLiteral("<text>"), text);
        file.replace(QStringLiteral("<text>"), text);
        description.replace(QStringLiteral("<text>"), text);
        const QString big = folder->filePath(QStringLiteral("big.avi"));
        if (QFile f(big); file == QLatin1String("<big>") && f.open(QIODevice::WriteOnly))
            f.write(handMadeClip(4096, 4096, QList<QByteArray>(5)));
        file.replace(QStringLiteral("<big>"), big);
        description.replace(QStringLiteral("<big>"), big);

        control->setOwner(host);  // no source yet: nothing to open, nothing fails
        QVERIFY(control->hwnd() != 0);
        try {
            if (!file.isEmpty()) {
                control->setFilename(file);
            } else {
                control->setResourceFileName(resourceFile);  // no id yet: opens nothing
                control->setResourceId(resourceId);
            }
            QFAIL("no failure raised");
        } catch (const com::ComError& e) {
            QCOMPARE(e.number(), number);
            QCOMPARE(e.description(), description);
            QCOMPARE(e.source(), ExpectedSource);
        }

        // The object stays usable: the window is there, the clip closed, and a good source opens.
        QVERIFY(control->hwnd() != 0);
        QVERIFY(!windowOf(*control)->hasClip());
        control->StartPlay();
        QVERIFY(!windowOf(*control)->isPlaying());
        control->setResourceId(0);  // a new module opens with the id in place: clear the id first
        control->setResourceFileName(QString());
        control->setResourceId(201);
        QVERIFY(windowOf(*control)->hasClip());
    }

    void aFailureAtTheOwnerIsRaisedThere()
    {
        control->setResourceId(4711);  // no owner: nothing is opened, nothing fails
        try {
            control->setOwner(host);
            QFAIL("no failure raised");
        } catch (const com::ComError& e) {
            QCOMPARE(e.number(), 45002);
            QCOMPARE(e.description(), QStringLiteral("Failed to open the AVI from the resource 4711"));
        }
        QCOMPARE(control->Owner(), host);
        QVERIFY(control->hwnd() != 0);
    }

    void theProgramItselfIsAModule_data()
    {
        QTest::addColumn<QString>("resourceFile");
        const QString exe = QCoreApplication::applicationFilePath();
        QTest::newRow("empty") << QString();
        QTest::newRow("the executable") << exe;
        QTest::newRow("the executable with .exe") << exe + QStringLiteral(".exe");
    }

    void theProgramItselfIsAModule()
    {
        QFETCH(QString, resourceFile);
        control->setOwner(host);
        control->setResourceFileName(resourceFile);
        control->setResourceId(201);
        QVERIFY(windowOf(*control)->hasClip());
        QCOMPARE(moduleRoots(), QStringList());  // nothing was loaded for it
    }

    void aBundleLivesWhileItsClipIsOpen()
    {
        control->setOwner(host);
        control->setResourceFileName(QStringLiteral(CLIPS_RCC));
        control->setResourceId(7);
        QVERIFY(windowOf(*control)->hasClip());
        QCOMPARE(windowOf(*control)->clip()->frames.size(), 31);
        QCOMPARE(moduleRoots().size(), 1);

        control->setResourceId(7);  // closes, frees, loads again
        QCOMPARE(moduleRoots().size(), 1);
        control->setFilename(QStringLiteral(COMMITTED_CLIP));
        QCOMPARE(moduleRoots(), QStringList());
        QVERIFY(windowOf(*control)->hasClip());
    }

    void anOwnerOfNothingIsIgnored()
    {
        control->setOwner(nullptr);
        QCOMPARE(control->Owner(), nullptr);
        QCOMPARE(control->hwnd(), WId(0));

        control->setOwner(host);
        const WId window = control->hwnd();
        control->setOwner(nullptr);
        QCOMPARE(control->Owner(), host);
        QCOMPARE(control->hwnd(), window);
    }

    void playingWithoutAClipDoesNothing()
    {
        control->StartPlay(0, -1, -1);  // no owner, no window
        control->StopPlay();
        QCOMPARE(control->hwnd(), WId(0));

        control->setOwner(host);
        anim::AnimationWindow* window = windowOf(*control);
        control->StartPlay(0, -1, -1);
        QVERIFY(!window->isPlaying());
        control->StopPlay();
        QVERIFY(!window->isPlaying());
    }

    void startAndStopPlayAClip()
    {
        control->setOwner(host);
        control->setResourceId(201);
        anim::AnimationWindow* window = windowOf(*control);
        QVERIFY(window->hasClip());
        QVERIFY(!window->isPlaying());  // no AutoPlay

        control->StartPlay(0, -1, -1);
        QVERIFY(window->isPlaying());
        QTRY_VERIFY(window->currentFrame() > 0);
        control->StopPlay();
        QVERIFY(!window->isPlaying());

        // Frames 2 to 4 once: it stops on the last of them.
        control->StartPlay(2, 4, 1);
        QCOMPARE(window->currentFrame(), 2);
        QTRY_VERIFY(!window->isPlaying());
        QCOMPARE(window->currentFrame(), 4);
    }

    void widthAndHeight_data()
    {
        QTest::addColumn<bool>("centre");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("centred: the owner's client size") << true << QSize(313, 57);
        QTest::newRow("not centred: the clip's frame size") << false << QSize(272, 60);
    }

    void widthAndHeight()
    {
        QFETCH(bool, centre);
        QFETCH(QSize, expected);
        control->setCentre(centre);
        control->setResourceId(201);
        control->setOwner(host);
        QCOMPARE(QSize(control->Width(), control->Height()), expected);
        QCOMPARE(windowOf(*control)->geometry(), host->rect());  // fitted to the owner after the open
    }

    void changingAStyleRemakesTheWindow()
    {
        control->setOwner(host);
        const QPointer<QWidget> before = windowOf(*control);
        control->setCentre(true);
        QVERIFY(before.isNull());
        QVERIFY(windowOf(*control));
        QVERIFY(windowOf(*control)->style().centre);
        const QPointer<QWidget> remade = windowOf(*control);
        control->setCentre(true);  // unchanged: the window stays
        QVERIFY(!remade.isNull());
        QCOMPARE(windowOf(*control), remade.data());
    }

    void transparentLetsTheOwnerShowThrough_data()
    {
        QTest::addColumn<bool>("transparent");
        QTest::newRow("transparent") << true;
        QTest::newRow("opaque") << false;
    }

    void transparentLetsTheOwnerShowThrough()
    {
        QFETCH(bool, transparent);
        host->setAutoFillBackground(true);
        QPalette palette = host->palette();
        palette.setColor(QPalette::Window, QColor(255, 0, 255));
        host->setPalette(palette);
        control->setTransparent(transparent);
        control->setResourceId(201);
        control->setOwner(host);
        // The clip's top-left corner is its background colour.
        const QColor corner = host->grab().toImage().pixelColor(0, 0);
        const QColor clipBackground = windowOf(*control)->clip()->frames.first().pixelColor(0, 0);
        QCOMPARE(corner, transparent ? QColor(255, 0, 255) : clipBackground);
    }

    void theProgramsClipIsAsDescribed()
    {
        const std::optional<anim::AviClip> clip = anim::ReadAvi(readAll(QStringLiteral(":/avi/201")));
        QVERIFY(clip);
        QCOMPARE(clip->frames.size(), 31);
        QCOMPARE(clip->width, 272);
        QCOMPARE(clip->height, 60);
        QCOMPARE(clip->microSecPerFrame, 100000);
        QCOMPARE(clip->frameDelayMs(), 100);
        for (const QImage& frame : clip->frames) {
            QCOMPARE(frame.size(), QSize(272, 60));
            QCOMPARE(frame.format(), QImage::Format_Indexed8);
        }
        QVERIFY(clip->frames[0] != clip->frames[1]);  // it moves
        QCOMPARE(clip->frames[0].colorCount(), 256);
    }

    void notAClipIsRefused_data()
    {
        QTest::addColumn<QByteArray>("data");
        QByteArray clip = readAll(QStringLiteral(":/avi/201"));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("RIFF is a word, AVI too");
        QTest::newRow("a WAVE file header") << QByteArray("RIFF\x24\x00\x00\x00WAVEfmt ", 16);
        QTest::newRow("clip cut after its headers") << clip.left(0x104);
        // Five frames of 16 MiB: more than a clip may decode, however few bytes name them.
        QTest::newRow("frames beyond the decode bound") << handMadeClip(4096, 4096, QList<QByteArray>(5));
        QTest::newRow("height of the smallest int") << handMadeClip(16, 0x80000000u, {QByteArray(2, 0)});
    }

    void notAClipIsRefused()
    {
        QFETCH(QByteArray, data);
        QVERIFY(!anim::ReadAvi(data));
    }

    void aFrameLikeTheOneBeforeSharesItsPixels()
    {
        const QByteArray unchanged("\x00\x01", 2);  // end of bitmap at once
        const QByteArray oneRun("\x02\x07\x00\x01", 4);
        const QByteArray otherRun("\x03\x05\x00\x01", 4);
        const std::optional<anim::AviClip> clip =
            anim::ReadAvi(handMadeClip(64, 64, {oneRun, QByteArray(), unchanged, oneRun, otherRun}));
        QVERIFY(clip);
        QCOMPARE(clip->frames.size(), 5);
        const auto pixels = [&](int i) { return clip->frames[i].constBits(); };
        QCOMPARE(pixels(1), pixels(0));
        QCOMPARE(pixels(2), pixels(0));
        QCOMPARE(pixels(3), pixels(0));  // the same run again changes nothing
        QVERIFY(pixels(4) != pixels(0));
        QCOMPARE(clip->frames[0].pixelIndex(2, 63), 0);
        QCOMPARE(clip->frames[4].pixelIndex(2, 63), 5);
        // A clip of exactly the bound still opens.
        QVERIFY(anim::ReadAvi(handMadeClip(4096, 4096, QList<QByteArray>(4))));
    }

    void rle8Decodes_data()
    {
        // A 4 x 2 bitmap filled with 9 before decoding; rows are written top row first.
        QTest::addColumn<QByteArray>("rle");
        QTest::addColumn<QString>("top");
        QTest::addColumn<QString>("bottom");
        auto bytes = [](std::initializer_list<int> list) {
            QByteArray b;
            for (int v : list)
                b.append(char(v));
            return b;
        };
        QTest::newRow("encoded runs, bottom row first") << bytes({4, 1, 0, 0, 4, 2, 0, 1}) << "2222"
                                                        << "1111";
        QTest::newRow("absolute run, odd, padded") << bytes({0, 3, 5, 6, 7, 0, 1, 8, 0, 1}) << "9999"
                                                   << "5678";
        QTest::newRow("absolute run, even") << bytes({0, 4, 1, 2, 3, 4, 0, 1}) << "9999"
                                            << "1234";
        QTest::newRow("delta keeps what it skips") << bytes({1, 1, 0, 2, 2, 1, 1, 3, 0, 1}) << "9993"
                                                   << "1999";
        QTest::newRow("end of line keeps the rest") << bytes({2, 4, 0, 0, 1, 5, 0, 1}) << "5999"
                                                    << "4499";
        QTest::newRow("run past the edge is clipped") << bytes({6, 1, 0, 1}) << "9999"
                                                      << "1111";
        QTest::newRow("end of bitmap stops") << bytes({0, 1, 4, 1}) << "9999"
                                             << "9999";
        QTest::newRow("data ending early") << bytes({0, 5, 1, 2}) << "9999"
                                           << "1299";
        QTest::newRow("rows beyond the top are dropped") << bytes({0, 0, 0, 0, 4, 3, 0, 1}) << "9999"
                                                         << "9999";
    }

    void rle8Decodes()
    {
        QFETCH(QByteArray, rle);
        QFETCH(QString, top);
        QFETCH(QString, bottom);
        QImage frame(4, 2, QImage::Format_Indexed8);
        frame.setColorCount(256);
        frame.fill(9);
        anim::DecodeRle8(rle, frame);
        auto row = [&](int y) {
            QString s;
            for (int x = 0; x < 4; ++x)
                s += QString::number(frame.pixelIndex(x, y));
            return s;
        };
        QCOMPARE(row(0), top);
        QCOMPARE(row(1), bottom);
    }

    void theCommittedClipIsTheGeneratorsOutput()
    {
        const QString out = folder->filePath(QStringLiteral("201.avi"));
        QProcess generator;
        generator.start(QStringLiteral(AVIGEN), {out});
        QVERIFY(generator.waitForFinished(30000));
        QCOMPARE(generator.exitCode(), 0);
        const QByteArray made = readAll(out);
        QVERIFY(!made.isEmpty());
        QVERIFY(made == readAll(QStringLiteral(COMMITTED_CLIP)));
        QVERIFY(made == readAll(QStringLiteral(":/avi/201")));
    }
};

QTEST_MAIN(tst_cAnimControl)
#include "tst_cAnimControl.moc"
