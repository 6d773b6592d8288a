// The command-line grammar: which start does what.
#include "plugin/MMain.h"

#include <QTest>

using MMain::Command;

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void grammar_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("mode");
        const auto row = [](const char* name, QStringList args, Command c, int mode = 0) {
            QTest::newRow(name) << args << int(c) << mode;
        };
        row("empty", {}, Command::ShowWindow);
        row("register", {"/regplugin"}, Command::RegPlugIn);
        row("register mixed case with blanks", {"  /RegPlugin "}, Command::RegPlugIn);
        row("deregister alone is complete", {"/deregplugin"}, Command::DeregPlugIn, 0);
        row("minimal", {"/deregplugin", "/deregmode:-1"}, Command::DeregPlugIn, -1);
        row("complete", {"/DEREGPLUGIN", "/DeregMode:0"}, Command::DeregPlugIn, 0);
        row("exhaustive", {"/deregplugin", "/deregmode:1"}, Command::DeregPlugIn, 1);
        row("one argument with the blank", {"/deregplugin /deregmode:1"}, Command::DeregPlugIn, 1);
        row("two blanks before the mode", {"/deregplugin", "", "/deregmode:1"}, Command::ShowWindow);
        row("unknown mode", {"/deregplugin", "/deregmode:2"}, Command::ShowWindow);
        row("unknown switch", {"/install"}, Command::ShowWindow);
        row("COM start", {"-Embedding"}, Command::ComStart);
        row("COM start, slash form", {"/Embedding"}, Command::ComStart);
        row("COM start never reads the rest", {"--embedding", "/regplugin"}, Command::ComStart);
        row("server registration", {"/RegServer"}, Command::RegServer);
        row("server removal", {"/unregserver"}, Command::UnregServer);
    }
    void grammar()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, command);
        QFETCH(int, mode);
        const MMain::ParsedCommandLine parsed = MMain::ParseCommandLine(arguments);
        QCOMPARE(int(parsed.command), command);
        if (parsed.command == Command::DeregPlugIn)
            QCOMPARE(int(parsed.mode), mode);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
