// The progress window as the long operations use it: loading, DisplayStatus, direct status writes
// and unloading, with the mouse pointer and the animation, and the count of a list worked through.
#include "framework/Identity.h"
#include "framework/PlugInSession.h"
#include "platform/toolkit/Events.h"
#include "platform/toolkit/WindowPlacement.h"
#include "ui/progress/AnimationWindow.h"
#include "ui/progress/fProgress.h"

#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>

using toolkit::MousePointer;

namespace {

anim::AnimationWindow* animationOf(fProgress& window)
{
    return qobject_cast<anim::AnimationWindow*>(QWidget::find(window.animation().hwnd()));
}

}  // namespace

class tst_fProgress : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_session = std::make_unique<framework::PlugInSession>();
        QVERIFY(!fProgress::IsLoaded(*m_session));
        QCOMPARE(toolkit::CurrentMousePointer(), MousePointer::Default);
    }

    void cleanup()
    {
        fProgress::Unload(*m_session);
        m_session.reset();
        toolkit::SetMousePointer(MousePointer::Default);
    }

    // "i of N" beside the animation, in room the window gains while counting and gives back after;
    // the count alone shows no window.
    void countBesideTheAnimation_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("text");
        QTest::newRow("first network of three, window shown") << true << 1 << 3 << "1 of 3";
        QTest::newRow("last template, window hidden") << false << 12 << 12 << "12 of 12";
    }
    void countBesideTheAnimation()
    {
        QFETCH(bool, shown);
        QFETCH(int, current);
        QFETCH(int, total);
        QFETCH(QString, text);
        fProgress& window = fProgress::Of(*m_session);
        const QSize size = window.size();
        const QRect animation = window.picResAnim->geometry();
        if (shown)
            window.DisplayStatus(QStringLiteral("Opening Demo..."));
        window.SetCount(current, total);
        QCOMPARE(window.isVisible(), shown);
        QCOMPARE(window.Count->text(), text);
        QVERIFY(!window.Count->isHidden());
        QCOMPARE(window.picResAnim->geometry(), animation);
        QVERIFY(window.Count->geometry().left() > animation.right());
        QVERIFY(window.Count->geometry().top() < animation.bottom());
        QVERIFY(window.rect().contains(window.Count->geometry()));
        QVERIFY(window.Count->width() >= window.Count->minimumSizeHint().width());
        window.ClearCount();
        QVERIFY(window.Count->isHidden());
        QCOMPARE(window.size(), size);
    }

    // However long the text and whatever the letter size, all of it shows, whether it came through
    // DisplayStatus or was written straight into the line: a line three times as tall shows no more
    // of it, and no letter reaches the line's last column.
    void statusTextIsNeverCut_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pointSize");
        QTest::addColumn<bool>("direct");
        const QStringList texts{
            QStringLiteral("KR5M-HU Model 45\r\nAdding command Configure for LonMark Object objects..."),
            QStringLiteral("Error adding command Configure for Device TemplateKR5M_HU_with_a_name_far_longer_than_the_"
                           "line_of_the_window. \r\nComponentApp was not created.")};
        for (int i = 0; i < texts.size(); ++i)
            for (const int pointSize : {8, 20})
                for (const bool direct : {false, true})
                    QTest::addRow("text %d, %d pt%s", i, pointSize, direct ? ", written directly" : "")
                        << texts[i] << pointSize << direct;
    }
    void statusTextIsNeverCut()
    {
        QFETCH(QString, text);
        QFETCH(int, pointSize);
        QFETCH(bool, direct);
        fProgress& window = fProgress::Of(*m_session);
        QLabel* status = window.Status;
        QFont font = status->font();
        font.setPointSize(pointSize);
        status->setFont(font);
        window.DisplayStatus(QStringLiteral("Opening network . . ."));
        if (direct)
            status->setText(text);
        else
            window.DisplayStatus(text);
        toolkit::DoEvents();
        QVERIFY(window.rect().contains(status->geometry()));
        QVERIFY(window.picResAnim->geometry().bottom() < status->geometry().top());
        const QImage fitted = status->grab().toImage();
        const QSize size = status->size();
        status->resize(size.width(), size.height() * 3);
        const QImage taller = status->grab().toImage();
        const QColor blank = taller.pixelColor(taller.width() - 1, taller.height() - 1);
        for (int y = 0; y < taller.height(); ++y)
            for (int x = y < fitted.height() ? fitted.width() - 1 : 0; x < taller.width(); ++x)
                QVERIFY2(taller.pixelColor(x, y) == blank, qPrintable(QStringLiteral("text at %1,%2").arg(x).arg(y)));
    }

    // It opens centred on the window it belongs to, kept on the screen, or centred on the screen
    // without one; after that it stays where it is put.
    void opensOverItsWindow_data()
    {
        QTest::addColumn<bool>("anchored");
        QTest::addColumn<QPoint>("at");
        QTest::newRow("over the configuration window") << true << QPoint(300, 200);
        QTest::newRow("over a window partly off the screen") << true << QPoint(-300, -250);
        QTest::newRow("no configuration window") << false << QPoint();
    }
    void opensOverItsWindow()
    {
        QFETCH(bool, anchored);
        QFETCH(QPoint, at);
        QWidget configuration;
        configuration.setGeometry(QRect(at, QSize(400, 300)));
        if (anchored)
            fProgress::SetAnchorWindow(*m_session, &configuration);
        fProgress& window = fProgress::Of(*m_session);
        window.DisplayStatus(QStringLiteral("Opening network . . ."));
        const QRect area = window.screen()->availableGeometry();
        const QRect placed = window.frameGeometry();
        const QRect over = anchored ? configuration.geometry() : area;
        const QPoint centred(over.x() + (over.width() - placed.width()) / 2,
                             over.y() + (over.height() - placed.height()) / 2);
        QCOMPARE(placed.topLeft(), toolkit::KeptInside(centred, placed.size(), area));
        window.move(area.topLeft() + QPoint(10, 10));
        window.DisplayStatus(QStringLiteral("Reading device . . ."));
        QCOMPARE(window.pos(), area.topLeft() + QPoint(10, 10));
    }

    void loadingLeavesItHiddenWithTheHourglass()
    {
        fProgress& window = fProgress::Of(*m_session);
        QVERIFY(fProgress::IsLoaded(*m_session));
        QVERIFY(!window.isVisible());
        QCOMPARE(window.Status->text(), QStringLiteral("Initializating plug-in . . ."));
        QCOMPARE(window.Status->objectName(), QStringLiteral("Status"));
        QCOMPARE(window.picResAnim->objectName(), QStringLiteral("picResAnim"));
        QVERIFY(!framework::PlugInName().isEmpty());
        QCOMPARE(window.windowTitle(), framework::PlugInName());
        QCOMPARE(toolkit::CurrentMousePointer(), MousePointer::Hourglass);
        QCOMPARE(&fProgress::Of(*m_session), &window);
    }

    void loadingSetsTheAnimationUpBeforeItsOwner()
    {
        fProgress& window = fProgress::Of(*m_session);
        cAnimControl& animation = window.animation();
        QVERIFY(animation.AutoPlay() && animation.Centre() && animation.Transparent());
        QCOMPARE(animation.ResourceId(), 201);
        QVERIFY(animation.ResourceFileName().endsWith(QStringLiteral("/tst_fProgress.exe")));
        QCOMPARE(animation.Owner(), window.picResAnim);
        anim::AnimationWindow* clip = animationOf(window);
        QVERIFY(clip);
        QCOMPARE(window.picResAnim->findChildren<anim::AnimationWindow*>().size(), 1);
        QVERIFY(clip->hasClip());
        QVERIFY(clip->isPlaying());
        QCOMPARE(clip->clip()->frames.size(), 31);
        QCOMPARE(QSize(animation.Width(), animation.Height()), window.picResAnim->size());
        // The animation area sits above the status line.
        QVERIFY(window.picResAnim->geometry().bottom() < window.Status->geometry().top());
    }

    void displayStatusLoadsAndShowsAnUnloadedWindow()
    {
        fProgress::Of(*m_session).DisplayStatus(QStringLiteral("Opening network . . ."));
        QVERIFY(fProgress::IsLoaded(*m_session));
        fProgress& window = fProgress::Of(*m_session);
        QVERIFY(window.isVisible());
        QCOMPARE(window.Status->text(), QStringLiteral("Opening network . . ."));
        QVERIFY(animationOf(window)->isPlaying());
        QCOMPARE(toolkit::CurrentMousePointer(), MousePointer::Hourglass);
    }

    void displayStatusOnAVisibleWindowOnlyChangesTheText()
    {
        fProgress& window = fProgress::Of(*m_session);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QPointer<QWidget> clip = animationOf(window);
        const QRect where = window.geometry();

        window.DisplayStatus(QStringLiteral("Reading device . . ."));
        QCOMPARE(&fProgress::Of(*m_session), &window);
        QVERIFY(window.isVisible());
        QCOMPARE(window.Status->text(), QStringLiteral("Reading device . . ."));
        QCOMPARE(animationOf(window), clip.data());
        QVERIFY(animationOf(window)->isPlaying());
        QCOMPARE(window.geometry(), where);
    }

    void displayStatusShowsAWindowTheUserHid()
    {
        fProgress& window = fProgress::Of(*m_session);
        window.DisplayStatus(QStringLiteral("one"));
        window.hide();
        window.DisplayStatus(QStringLiteral("two"));
        QVERIFY(window.isVisible());
        QCOMPARE(window.Status->text(), QStringLiteral("two"));
    }

    void displayStatusLetsPendingEventsRun()
    {
        bool ran = false;
        QTimer::singleShot(0, this, [&] { ran = true; });
        fProgress::Of(*m_session).DisplayStatus(QStringLiteral("Registering commands . . ."));
        QVERIFY(ran);
    }

    void writingTheStatusDirectlyNeitherShowsNorRunsEvents()
    {
        fProgress& window = fProgress::Of(*m_session);
        bool ran = false;
        // The event must not run: it dies with this function instead of writing to its gone frame later.
        QObject pending;
        QTimer::singleShot(0, &pending, [&] { ran = true; });
        window.Status->setText(QStringLiteral("Looking up resource files . . ."));
        QVERIFY(!window.isVisible());
        QVERIFY(!ran);
        QCOMPARE(window.Status->text(), QStringLiteral("Looking up resource files . . ."));
    }

    void unloadRestoresThePointerAndReleasesTheAnimation()
    {
        fProgress::Of(*m_session).DisplayStatus(QStringLiteral("Opening network . . ."));
        const QPointer<QWidget> clip = animationOf(fProgress::Of(*m_session));
        QVERIFY(clip);
        // An operation failing half-way: its own hourglass is still up when the owner unloads.
        try {
            toolkit::SetMousePointer(MousePointer::Hourglass);
            throw std::runtime_error("step failed");
        } catch (const std::exception&) {
            fProgress::Unload(*m_session);
        }
        QVERIFY(!fProgress::IsLoaded(*m_session));
        QCOMPARE(toolkit::CurrentMousePointer(), MousePointer::Default);
        QVERIFY(clip.isNull());

        fProgress::Unload(*m_session);  // unloading an unloaded window does nothing
        QVERIFY(!fProgress::IsLoaded(*m_session));

        // The next use loads a fresh window.
        QCOMPARE(fProgress::Of(*m_session).Status->text(), QStringLiteral("Initializating plug-in . . ."));
        QVERIFY(!fProgress::Of(*m_session).isVisible());
    }

private:
    std::unique_ptr<framework::PlugInSession> m_session;
};

QTEST_MAIN(tst_fProgress)
#include "tst_fProgress.moc"
