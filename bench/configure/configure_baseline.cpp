// The baseline of bench_configure: a plain Qt Widgets program that creates N widgets in a window,
// shows it, lets it paint once and exits.
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {

// Ends the program once the window has painted for the first time: a shown window is a painted one.
class FirstPaint : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 300;
    QWidget window;
    auto* layout = new QGridLayout(&window);
    for (int i = 0; i < count - 1; ++i) {
        QWidget* w = nullptr;
        switch (i % 3) {
        case 0: w = new QLabel(QStringLiteral("Label %1").arg(i)); break;
        case 1: w = new QLineEdit(QString::number(i)); break;
        default: {
            auto* c = new QComboBox;
            c->addItems({QStringLiteral("ONE"), QStringLiteral("TWO")});
            w = c;
        }
        }
        layout->addWidget(w, i / 12, i % 12);
    }
    FirstPaint firstPaint;
    window.installEventFilter(&firstPaint);
    window.show();
    // A window that never paints would make the figure meaningless: fail instead.
    QTimer::singleShot(10000, &app, [] {
        std::fprintf(stderr, "configure_baseline: the window did not paint\n");
        QCoreApplication::exit(1);
    });
    return app.exec();
}
