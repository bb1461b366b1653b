#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

// Independent readers of saved workbooks, run as subprocesses.

// True when Debian's python3 with xlrd, and Gnumeric's ssconvert, are installed.
bool HaveXlrd();
bool HaveSsconvert();

// What xlrd reads from each file: file path -> {"sheets": [{"name", "cells": [[row, col, ctype,
// value, xf, format]]}]} or {"error": text}. One xlrd process for all files.
QJsonObject ReadWithXlrd(const QStringList& files);

// Converts every sheet of each file to CSV with ssconvert, all files at once. Returns, per file,
// its standard error output, or a note when a sheet's CSV is missing.
QStringList ConvertWithSsconvert(const QStringList& files, const QString& outputFolder,
                                 const QList<int>& sheetCounts);

// LibreOffice's soffice, or empty when it is not installed.
QString FindSoffice();

// Converts files with LibreOffice (filter as --convert-to takes it) into outputFolder, with a
// profile of its own under profileFolder. LibreOffice sometimes crashes on the first start of a
// new profile; a conversion whose output is missing is then tried once more, and the retry is
// printed. Returns the names of the files still without output, with LibreOffice's error text.
QStringList ConvertWithLibreOffice(const QStringList& files, const QString& filter,
                                   const QString& outputFolder, const QString& profileFolder,
                                   const QString& outputSuffix);
