#pragma once

#include <QString>
#include <QStringList>

class MessageSink;
struct Settings;

// Runs one command line (without the program name). programFolder is where config.pz is
// looked for unless --app-folder says otherwise. Returns the exit status.
int RunCommandLine(const QStringList& arguments, const QString& programFolder);

// A command's work, after the common options were taken: the settings for this run, the
// remaining arguments, the sink. Returns the exit status; throws nothing.
using CommandRoutine = int (*)(Settings& settings, const QStringList& arguments, MessageSink& sink);

int InitDbCommand(Settings& settings, const QStringList& arguments, MessageSink& sink);
int ImportUnitsCommand(Settings& settings, const QStringList& arguments, MessageSink& sink);
int ImportProjectsCommand(Settings& settings, const QStringList& arguments, MessageSink& sink);
int ReportsCommand(Settings& settings, const QStringList& arguments, MessageSink& sink);
int BatchesCommand(Settings& settings, const QStringList& arguments, MessageSink& sink);
int BatchCommand(Settings& settings, const QStringList& arguments, MessageSink& sink);
