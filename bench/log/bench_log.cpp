// Appends 1,000 and 100,000 rows to the real activity log window (offscreen, hidden as it is while
// the plug-in reads a device) and saves the large log through the window's Save button.
//
//   RESULT log-append-scaling  per-row cost appending 100,000 rows / per-row cost appending 1,000
//   RESULT log-save            save time / a plain std::ofstream writing the same bytes, same run
#include "platform/toolkit/FileDialog.h"
#include "platform/toolkit/MessageBox.h"
#include "ui/log/fLog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <vector>

namespace {

class ChosenFile : public toolkit::FileDialogService {
public:
    QString path;
    std::optional<QString> openFile(const toolkit::FileDialogRequest&) override { return std::nullopt; }
    std::optional<QString> saveFile(const toolkit::FileDialogRequest&) override { return path; }
};

// No box is expected: a save that asks or fails would measure the wrong thing.
class NoBoxes : public toolkit::MessageBoxService {
public:
    int shown = 0;
    toolkit::Answer ask(const toolkit::MessageBoxRequest& request) override
    {
        ++shown;
        std::fprintf(stderr, "unexpected box: %s\n", qPrintable(request.text));
        return toolkit::Answer::Cancel;
    }
};

struct Texts {
    std::vector<QString> actions;
    std::vector<QString> results;
};

Texts makeTexts(int count)
{
    static const char* const names[] = {"nciSetPoints", "nciTempOffset", "nciMinOutTemp", "nciHeatMax",
                                        "nciCoolMin",   "nciUnits",      "nciFanSpeed",   "nciDeadBand"};
    Texts t;
    t.actions.reserve(size_t(count));
    t.results.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        t.actions.push_back(QStringLiteral("Reading %1").arg(QLatin1String(names[i % 8])));
        t.results.push_back(
            QStringLiteral("%1.%2 %3.0 \"auto\", %4").arg(18 + i % 9).arg(i % 10).arg(20 + i % 7).arg(i));
    }
    return t;
}

// Nanoseconds to append count rows to a fresh window; the window is handed back for saving.
qint64 appendRows(const Texts& texts, int count, std::unique_ptr<fLog>& window)
{
    window = std::make_unique<fLog>();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i)
        window->LogCommand(texts.actions[size_t(i)], texts.results[size_t(i)]);
    return timer.nsecsElapsed();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    NoBoxes boxes;
    toolkit::SetMessageBoxService(&boxes);
    ChosenFile dialog;
    toolkit::SetFileDialogService(&dialog);

    constexpr int small = 1000;
    constexpr int large = 100000;
    const Texts texts = makeTexts(large);

    std::unique_ptr<fLog> window;
    appendRows(texts, small, window);  // warm-up: fonts, caches

    std::vector<double> smallPerRow;
    for (int run = 0; run < 21; ++run)
        smallPerRow.push_back(double(appendRows(texts, small, window)) / small);
    const double perRowSmall = median(smallPerRow);

    std::vector<double> largePerRow;
    for (int run = 0; run < 3; ++run)
        largePerRow.push_back(double(appendRows(texts, large, window)) / large);
    const double perRowLarge = median(largePerRow);

    // The marginal cost: 1,000 more rows on top of the 100,000 already there.
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < small; ++i)
        window->LogCommand(texts.actions[size_t(i)], texts.results[size_t(i)]);
    const double perRowOnTop = double(timer.nsecsElapsed()) / small;

    std::printf("append: %d rows %.2f us/row (median of 21), %d rows %.2f us/row (median of 3), "
                "1,000 more on top of %d rows %.2f us/row\n",
                small, perRowSmall / 1000.0, large, perRowLarge / 1000.0, large, perRowOnTop / 1000.0);

    // Saving the large log (101,000 rows) against writing the same bytes with a plain ofstream.
    QTemporaryDir folder;
    std::vector<double> saves;
    std::vector<double> plains;
    QByteArray bytes;
    for (int run = 0; run < 5; ++run) {
        dialog.path = folder.filePath(QStringLiteral("log%1.csv").arg(run));
        timer.start();
        window->cmdSave->click();
        saves.push_back(double(timer.nsecsElapsed()));

        QFile saved(dialog.path);
        if (!saved.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "the save wrote nothing\n");
            return 1;
        }
        bytes = saved.readAll();

        const std::string plainPath = folder.filePath(QStringLiteral("plain%1.csv").arg(run)).toStdString();
        timer.start();
        {
            std::ofstream out(plainPath, std::ios::binary | std::ios::trunc);
            out.write(bytes.constData(), std::streamsize(bytes.size()));
        }
        plains.push_back(double(timer.nsecsElapsed()));
    }
    const double save = median(saves);
    const double plain = median(plains);
    std::printf("save: %d rows, %lld bytes, %.2f ms (median of 5); std::ofstream of the same bytes %.2f ms\n",
                window->OstLog ? large + small : 0, static_cast<long long>(bytes.size()), save / 1e6, plain / 1e6);

    std::printf("RESULT log-append-scaling %.3f target 1.5\n", perRowLarge / perRowSmall);
    std::printf("RESULT log-save %.3f target 2\n", save / plain);
    toolkit::SetFileDialogService(nullptr);
    toolkit::SetMessageBoxService(nullptr);
    return boxes.shown == 0 ? 0 : 1;
}
