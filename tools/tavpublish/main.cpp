// tavpublish: makes signing keys, builds signed version lists for TavUpdate,
// checks them against the server folder and prunes stored releases.
#include "Commands.h"

#include <cstdio>
#include <string>

namespace {

const char kUsage[] =
    "Usage:\n"
    "  tavpublish keygen KEYFILE\n"
    "  tavpublish build [--key KEYFILE] [--serial N] [--list-path PATH]\n"
    "                   [--expires-days N | --no-expiry] [--store SERVER_DIR]\n"
    "                   [--rollout-days N [--rollout-start TIME]] [--next-key KEYFILE]\n"
    "                   [--blocks] LISTING SERVER_DIR|RELEASE_DIR LIST\n"
    "  tavpublish verify [--key KEY] [--list-path PATH] LIST SERVER_DIR\n"
    "  tavpublish prune --keep N LIST SERVER_DIR\n"
    "  tavpublish report [--path PATH] [--list LIST] [--json FILE] [--html FILE] LOG...\n"
    "  tavpublish COMMAND --help\n"
    "Makes a signing key, builds a version list with each module's SHA-256, a\n"
    "serial and its signature (LIST.sig), checks a list as TavUpdate would,\n"
    "deletes stored modules no recent list names, and reports what the desktops'\n"
    "passes met from the server's access logs.\n";

const char kKeygenHelp[] =
    "Usage: tavpublish keygen KEYFILE\n"
    "Makes a new RSA-3072 signing key and writes it to KEYFILE (PEM, readable by\n"
    "its owner only; an existing file is never overwritten). Prints the line to\n"
    "put into the [SERVER] section of every TavUpdateInfo.ini:\n"
    "  Signing Key=<base64 of the public key>\n"
    "Keep KEYFILE secret: every updater holding that line installs what it signs.\n";

const char kBuildHelp[] =
    "Usage: tavpublish build [--key KEYFILE] [--serial N] [--list-path PATH]\n"
    "                        [--expires-days N | --no-expiry] [--store SERVER_DIR]\n"
    "                        [--rollout-days N [--rollout-start TIME]]\n"
    "                        [--next-key KEYFILE] [--blocks]\n"
    "                        LISTING SERVER_DIR|RELEASE_DIR LIST\n"
    "Writes the version list LIST from LISTING, a UTF-8 file of lines\n"
    "  local path | remote path | options\n"
    "(\";\" starts a comment; options are the letters F, R, E, or nothing). Every\n"
    "remote path must name a file below SERVER_DIR, the folder the update server\n"
    "serves, by its UTF-8 name (percent escapes are decoded, as HTTP servers do).\n"
    "LIST, in code page 949 (the updater's), gets each module's SHA-256 and size\n"
    "and a serial one above the list it replaces (1 for a new list; --serial N\n"
    "sets it, always above the old one). It names the list path it is for\n"
    "(\";list=\": LIST's path below SERVER_DIR, or --list-path PATH, the \"Remote\n"
    "Version File\" of the updaters it serves): updaters of another list path\n"
    "refuse it. It expires after --expires-days N days (default 90; \";expires=\"),\n"
    "after which updaters refuse it: publish again before then. --no-expiry\n"
    "writes none. Two lines may not name one local file.\n"
    "With --key, LIST.sig gets the signature that updaters configured with the\n"
    "key's \"Signing Key\" check; without it, a LIST.sig left from before is\n"
    "removed. Nothing is written when anything is wrong.\n"
    "--store SERVER_DIR: a release that cannot tear in a cache. The modules are\n"
    "read from RELEASE_DIR at their remote paths and copied into SERVER_DIR at\n"
    "paths that name their content (<folder>/<sha256>/<name>), which the list\n"
    "gives; a stored file is never rewritten. LIST (below SERVER_DIR) and\n"
    "LIST.sig are written last, and kept also as LIST.<serial> and its .sig.\n"
    "--rollout-days N: desktops take the release spread over N days from now\n"
    "(or from --rollout-start YYYY-MM-DDTHH:MM:SSZ); desktops without it take it\n"
    "at once. Widening or stopping a rollout is a new list.\n"
    "--next-key KEYFILE (a PEM key, private or public): announces the key that\n"
    "signs the next lists; updaters that accept this list trust it from then on.\n"
    "--blocks: writes each module's block map (its content-defined chunks with\n"
    "their SHA-256) beside it as <name>.blocks, or stored by the map's own digest\n"
    "with --store, and names it in the module's line (blocks=, blocks-sha256=).\n";

const char kVerifyHelp[] =
    "Usage: tavpublish verify [--key KEY] [--list-path PATH] LIST SERVER_DIR\n"
    "Checks LIST as TavUpdate would, against the files in SERVER_DIR: the\n"
    "signature in LIST.sig (KEY is the private or public key file, or the\n"
    "\"Signing Key\" value; without --key the signature is not checked), the\n"
    "serial, the list path it names (LIST's path below SERVER_DIR, or --list-path\n"
    "PATH), its expiry, its rollout, the SHA-256 and size of every module, and\n"
    "every block map a line names (its digest, and that it is the module's).\n"
    "Prints the rollout's state and the keys in play (the one checked, the next\n"
    "one announced). Names everything that is wrong.\n"
    "Exit status 0 when nothing is, 1 otherwise.\n";

const char kPruneHelp[] =
    "Usage: tavpublish prune --keep N LIST SERVER_DIR\n"
    "Deletes from SERVER_DIR the stored modules and block maps (files in a\n"
    "folder named by a SHA-256, as build --store writes them) that none of the\n"
    "newest N kept lists (LIST.<serial>) nor LIST names, and the kept lists\n"
    "older than those N with their signatures. Updaters still working from one\n"
    "of the N lists find every module it names. Deletes nothing (exit status 1)\n"
    "when LIST or one of those kept lists cannot be read or is not a whole list\n"
    "as build writes it.\n";

const char kReportHelp[] =
    "Usage: tavpublish report [--path PATH] [--list LIST] [--json FILE] [--html FILE]\n"
    "                         LOG...\n"
    "Reads the pass reports (GET requests of the \"Report URL\") in access logs\n"
    "of the combined format (nginx, apache, varnishncsa; \"-\" reads standard\n"
    "input, so \"zcat access.log.*.gz | tavpublish report -\"), keeps the last\n"
    "report of each desktop and prints the desktops per installed serial, per\n"
    "exit code of their last pass and per day (UTC: those that reported, and\n"
    "those on each serial at the day's end), and the exit codes that failed\n"
    "most. --path PATH: only requests of that path (the Report URL's); without\n"
    "it, every request whose query is a report.\n"
    "--list LIST: the rollout of that version list: the share of desktops its\n"
    "\";rollout=\" has reached now against the share of reporting desktops (of\n"
    "its list path) on its serial, the desktops whose turn has come by their\n"
    "bucket and those held back.\n"
    "--json FILE: the same for machines. --html FILE: one page, no scripts and\n"
    "nothing from elsewhere, with a chart of desktops per serial by day and\n"
    "one of exit codes.\n";

// Options anywhere among the arguments; false on an unknown one or one the
// command does not take (options: the ones it takes, each between blanks).
bool ParseArgs(int argc, char** argv, const std::string& options, Args& args) {
    struct {
        const char* name;
        std::string Args::*value;
    } const valued[] = {{"--key", &Args::key},
                        {"--list-path", &Args::listPath},
                        {"--serial", &Args::serial},
                        {"--expires-days", &Args::expiresDays},
                        {"--store", &Args::store},
                        {"--rollout-days", &Args::rolloutDays},
                        {"--rollout-start", &Args::rolloutStart},
                        {"--next-key", &Args::nextKey},
                        {"--keep", &Args::keep},
                        {"--list", &Args::list},
                        {"--json", &Args::json},
                        {"--html", &Args::html},
                        {"--path", &Args::reportPath}};
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        const bool takes = options.find(" " + a + " ") != std::string::npos;
        if (a == "--help" || a == "-h") {
            args.help = true;
            continue;
        }
        if (takes && a == "--no-expiry") {
            args.noExpiry = true;
            continue;
        }
        if (takes && a == "--blocks") {
            args.blocks = true;
            continue;
        }
        bool known = false;
        for (const auto& v : valued) {
            if (takes && a == v.name && i + 1 < argc) {
                args.*v.value = argv[++i];
                known = true;
            }
        }
        if (known)
            continue;
        if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "tavpublish: unknown option %s\n", a.c_str());
            return false;
        }
        args.positional.push_back(a);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    struct {
        const char* name;
        const char* help;
        int (*run)(const Args&);
        const char* options;
    } commands[] = {{"keygen", kKeygenHelp, Keygen, " --key --list-path "},
                    {"build", kBuildHelp, Build,
                     " --key --list-path --serial --expires-days --no-expiry --store "
                     "--rollout-days --rollout-start --next-key --blocks "},
                    {"verify", kVerifyHelp, Verify, " --key --list-path "},
                    {"prune", kPruneHelp, Prune, " --keep "},
                    {"report", kReportHelp, Report, " --list --json --html --path "}};
    for (const auto& c : commands) {
        if (command != c.name)
            continue;
        Args args;
        if (!ParseArgs(argc, argv, c.options, args)) {
            std::fputs(c.help, stderr);
            return 2;
        }
        if (args.help) {
            std::fputs(c.help, stdout);
            return 0;
        }
        return c.run(args);
    }
    std::fputs(kUsage, stderr);
    return 2;
}
