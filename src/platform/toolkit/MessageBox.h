#pragma once
// Every message box of the program goes through this one service. The window build shows a
// QMessageBox; tests install a scripted answerer; a whole process started with KR5M_ANSWERS /
// KR5M_RECORD answers from a file and records every box, so that no code path waits on a person.
#include <QList>
#include <QString>
#include <QStringList>

namespace toolkit {

enum class Buttons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class Icon { None, Critical, Question, Exclamation, Information };
// Values as a message box function returns them.
enum class Answer { None = 0, Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

struct MessageBoxRequest {
    QString text;
    QString title;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    int defaultButton = 0;  // 0-based position among the buttons
    // The buttons' captions where they say more than Yes or No ("&Overwrite"), in the buttons' order;
    // the answers stay those of the buttons.
    QStringList captions = {};
};

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual Answer ask(const MessageBoxRequest& request) = 0;
};

// Shows a box through the current service and returns the answer.
Answer MsgBox(const QString& text, Buttons buttons = Buttons::Ok, Icon icon = Icon::None,
              const QString& title = QString(), int defaultButton = 0);
Answer MsgBox(const MessageBoxRequest& request);

// Replaces the service and returns the one it replaces, so that it can be put back; nullptr
// restores the window service. The caller keeps ownership.
MessageBoxService* SetMessageBoxService(MessageBoxService* service);

// The answers a set of buttons offers, in order.
QList<Answer> AnswersOf(Buttons buttons);
QString ButtonsName(Buttons buttons);
QString IconName(Icon icon);
QString AnswerName(Answer answer);
Answer AnswerFromName(const QString& name);  // case-insensitive; None when unknown

// Answers from the file named by KR5M_ANSWERS (one answer a line) and appends every box to the file
// named by KR5M_RECORD. Installed at program start when either variable is set.
class FileScriptedMessageBoxes : public MessageBoxService {
public:
    FileScriptedMessageBoxes(const QString& answersFile, const QString& recordFile);
    Answer ask(const MessageBoxRequest& request) override;

private:
    QList<Answer> m_answers;
    QString m_recordFile;
};

// Line written to the record file for one box: title, text, buttons, icon and answer, tab-separated,
// with CR and LF inside the text written as \r and \n.
QString RecordLine(const MessageBoxRequest& request, Answer answer, bool expected);

// Installs the file-scripted service when the environment asks for it.
void InstallMessageBoxesFromEnvironment();

}  // namespace toolkit
