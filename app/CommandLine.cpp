#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace {

// QApplication's own options, which it takes out of the arguments itself.
const char *const kQtOptionsWithValue[] = {
    "platform",    "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "display", "geometry",
    "style",       "stylesheet",         "name",          "title"};
const char *const kQtSwitches[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

std::optional<int> answerCommandLine(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Fetches the latest news clip every hour, a set number of minutes after the full hour, from the\n"
        "system tray. Its settings are kept in $XDG_DATA_HOME/ZandorUpdate/appSettings.plist; see\n"
        "zandorupdate(1)."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    parser.addOption(help);
    parser.addOption(version);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char *name : kQtOptionsWithValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : kQtSwitches) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    const QString program = QStringLiteral("zandorupdate");
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        const QString error =
            parser.positionalArguments().isEmpty()
                ? parser.errorText()
                : QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
        print(stderr, program + QStringLiteral(": ") + error + QStringLiteral("\nTry '") + program +
                          QStringLiteral(" --help' for more information.\n"));
        return 2;
    }
    if (parser.isSet(help)) {
        print(stdout, QStringLiteral("Usage: %1 [options]\n%2\n\nOptions:\n"
                                     "  -h, --help     Show this help and exit.\n"
                                     "  -v, --version  Show the version and exit.\n")
                          .arg(program, parser.applicationDescription()));
        return 0;
    }
    if (parser.isSet(version)) {
        print(stdout, program + QLatin1Char(' ') + QStringLiteral(ZU_VERSION) + QLatin1Char('\n'));
        return 0;
    }
    return std::nullopt;
}
