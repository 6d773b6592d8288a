#include "platform/toolkit/MessageBox.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTextStream>
#include <utility>

namespace toolkit {
namespace {

class WindowMessageBoxes : public MessageBoxService {
public:
    Answer ask(const MessageBoxRequest& request) override
    {
        const QPointer<QWidget> owner = QApplication::activeWindow();
        QMessageBox box(owner);
        box.setText(request.text);
        box.setWindowTitle(request.title);
        switch (request.icon) {
        case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
        case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
        case Icon::Question: box.setIcon(QMessageBox::Question); break;
        case Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
        case Icon::Information: box.setIcon(QMessageBox::Information); break;
        }
        const QList<Answer> answers = AnswersOf(request.buttons);
        QList<QAbstractButton*> buttons;
        for (Answer a : answers) {
            buttons << box.addButton(standardButton(a));
            if (buttons.size() <= request.captions.size())
                buttons.last()->setText(request.captions[buttons.size() - 1]);
        }
        if (request.defaultButton >= 0 && request.defaultButton < buttons.size())
            box.setDefaultButton(qobject_cast<QPushButton*>(buttons[request.defaultButton]));
        box.exec();
        // The window the box came from takes the keys again. Without a window manager to hand the
        // focus back, Qt would leave no window active and the window's access keys would not work.
        if (owner && owner->isVisible() && !owner->isActiveWindow())
            owner->activateWindow();
        const qsizetype index = buttons.indexOf(box.clickedButton());
        if (index < 0)  // closed with Escape or the title bar: the cancelling answer, if any
            return answers.contains(Answer::Cancel) ? Answer::Cancel : answers.last();
        return answers[index];
    }

private:
    static QMessageBox::StandardButton standardButton(Answer a)
    {
        switch (a) {
        case Answer::Ok: return QMessageBox::Ok;
        case Answer::Cancel: return QMessageBox::Cancel;
        case Answer::Abort: return QMessageBox::Abort;
        case Answer::Retry: return QMessageBox::Retry;
        case Answer::Ignore: return QMessageBox::Ignore;
        case Answer::Yes: return QMessageBox::Yes;
        case Answer::No: return QMessageBox::No;
        case Answer::None: break;
        }
        return QMessageBox::Ok;
    }
};

WindowMessageBoxes& windowService()
{
    static WindowMessageBoxes service;
    return service;
}

MessageBoxService*& current()
{
    static MessageBoxService* service = nullptr;
    return service;
}

QString escaped(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    return text;
}

}  // namespace

Answer MsgBox(const QString& text, Buttons buttons, Icon icon, const QString& title, int defaultButton)
{
    return MsgBox(MessageBoxRequest{text, title, buttons, icon, defaultButton});
}

Answer MsgBox(const MessageBoxRequest& request)
{
    MessageBoxService* service = current() ? current() : &windowService();
    return service->ask(request);
}

MessageBoxService* SetMessageBoxService(MessageBoxService* service)
{
    return std::exchange(current(), service);
}

QList<Answer> AnswersOf(Buttons buttons)
{
    switch (buttons) {
    case Buttons::Ok: return {Answer::Ok};
    case Buttons::OkCancel: return {Answer::Ok, Answer::Cancel};
    case Buttons::AbortRetryIgnore: return {Answer::Abort, Answer::Retry, Answer::Ignore};
    case Buttons::YesNoCancel: return {Answer::Yes, Answer::No, Answer::Cancel};
    case Buttons::YesNo: return {Answer::Yes, Answer::No};
    case Buttons::RetryCancel: return {Answer::Retry, Answer::Cancel};
    }
    return {Answer::Ok};
}

QString ButtonsName(Buttons buttons)
{
    QStringList names;
    for (Answer a : AnswersOf(buttons))
        names << AnswerName(a);
    return names.join(QLatin1Char('/'));
}

QString IconName(Icon icon)
{
    switch (icon) {
    case Icon::None: return QStringLiteral("None");
    case Icon::Critical: return QStringLiteral("Critical");
    case Icon::Question: return QStringLiteral("Question");
    case Icon::Exclamation: return QStringLiteral("Exclamation");
    case Icon::Information: return QStringLiteral("Information");
    }
    return QString();
}

QString AnswerName(Answer answer)
{
    switch (answer) {
    case Answer::None: return QStringLiteral("None");
    case Answer::Ok: return QStringLiteral("Ok");
    case Answer::Cancel: return QStringLiteral("Cancel");
    case Answer::Abort: return QStringLiteral("Abort");
    case Answer::Retry: return QStringLiteral("Retry");
    case Answer::Ignore: return QStringLiteral("Ignore");
    case Answer::Yes: return QStringLiteral("Yes");
    case Answer::No: return QStringLiteral("No");
    }
    return QString();
}

Answer AnswerFromName(const QString& name)
{
    for (int i = 1; i <= 7; ++i) {
        const auto a = static_cast<Answer>(i);
        if (AnswerName(a).compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return a;
    }
    return Answer::None;
}

QString RecordLine(const MessageBoxRequest& request, Answer answer, bool expected)
{
    return QStringList{escaped(request.title), escaped(request.text), ButtonsName(request.buttons),
                       IconName(request.icon),
                       AnswerName(answer) + (expected ? QString() : QStringLiteral(" UNEXPECTED"))}
        .join(QLatin1Char('\t'));
}

FileScriptedMessageBoxes::FileScriptedMessageBoxes(const QString& answersFile, const QString& recordFile)
    : m_recordFile(recordFile)
{
    QFile file(answersFile);
    if (!answersFile.isEmpty() && file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream in(&file);
        while (!in.atEnd()) {
            const QString line = in.readLine().trimmed();
            if (!line.isEmpty())
                m_answers << AnswerFromName(line);
        }
    }
}

Answer FileScriptedMessageBoxes::ask(const MessageBoxRequest& request)
{
    const QList<Answer> offered = AnswersOf(request.buttons);
    bool expected = !m_answers.isEmpty() && offered.contains(m_answers.first());
    Answer answer;
    if (expected) {
        answer = m_answers.takeFirst();
    } else {
        // Nobody expected this box (or not with these buttons): take its default so the process
        // goes on, and say so in the record for the test to see.
        const int d = qBound(0, request.defaultButton, int(offered.size()) - 1);
        answer = offered[d];
    }
    if (!m_recordFile.isEmpty()) {
        QFile file(m_recordFile);
        if (file.open(QIODevice::Append | QIODevice::Text)) {
            QTextStream out(&file);
            out.setEncoding(QStringConverter::Utf8);
            out << RecordLine(request, answer, expected) << '\n';
        }
    }
    return answer;
}

void InstallMessageBoxesFromEnvironment()
{
    const QString answers = qEnvironmentVariable("KR5M_ANSWERS");
    const QString record = qEnvironmentVariable("KR5M_RECORD");
    if (answers.isEmpty() && record.isEmpty())
        return;
    static FileScriptedMessageBoxes service(answers, record);
    SetMessageBoxService(&service);
}

}  // namespace toolkit
