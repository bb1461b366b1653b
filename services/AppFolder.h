#pragma once

#include <QString>

// AppFolder for a program in programFolder: that folder itself when config.pz or a template
// workbook lies beside the program (a build tree, a copied folder); otherwise, for an installed
// program, configHome + "corvane/", made on first start with an empty config.pz in it. An empty
// configHome (no home folder) keeps the program's folder. The result ends in "/".
QString ChooseAppFolder(const QString& programFolder, const QString& configHome);

// The template workbook titled title: AppFolder's own copy when there is one, else the copy
// installed with the program in installedFolder. With neither, AppFolder's path, for the message.
QString TemplatePath(const QString& appFolder, const QString& title, const QString& installedFolder);
// The same with the templates installed beside the program's prefix (/usr/share/corvane/ for
// /usr/bin/corvane).
QString TemplatePath(const QString& appFolder, const QString& title);
