#include "Launch.h"

#include "analyzer/AnalyzerViewController.h"
#include "shell/AppDelegate.h"
#include "shell/MainWindowController.h"
#include "shell/NotificationCenter.h"
#include "shell/PathBytes.h"
#include "shell/SectionContainerViewController.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QMainWindow>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace Launch {

namespace {
// Options that take a value: their value is not the FOLDER argument.
const char* const valueOptions[] = {"--screenshots", "--analyzer-benchmark"};

bool takesValue(const char* argument)
{
    for (const char* option : valueOptions)
        if (std::strcmp(argument, option) == 0)
            return true;
    return false;
}

QByteArray workingDirectory()
{
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return QByteArray(buffer.data());
}
} // namespace

void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Reclaims disk space and looks after the computer. With FOLDER, the Disk Analyzer opens on "
                       "it and scans it; a program already running in this session is brought to the front."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("The folder to analyze."),
                                 QStringLiteral("[FOLDER]"));
    for (const char* name : valueOptions) {
        QCommandLineOption hidden(utf8Text(name + 2), QString(), QStringLiteral("PATH"));
        hidden.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(hidden);
    }
}

bool answersWithoutWindow(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            return false;
        if (takesValue(argv[i])) {
            ++i;
            continue;
        }
        // Anything else that looks like an option: help, version or a mistake the parser reports.
        if (argv[i][0] == '-' && argv[i][1] != '\0')
            return true;
    }
    return false;
}

QByteArray folderArgument(int argc, char* argv[])
{
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        if (!optionsEnded && std::strcmp(argv[i], "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && takesValue(argv[i])) {
            ++i;
            continue;
        }
        if (!optionsEnded && argv[i][0] == '-' && argv[i][1] != '\0')
            continue;
        QByteArray folder(argv[i]);
        if (folder.isEmpty())
            continue;
        if (!folder.startsWith('/')) {
            const QByteArray base = workingDirectory();
            if (base.isEmpty())
                return {};
            folder = base + (base.endsWith('/') ? "" : "/") + folder;
        }
        return folder;
    }
    return {};
}

void activate(AppDelegate& delegate, const QByteArray& folder)
{
    MainWindowController* controller = delegate.windowController();
    if (!controller)
        return;
    QMainWindow* window = controller->window();
    if (window->isMinimized())
        window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
    if (folder.isEmpty())
        return;
    NotificationCenter::shared().post(NotificationNames::switchSection, nullptr,
                                      {{NotificationNames::sectionKey, Sections::rawValue(Section::analyzer)}});
    auto* analyzer = dynamic_cast<AnalyzerViewController*>(controller->container()->controllers().at(Section::analyzer));
    if (analyzer) // a scan under way gives way to the folder asked for
        analyzer->analyze(pathFromBytes(std::string_view(folder.constData(), static_cast<std::size_t>(folder.size()))));
}

} // namespace Launch
