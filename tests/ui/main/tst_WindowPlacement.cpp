// Where the configuration window and the windows it opens appear, on a desktop of two screens side by
// side: a narrow primary screen, narrower than the window, and a wide one to its right.
#include "ConfiguredWindow.h"
#include "ui/main/SetpointBand.h"

#include <QScreen>
#include <QTemporaryFile>

using namespace windowtest;

namespace {

QScreen* ScreenNamed(const QString& name)
{
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->name() == name)
            return screen;
    return nullptr;
}

QString Describe(const QRect& r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

QWidget* VisibleWindowNamed(const QString& objectName)
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == objectName && window->isVisible())
            return window;
    return nullptr;
}

}  // namespace

class TestWindowPlacement : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(m.makeWorld()); }
    void cleanup() { m.tearDown(); }

    // The window is centred on its screen, but a window wider than the screen starts at its left
    // edge instead of hanging off it.
    void theWindowOpensWholeOnItsScreen()
    {
        QScreen* narrow = ScreenNamed(QStringLiteral("narrow"));
        QVERIFY(narrow);
        QCOMPARE(QGuiApplication::primaryScreen(), narrow);
        m.objects.push_back(std::make_unique<LNSPlugInAPI>(*m.host));
        fMain* w = m.host->window;
        const QRect area = narrow->availableGeometry();
        const QRect frame = w->frameGeometry();
        QVERIFY2(frame.width() > area.width(), qPrintable(Describe(frame)));
        QCOMPARE(frame.left(), area.left());
        // Its height fits: centred on that axis, at the window's own height, so that the set-point
        // band has all its room (a window sized to two thirds of the screen cut it away).
        QVERIFY(frame.height() <= area.height());
        QVERIFY(std::abs((frame.top() - area.top()) - (area.bottom() - frame.bottom())) <= 1);
        QCOMPARE(w->height(), w->sizeHint().height());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCOMPARE(w->controls().setpointBand->height(), w->controls().setpointBand->sizeHint().height());
        w->hide();
    }

    // The progress window opens centred on the configuration window, wherever that is, and stays
    // centred when a count widens it.
    void progressOpensOverTheWindow()
    {
        QScreen* wide = ScreenNamed(QStringLiteral("wide"));
        QVERIFY(wide);
        QVERIFY(m.configure());
        m.w->move(wide->availableGeometry().topLeft() + QPoint(300, 120));
        QTRY_COMPARE(m.w->screen(), wide);
        fProgress::Of(*m.session).DisplayStatus(QStringLiteral("Reading the device state..."));
        fProgress& progress = fProgress::Of(*m.session);
        QVERIFY(QTest::qWaitForWindowExposed(&progress));
        progress.SetCount(1, 2);
        const QRect placed = progress.frameGeometry();
        QVERIFY2((placed.center() - m.w->frameGeometry().center()).manhattanLength() <= 2,
                 qPrintable(Describe(placed) + QStringLiteral(" over ") + Describe(m.w->frameGeometry())));
        fProgress::Unload(*m.session);
    }

    // Help and the log open beside the configuration window, on its screen, not over its tabs.
    void helpAndLogOpenBesideTheWindow_data()
    {
        QTest::addColumn<QString>("window");
        QTest::newRow("help") << "helpWindow";
        QTest::newRow("log") << "fLog";
    }
    void helpAndLogOpenBesideTheWindow()
    {
        QFETCH(QString, window);
        QScreen* wide = ScreenNamed(QStringLiteral("wide"));
        QVERIFY(wide);
        QVERIFY(m.configure());
        const QRect area = wide->availableGeometry();
        m.w->move(area.topLeft() + QPoint(100, 150));
        QTRY_COMPARE(m.w->screen(), wide);
        if (window == QLatin1String("helpWindow"))
            m.w->cmdHelp_Click();
        else
            m.w->cmdViewLog_Click();
        QWidget* opened = VisibleWindowNamed(window);
        QVERIFY(opened);
        QVERIFY(QTest::qWaitForWindowExposed(opened));
        const QRect placed = opened->frameGeometry();
        const QRect main = m.w->frameGeometry();
        QVERIFY2(area.contains(placed), qPrintable(Describe(placed)));
        QVERIFY2(!placed.intersects(main), qPrintable(Describe(placed) + QStringLiteral(" over ") + Describe(main)));
        QCOMPARE(placed.left(), main.right() + 1);
        QCOMPARE(placed.top(), main.top());
        opened->hide();
    }

private:
    ConfiguredWindow m;
};

int main(int argc, char** argv)
{
    // The offscreen platform's screens, from a configuration file.
    QTemporaryFile screens;
    if (!screens.open())
        return 1;
    screens.write(R"({"screens": [)"
                  R"({"name": "narrow", "x": 0, "y": 0, "width": 600, "height": 500},)"
                  R"({"name": "wide", "x": 600, "y": 0, "width": 1920, "height": 1080}]})");
    screens.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens.fileName()));
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestWindowPlacement test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_WindowPlacement.moc"
