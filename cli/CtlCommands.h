#pragma once
// The commands of brindlexctl, each run to its end on one connection.

#include <QString>

#include "cli/CtlCommandLine.h"

struct CtlResult {
    int status = 0;               ///< exit status: 0 done, 1 failed
    bool restartBrowser = false;  ///< a feed was reset and the browser is to be restarted
};

/// The database to use: --database, else the preferences' DatabaseFileName, else the default path. Reads the
/// preferences file only; never creates or writes it. A preferences file that is there but cannot be read gives
/// no path (error says why): the database it names is not known, and no other is guessed.
QString DatabasePath(const CtlRequest& request, QString& error);

/// Runs a parsed request, writing its output to standard output and a failure as one line on standard error.
CtlResult RunCommand(const CtlRequest& request);

/// Writes "brindlexctl: message" as one line on standard error.
void PrintError(const QString& message);
