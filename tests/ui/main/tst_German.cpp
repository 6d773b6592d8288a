// The window under a German locale: every text a person reads on it (tabs, frames, captions, buttons,
// what a screen reader names and describes, the band) is one of the German translations in the
// repository's .ts, or data (numbers, unit symbols); the access keys stay distinct; and under any other
// locale the English texts stay as written.
#include "device/Units.h"
#include "platform/toolkit/Translations.h"
#include "support/TestEnvironment.h"
#include "ui/main/SetpointBand.h"
#include "ui/main/fMainLayout.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QXmlStreamReader>

namespace {

// The German texts of the .ts as committed, read without the program's help.
QSet<QString> GermanTexts()
{
    QFile file(testsupport::SourceDir() + QStringLiteral("/resources/translations/kr5m_de.ts"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QSet<QString> texts;
    QXmlStreamReader xml(&file);
    while (xml.readNextStartElement() || !xml.atEnd())
        if (xml.isStartElement() && xml.name() == QLatin1String("translation"))
            texts.insert(xml.readElementText(QXmlStreamReader::IncludeChildElements));
    return texts;
}

// What a window shows that is not language: empty, numbers, unit symbols and the device's enumeration
// names (HVT_UNKNOWN).
bool IsData(const QString& text)
{
    return !text.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))) || text == device::UnitSymbol(0) ||
           text == device::UnitSymbol(1) || QRegularExpression(QStringLiteral("^[A-Z0-9_]+$")).match(text).hasMatch();
}

// Every text of the window a person reads or hears, with where it is.
QList<std::pair<QString, QString>> ShownTexts(QMainWindow& window, const FMainControls& c)
{
    QList<std::pair<QString, QString>> shown;
    for (int i = 0; i < c.tabData->count(); ++i)
        shown.append({QStringLiteral("tab %1").arg(i), c.tabData->tabText(i)});
    for (auto* frame : window.findChildren<QGroupBox*>())
        shown.append({frame->objectName(), frame->title()});
    for (auto* label : window.findChildren<QLabel*>())
        shown.append({label->objectName(), label->text()});
    for (auto* button : window.findChildren<QAbstractButton*>())
        shown.append({button->objectName(), button->text()});
    // Qt's own controls (the tab bar's scroll buttons) speak Qt's own translation.
    for (auto* widget : window.findChildren<QWidget*>())
        if (!qobject_cast<QTabBar*>(widget->parentWidget()))
            shown.append({widget->objectName() + QStringLiteral(" (accessible name)"), widget->accessibleName()});
    return shown;
}

QChar AccessKey(const QString& text)
{
    const qsizetype at = text.indexOf(QLatin1Char('&'));
    return at >= 0 && at + 1 < text.size() ? text.at(at + 1).toLower() : QChar();
}

}  // namespace

class TestGerman : public QObject {
    Q_OBJECT
private slots:
    void everyShownTextIsGerman_data()
    {
        QTest::addColumn<int>("units");
        QTest::newRow("metric") << 0;
        QTest::newRow("imperial") << 1;
    }

    void everyShownTextIsGerman()
    {
        QFETCH(int, units);
        const QSet<QString> german = GermanTexts();
        QVERIFY(german.size() > 100);
        QVERIFY(toolkit::InstallTranslations(QLocale(QStringLiteral("de_DE"))));
        QMainWindow window;
        const FMainControls c = BuildFMainLayout(&window, qint16(units));
        DescribeFields(c, qint16(units));
        QStringList untranslated;
        for (const auto& [where, text] : ShownTexts(window, c))
            if (!IsData(text) && !german.contains(text))
                untranslated << where + QStringLiteral(": ") + text;
        QVERIFY2(untranslated.isEmpty(), qPrintable(untranslated.join(QLatin1Char('\n'))));

        // A description is a sentence made from a German template with numbers and unit words put in.
        for (const auto& [index, box] : c.txtNvi) {
            const QString description = box->accessibleDescription();
            if (description.isEmpty())
                continue;
            QVERIFY2(description.startsWith(QStringLiteral("Nur lesbar")) ||
                         description.startsWith(QStringLiteral("Eine Zahl von ")) ||
                         description.startsWith(QStringLiteral("In ")),
                     qPrintable(description));
            QVERIFY2(!description.contains(QStringLiteral("degrees")) && !description.contains(QStringLiteral("from")),
                     qPrintable(description));
        }
        QVERIFY(c.setpointBand->accessibleName() == QStringLiteral("Sollwertskala"));

        // One key per control among the tabs, the buttons and the unit options.
        QHash<QChar, QString> keys;
        QStringList clashes;
        QStringList captions;
        for (int i = 0; i < c.tabData->count(); ++i)
            captions << c.tabData->tabText(i);
        for (auto* button : window.findChildren<QAbstractButton*>())
            if (button->isVisibleTo(&window) || button->objectName().startsWith(QStringLiteral("cmd")))
                captions << button->text();
        for (const QString& caption : captions) {
            const QChar key = AccessKey(caption);
            if (key.isNull())
                continue;
            if (keys.contains(key))
                clashes << keys[key] + QStringLiteral(" / ") + caption;
            keys.insert(key, caption);
        }
        QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join(QStringLiteral(", "))));
    }

    void otherLocalesKeepTheEnglishTexts()
    {
        for (const char* locale : {"en_US", "fr_FR", "C"}) {
            QVERIFY(!toolkit::InstallTranslations(QLocale(QLatin1String(locale))));
            QMainWindow window;
            const FMainControls c = BuildFMainLayout(&window, 0);
            QCOMPARE(c.tabData->tabText(0), QStringLiteral("&Heating - Cooling"));
            QCOMPARE(c.cmdApply->text(), QStringLiteral("&Apply"));
            QCOMPARE(c.setpointBand->accessibleName(), QStringLiteral("Set-point scale"));
        }
    }
};

QTEST_MAIN(TestGerman)
#include "tst_German.moc"
