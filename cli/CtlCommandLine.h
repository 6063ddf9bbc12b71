#pragma once
// What brindlexctl was asked to do, read from its arguments before anything touches a database.

#include <QString>
#include <QStringList>

struct CtlRequest {
    enum class Command { List, Totals, MarkRead, MarkUnread, MarkAllRead, Reset, ExportOpml, ExportArticles };
    Command command = Command::List;
    QString key;            ///< a plain decimal key, for mark-read, mark-unread, reset and export-articles
    bool allFeeds = false;  ///< --all
    bool json = false;      ///< --json
    bool noRestart = false; ///< --no-restart
    bool flagged = false;   ///< --flagged
    bool unread = false;    ///< --unread
    bool jsonFeed = false;  ///< --format json (export-articles); Atom otherwise
    QString outputFile;     ///< -o FILE of the exports; empty for standard output
    QString database;       ///< --database PATH; empty to take it from the preferences
};

struct CtlCommandLine {
    enum class Outcome { Run, Help, Version, UsageError };
    Outcome outcome = Outcome::UsageError;
    CtlRequest request;   ///< meaningful for Run
    QString text;         ///< the help or version text, or what is wrong with the arguments
};

/// Reads the arguments (the program's name first). An option that the command does not take, a missing or
/// extra argument and a key that is not a decimal integer are usage errors.
CtlCommandLine ParseCommandLine(const QStringList& arguments);
