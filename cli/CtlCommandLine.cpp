#include "cli/CtlCommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

#include "feeds/feed.h"

namespace {

using Command = CtlRequest::Command;

struct CommandInfo {
    const char* name;
    Command command;
    bool takesKey;         ///< export-articles takes one unless given --flagged
    QStringList options;   ///< the options beyond --database that the command takes
};

const CommandInfo kCommands[] = {
    {"list", Command::List, false, {"all", "json"}},
    {"totals", Command::Totals, false, {"all", "json"}},
    {"mark-read", Command::MarkRead, true, {}},
    {"mark-unread", Command::MarkUnread, true, {}},
    {"mark-all-read", Command::MarkAllRead, false, {}},
    {"reset", Command::Reset, true, {"no-restart"}},
    {"export-opml", Command::ExportOpml, false, {"all", "output"}},
    {"export-articles", Command::ExportArticles, true, {"flagged", "unread", "format", "output"}},
};

const char* const kDescription =
    "Lists and changes the feeds of the browser's syndication database.\n"
    "\n"
    "Commands:\n"
    "  list [--all] [--json]          every subscribed feed (--all: every feed) with its key, article and unread\n"
    "                                 counts and title, ordered by title\n"
    "  totals [--all] [--json]        the numbers of feeds, articles and unread articles, as the window shows them\n"
    "  mark-read KEY                  marks the articles of the feed with that key read\n"
    "  mark-unread KEY                marks them unread\n"
    "  mark-all-read                  marks every article read\n"
    "  reset KEY [--no-restart]       deletes the feed and its articles, then restarts the browser so it fetches\n"
    "                                 the feed again\n"
    "  export-opml [--all] [-o FILE]  the subscribed feeds (--all: every feed) as OPML 2.0, for other readers\n"
    "  export-articles KEY [--flagged] [--unread] [--format atom|json] [-o FILE]\n"
    "                                 the feed's articles (--flagged, --unread: only those) as an Atom 1.0 or\n"
    "                                 JSON Feed 1.1 document, newest first, for other readers\n"
    "  export-articles --flagged [--unread] [--format atom|json] [-o FILE]\n"
    "                                 every feed's flagged articles, each naming its feed\n"
    "\n"
    "The database is --database PATH, else the one set in BrindleX's preferences, else the default.\n"
    "Exit status: 0 done; 1 the database could not be opened, a statement failed or no feed has that key;\n"
    "2 the command line is wrong.";

CtlCommandLine Usage(const QString& text) { return {CtlCommandLine::Outcome::UsageError, {}, text}; }

}  // namespace

CtlCommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    // Help and version made here rather than by addHelpOption(), which adds Qt's own options to the help.
    const QCommandLineOption help({"h", "help"}, "Shows this help.");
    const QCommandLineOption version({"v", "version"}, "Shows the version.");
    parser.addOption(help);
    parser.addOption(version);
    parser.addOptions({
        {"all", "Every feed, not only the subscribed ones."},
        {"json", "JSON instead of columns."},
        {"no-restart", "Leaves the browser alone after a reset."},
        {"flagged", "Only flagged articles."},
        {"unread", "Only unread articles."},
        {"format", "atom (the default) or json.", "FORMAT"},
        {{"o", "output"},
         "Writes the export to FILE instead of standard output: a file is replaced whole, a pipe or a device "
         "written to as it is; never the database.", "FILE"},
        {"database", "The syndication database to work on.", "PATH"},
    });
    parser.addPositionalArgument("command", "One of the commands above.", "command [KEY]");

    // parse(), not process(): process() ends the program itself, with its own exit statuses.
    if (!parser.parse(arguments)) {
        QString error = parser.errorText();
        if (error.endsWith('.')) error.chop(1);
        return Usage(error);
    }
    if (parser.isSet(help)) {
        // Named as people type it, not by the path it was started from.
        QString text = parser.helpText();
        text.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")), QStringLiteral("Usage: brindlexctl"));
        if (!text.endsWith('\n')) text += '\n';
        return {CtlCommandLine::Outcome::Help, {}, text};
    }
    if (parser.isSet(version))
        return {CtlCommandLine::Outcome::Version, {},
                QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion() + '\n'};

    QStringList words = parser.positionalArguments();
    if (words.isEmpty()) return Usage(QStringLiteral("no command given"));
    const QString name = words.takeFirst();
    const CommandInfo* info = nullptr;
    for (const CommandInfo& c : kCommands)
        if (name == QLatin1String(c.name)) info = &c;
    if (!info) return Usage(QStringLiteral("unknown command '%1'").arg(name));

    for (const QString option : {"all", "json", "no-restart", "flagged", "unread", "format", "output"})
        if (parser.isSet(option) && !info->options.contains(option))
            return Usage(QStringLiteral("%1 does not take --%2").arg(name, option));

    CtlRequest r;
    r.command = info->command;
    const bool keyOptional = r.command == Command::ExportArticles && parser.isSet("flagged");
    if (info->takesKey && !(keyOptional && words.isEmpty())) {
        const QString orFlagged = r.command == Command::ExportArticles ? QStringLiteral(", or --flagged") : QString();
        if (words.isEmpty()) return Usage(QStringLiteral("%1 needs the key of a feed%2").arg(name, orFlagged));
        r.key = words.takeFirst();
        // Only a plain decimal key may reach a statement.
        if (!feed::IsPlainKey(r.key.toStdString())) return Usage(QStringLiteral("'%1' is not a feed's key").arg(r.key));
    }
    if (!words.isEmpty()) return Usage(QStringLiteral("unexpected '%1'").arg(words.first()));

    r.allFeeds = parser.isSet("all");
    r.json = parser.isSet("json");
    r.noRestart = parser.isSet("no-restart");
    r.flagged = parser.isSet("flagged");
    r.unread = parser.isSet("unread");
    if (parser.isSet("format")) {
        const QString format = parser.value("format");
        if (format != QLatin1String("atom") && format != QLatin1String("json"))
            return Usage(QStringLiteral("--format is atom or json, not '%1'").arg(format));
        r.jsonFeed = format == QLatin1String("json");
    }
    r.outputFile = parser.value("output");
    r.database = parser.value("database");
    if (parser.isSet("output") && r.outputFile.isEmpty()) return Usage(QStringLiteral("-o needs a file name"));
    if (parser.isSet("database") && r.database.isEmpty()) return Usage(QStringLiteral("--database needs a path"));
    return {CtlCommandLine::Outcome::Run, r, {}};
}
