// XIF32BIN in.xif out.XFB: reads an external interface file and writes its binary form. Exit status 0
// with the XFB written, or non-zero with the reason on standard error and no XFB touched.
#include "platform/objectserver/Xif.h"

#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTextStream>

namespace {

constexpr int ExitUsage = 2;
constexpr int ExitFailed = 1;

const char* const Usage = "usage: XIF32BIN INPUT.xif OUTPUT.XFB\n"
                          "Converts an external interface file (XIF) to its binary form (XFB).\n";

}  // namespace

int main(int argc, char* argv[])
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args.append(QString::fromLocal8Bit(argv[i]));
        // A name that does not survive decoding would have another file read or written.
        if (QFile::encodeName(args.last()) != QByteArray(argv[i])) {
            err << "XIF32BIN: the file name " << args.last() << " is not valid in the system's encoding\n";
            return ExitUsage;
        }
    }

    if (args.size() == 1 && (args.first() == QLatin1String("--help") || args.first() == QLatin1String("/?"))) {
        out << Usage;
        return 0;
    }
    if (args.size() != 2 || args.at(0).isEmpty() || args.at(1).isEmpty()) {
        err << "XIF32BIN: expected an input XIF and an output XFB\n" << Usage;
        return ExitUsage;
    }
    const QString xifPath = args.at(0);
    const QString xfbPath = args.at(1);
    // Writing the XFB over its own XIF would destroy the input.
    if (QFileInfo(xfbPath).exists() &&
        QFileInfo(xifPath).canonicalFilePath() == QFileInfo(xfbPath).canonicalFilePath()) {
        err << "XIF32BIN: the output " << xfbPath << " is the input file\n";
        return ExitUsage;
    }

    try {
        const lns::xif::InterfaceDefinition definition = lns::xif::ParseXif(xifPath);
        lns::xif::WriteXfb(definition, xfbPath);
        out << "XIF32BIN: " << xfbPath << " written (program ID " << definition.programId << ", "
            << definition.networkVariables.size() << " network variables, " << definition.lonMarkObjects.size()
            << " LonMark objects)\n";
        return 0;
    } catch (const com::ComError& e) {
        err << "XIF32BIN: " << e.description() << '\n';
        return ExitFailed;
    }
}
