// The baseline of bench_configure: a plain Qt Widgets program that creates N widgets in a window,
// shows it, lets it paint once and exits.
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

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
    window.show();
    QTimer::singleShot(0, &app, &QApplication::quit);
    return app.exec();
}
