// A profile applied through the plug-in object while the window shows a demo thermostat: the window
// re-reads the device it shows when the profile wrote it, and keeps the edits not yet applied.
#include "ConfiguredWindow.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace windowtest;

class TestProfileWrites : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(m.makeWorld()); }
    void cleanup() { m.tearDown(); }

    void theShownDeviceIsReadAgain_data()
    {
        QTest::addColumn<bool>("shownDevice");  // the profile goes to the device the window shows
        QTest::addColumn<bool>("visible");
        QTest::newRow("the shown device") << true << true;
        QTest::newRow("another device") << false << true;
        QTest::newRow("the window hidden") << true << false;
    }
    void theShownDeviceIsReadAgain()
    {
        QFETCH(bool, shownDevice);
        QFETCH(bool, visible);
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        // An edit not yet applied, in the edit colour.
        m.type(UnoccHeat, QStringLiteral("17"));
        m.leave();
        QVERIFY(m.isRed(m.box(UnoccHeat)));
        const QString shownHeating = m.box(OccHeat)->text();

        const QString target =
            shownDevice ? m.path : m.world->findDevice(QStringLiteral("Demo"), [](int model, const DeviceFaults& f) {
                return model == 45 && f.stateCode == 4 && f.commissioned && !f.unreachable;
            });
        QVERIFY(!target.isEmpty());
        QJsonObject profile =
            QJsonDocument::fromJson(m.objects.back()->Save(QStringLiteral("Demo"), m.path).toUtf8()).object();
        QJsonObject values = profile.value(QLatin1String("values")).toObject();
        const double lowered = values.value(QLatin1String("nciSetPts.occ_heat")).toDouble() - 1;
        values.insert(QStringLiteral("nciSetPts.occ_heat"), lowered);
        profile.insert(QStringLiteral("values"), values);
        if (!visible)
            m.w->hide();
        m.objects.back()->Apply(QStringLiteral("Demo"), {target}, QString::fromUtf8(QJsonDocument(profile).toJson()),
                                false);
        VERIFY_BOXES(boxes);

        const bool reread = shownDevice && visible;
        QCOMPARE(m.box(OccHeat)->text(), reread ? QString::number(lowered) : shownHeating);
        QCOMPARE(m.box(UnoccHeat)->text(), QStringLiteral("17"));
        QVERIFY(m.isRed(m.box(UnoccHeat)));
    }

private:
    ConfiguredWindow m;
};

QTEST_MAIN(TestProfileWrites)
#include "tst_ProfileWrites.moc"
