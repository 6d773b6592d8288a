// Shows the configuration window's content and saves each tab as <folder>/tab<n>.png, at the window's
// natural size and, as shot "small", at its minimum size.
#include "ui/main/fMainLayout.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextStream>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    QDir().mkpath(folder);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("KR5M-HU"));
    FMainControls c = BuildFMainLayout(&window);
    c.lblDeviceTemplate->setText(QStringLiteral("Ostrane [T7 (8000D3550004040B)]"));
    c.StatusBarPanel[1]->setText(QStringLiteral("Online"));
    c.StatusBarPanel[2]->setText(QStringLiteral("Subnet 1/KR5M 1"));
    c.WebBrowser1->setHtml(QStringLiteral("<h3>Contact</h3><p>Page text.</p>"));
    c.txtMajorVersion->setText(QStringLiteral("1"));
    c.txtMinorVersion->setText(QStringLiteral("0"));
    if (argc > 2) {
        c.txtDebug->setVisible(true);
        c.cmdDebug->setVisible(true);
    }
    window.show();
    QApplication::processEvents();

    QTextStream out(stdout);
    out << "natural " << window.size().width() << "x" << window.size().height() << " minimum "
        << window.minimumSizeHint().width() << "x" << window.minimumSizeHint().height() << Qt::endl;
    for (int tab = 0; tab < c.tabData->count(); ++tab) {
        c.tabData->setCurrentIndex(tab);
        QApplication::processEvents();
        window.grab().save(QStringLiteral("%1/tab%2.png").arg(folder).arg(tab));
    }
    window.resize(window.size() * 1.4);
    for (int tab : {0, 2, 5}) {
        c.tabData->setCurrentIndex(tab);
        QApplication::processEvents();
        window.grab().save(QStringLiteral("%1/large%2.png").arg(folder).arg(tab));
    }
    window.resize(window.minimumSizeHint());
    QApplication::processEvents();
    for (int tab = 0; tab < c.tabData->count(); ++tab) {
        c.tabData->setCurrentIndex(tab);
        QApplication::processEvents();
        window.grab().save(QStringLiteral("%1/small%2.png").arg(folder).arg(tab));
    }
    return 0;
}
