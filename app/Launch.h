// The program's command line and what a launch hands to the running window.
//
//   brisklet [FOLDER]     opens the Disk Analyzer on FOLDER and starts its scan
//   --help, --version     answered without a display
//
// FOLDER is taken from argv as bytes and made absolute against the working directory as bytes, so a
// name that is not UTF-8 reaches the scanner unchanged. The pictures (--screenshots DIR) and the analyzer
// benchmark (--analyzer-benchmark TREE) are hidden options for scripts/screenshots and bench/.
#pragma once

#include <QByteArray>
#include <QString>

class AppDelegate;
class QCommandLineParser;

namespace Launch {

// The options and the FOLDER argument, as --help lists them.
void describe(QCommandLineParser& parser);

// True when the arguments ask only for --help or --version (or are malformed): the parser answers
// those and ends the process before any window system is needed.
bool answersWithoutWindow(int argc, char* argv[]);

// The first FOLDER argument of argv, absolute, as bytes; empty when none was given.
QByteArray folderArgument(int argc, char* argv[]);

// What a launch asks of the running program: its window to the front and, with a folder, the Disk
// Analyzer showing that folder with its scan started.
void activate(AppDelegate& delegate, const QByteArray& folder);

} // namespace Launch
