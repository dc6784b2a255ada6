#include "cli/command_line.h"

#include "cli/cli_adopt.h"
#include "cli/cli_commands.h"
#include "cli/cli_watch.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <cctype>
#include <cstdint>
#include <limits>
#include <new>
#include <optional>
#include <ostream>

namespace quillstamper::cli {

namespace {

constexpr const char* kWebHelp = "web files, or folders to search for .htm .html .pl .php files";
constexpr const char* kTemplateHelp =
    "template files, or folders whose files are all templates (kept out of web file searches)";
constexpr const char* kExcludeHelp =
    "leave out what a folder search finds if it matches GLOB (see below); may be repeated";

constexpr const char* kMaxFileSizeHelp =
    "refuse files larger than BYTES; K, M, G: KiB, MiB, GiB (default 1G)";

constexpr const char* kSkippedNames =
    "A folder search skips hidden files and folders, and what editors and merge tools leave\n"
    "beside a file: NAME~, #NAME#, NAME.swp (and vim's .swo ... .swg, .swx), 4913,\n"
    "NAME.orig, NAME.bak and NAME.rej. ";

// watch waits for a file where the other commands stop.
std::string SearchRules(bool waits) {
    return std::string(kSkippedNames) +
           (waits ? "A folder whose search gives no file yet is waited for.\n\n"
                  : "A folder whose search gives no file is a usage error.\n\n");
}

constexpr const char* kExcludeRules =
    "--exclude GLOB is matched with fnmatch(3) against the path of each file and folder below\n"
    "the searched folder, e.g. drafts/old.html; * ? and [...] never match '/'. A GLOB without\n"
    "'/' is matched against the last name only, at any depth; a leading '/' anchors it to the\n"
    "searched folder; a trailing '/' makes it match folders only. A folder that matches is not\n"
    "searched. Files named directly after --web or --template are never left out.\n\n";

constexpr const char* kStatusFailure =
    "  2  usage error, a missing path or a folder that gives no file, no web or no template\n"
    "     files, a refused project file, a file error, or a file that is not a regular file or\n"
    "     too large\n";
constexpr const char* kStatusDynamize =
    "  2  also: a page changed by another program while it was converted, twice\n"
    "  3  a block was left unchanged because its end line is missing\n"
    "  129, 130, 143  stopped by SIGHUP, SIGINT (Ctrl-C) or SIGTERM; pages not reached are\n"
    "     left as they were\n";

// What the commands work on, for the program's own help.
constexpr const char* kBlocks =
    "Blocks:\n"
    "  A block is a start line, its content and the first end line after it. Dynamize\n"
    "  gives each block of a page the content of the template block with the same start\n"
    "  line, byte for byte. With the default marker table, in HTML:\n"
    "    <!-- Trelvonix menu -->\n"
    "    <nav>...</nav>\n"
    "    <!-- Trelvonix menu end -->\n"
    "  The same with '# Trelvonix ' (Perl, shell) or '// Trelvonix ' (JavaScript, PHP) at\n"
    "  the start of the start line; every end line ends with ' end -->'. A project file\n"
    "  keeps a marker table of its own.\n\n";

// Every status any command gives, for the program's own help.
constexpr const char* kStatusAll =
    "  0  success; watch: stopped with Ctrl-C (SIGINT), SIGTERM or SIGHUP\n"
    "  1  check found reports or a page an interrupted run left half written (with\n"
    "     --strict: or notes), or dynamize --check found a web file that would change\n"
    "  2  usage error, a missing path, no web or no template files, a refused project file,\n"
    "     a project file that init would replace without --force, a file error, or a file\n"
    "     that is not a regular file or too large; dynamize: a page another program changed\n"
    "     while it was converted, twice; watch: lists that cannot be read at start\n"
    "  3  dynamize left a block unchanged because its end line is missing\n"
    "  129, 130, 143  dynamize stopped by SIGHUP, SIGINT (Ctrl-C) or SIGTERM; pages not\n"
    "     reached are left as they were\n"
    "  Where several apply: 2 for a file error, then the signal's, then 2, 3, 1.\n";

std::string Footer(const std::string& statuses, const std::string& purpose,
                   const std::string& example) {
    return "Exit status:\n" + statuses + "\nExample, " + purpose + ":\n  " + example + "\n";
}

CLI::Option* AddExcludeOption(CLI::App& command, std::vector<std::string>& patterns) {
    return command.add_option("--exclude", patterns, kExcludeHelp)
        ->type_name("GLOB")
        ->allow_extra_args(false);
}

// Rewrites "64K", "16M", "2G" or plain digits as the number of bytes.
std::string ToByteCount(std::string& text) {
    std::uint64_t unit = 1;
    std::string_view digits = text;
    if (!digits.empty() && !std::isdigit(static_cast<unsigned char>(digits.back()))) {
        const char suffix =
            static_cast<char>(std::toupper(static_cast<unsigned char>(digits.back())));
        const std::string_view suffixes = "KMG";
        const std::size_t power = suffixes.find(suffix);
        if (power == std::string_view::npos) {
            return "give BYTES as digits, optionally followed by K, M or G";
        }
        unit = std::uint64_t{1} << (10 * (power + 1));
        digits.remove_suffix(1);
    }
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return "give BYTES as digits, optionally followed by K, M or G";
    }
    const std::uint64_t most = std::numeric_limits<std::uint64_t>::max() / unit;
    std::uint64_t count = 0;
    for (const char digit : digits) {
        const auto value = static_cast<std::uint64_t>(digit - '0');
        if (count > (most - value) / 10) {
            return "BYTES is too large";
        }
        count = count * 10 + value;
    }
    text = std::to_string(count * unit);
    return {};
}

void AddSourceOptions(CLI::App& command, SourceOptions& sources) {
    command.add_option("PROJECT", sources.projectFile,
                       "project file (.trvx) that holds the lists; or give --web and --template");
    command.add_option("--web", sources.webPaths, kWebHelp)->type_name("PATH")->expected(1, -1);
    command.add_option("--template", sources.templatePaths, kTemplateHelp)
        ->type_name("PATH")
        ->expected(1, -1);
    AddExcludeOption(command, sources.excludePatterns);
    command.add_option("--max-file-size", sources.maxFileBytes, kMaxFileSizeHelp)
        ->type_name("BYTES")
        ->transform(CLI::Validator(ToByteCount, ""));
    command
        .add_option("--threads", sources.threads,
                    "threads that read and convert pages (default: one a core); the result is "
                    "the same with any number")
        ->type_name("N")
        ->check(CLI::Range(1u, 256u).description(""));
}

void AddFormatOption(CLI::App& command, std::string& word) {
    command
        .add_option("--format", word,
                    "text (the default), json: one JSON document on stdout, or github: "
                    "workflow commands that mark the lines in a pull request")
        ->type_name("text|json|github")
        ->check(CLI::IsMember({"text", "json", "github"}).description(""));
}

// Checked here rather than with CLI11's excludes(), whose notes would crowd
// the help lines. The lists of a project file are taken as they are.
void RejectMixedSources(const SourceOptions& sources) {
    if (sources.projectFile.empty()) {
        return;
    }
    if (!sources.webPaths.empty() || !sources.templatePaths.empty()) {
        throw CLI::ExcludesError("PROJECT", "--web and --template");
    }
    if (!sources.excludePatterns.empty()) {
        throw CLI::ExcludesError("PROJECT", "--exclude");
    }
}

bool HasSource(const SourceOptions& sources) {
    return !sources.projectFile.empty() || !sources.webPaths.empty() ||
           !sources.templatePaths.empty();
}

// The first argument that is no option names the command; CLI11 would only
// call it unexpected, which does not tell a new user what to type instead.
bool ReportUnknownCommand(const CLI::App& app, int argc, const char* const* argv,
                          std::ostream& err) {
    std::string_view command;
    for (int i = 1; i < argc && command.empty(); ++i) {
        if (argv[i][0] != '-') {
            command = argv[i];
        }
    }
    if (command.empty()) {
        return false;
    }
    std::string names;
    for (const CLI::App* sub : app.get_subcommands(nullptr)) {
        if (sub->get_name() == command) {
            return false;
        }
        names += (names.empty() ? "" : ", ") + sub->get_name();
    }
    err << kProgram << ": unknown command '" << command << "'; commands: " << names << '\n';
    return true;
}

// What the options of each command are parsed into; the words become values
// once the command line is known to be whole.
struct DynamizeCommand {
    CLI::App* app = nullptr;
    SourceOptions sources;
    DynamizeOptions options;
    SettingWords settings;
    std::string format = "text";
};

struct CheckCommand {
    CLI::App* app = nullptr;
    SourceOptions sources;
    CheckOptions options;
    SettingWords settings;
    std::string format = "text";
};

struct WatchCommand {
    CLI::App* app = nullptr;
    SourceOptions sources;
    WatchOptions options;
    SettingWords settings;
};

struct InitCommand {
    CLI::App* app = nullptr;
    InitOptions options;
    SettingWords settings;
};

struct SuggestCommand {
    CLI::App* app = nullptr;
    SourceOptions sources;
    SuggestOptions options;
    SettingWords settings;
    std::string format = "text";
};

struct WrapCommand {
    CLI::App* app = nullptr;
    SourceOptions sources;
    WrapOptions options;
    SettingWords settings;
};

struct UnwrapCommand {
    CLI::App* app = nullptr;
    SourceOptions sources;
    UnwrapOptions options;
    SettingWords settings;
};

// CLI11 keeps pointers into these: they stay where they are while it parses.
struct Commands {
    DynamizeCommand dynamize;
    CheckCommand check;
    WatchCommand watch;
    InitCommand init;
    SuggestCommand suggest;
    WrapCommand wrap;
    UnwrapCommand unwrap;
};

void DefineDynamize(CLI::App& app, DynamizeCommand& command) {
    CLI::App* dynamize =
        app.add_subcommand("dynamize", "rewrite every web file with the current template blocks");
    DynamizeOptions& options = command.options;
    AddSourceOptions(*dynamize, command.sources);
    dynamize->add_flag("--dry-run", options.dryRun,
                       "write nothing; list the files that would change");
    dynamize->add_flag("--check", options.check,
                       "write nothing; exit 1 when any file would change (not with --dry-run)");
    dynamize->add_flag("--diff", options.diff, "print a unified diff of every change");
    dynamize->add_flag("--quiet", options.quiet, "print no 'updated' lines and no summary");
    AddSettingOptions(*dynamize, command.settings, true);
    AddFormatOption(*dynamize, command.format);
    dynamize->footer(SearchRules(false) + kExcludeRules +
                     Footer("  0  success: every web file is up to date or was updated\n"
                            "  1  --check: some web file would change\n" +
                                std::string(kStatusFailure) + kStatusDynamize,
                            "show what would change, writing nothing",
                            std::string(kProgram) + " dynamize site.trvx --dry-run --diff"));
    command.app = dynamize;
}

void DefineCheck(CLI::App& app, CheckCommand& command) {
    CLI::App* check = app.add_subcommand("check", "report start lines whose end line is missing");
    AddSourceOptions(*check, command.sources);
    check->add_flag(
        "--strict", command.options.strict,
        "also exit 1 when the check has notes (blocks no template fills, and the like)");
    AddSettingOptions(*check, command.settings, false);
    AddFormatOption(*check, command.format);
    check->footer(SearchRules(false) + kExcludeRules +
                  Footer("  0  no reports (with --strict: no notes either, nor a list\n"
                         "     without template files)\n"
                         "  1  the check found reports or a page an interrupted run left\n"
                         "     half written (with --strict: or notes, or no template file\n"
                         "     is listed)\n" +
                             std::string(kStatusFailure) + "  2  also: no web files to check\n",
                         "check the pages below pages/ against the templates in templates/",
                         std::string(kProgram) + " check --web pages --template templates"));
    command.app = check;
}

void DefineWatch(CLI::App& app, WatchCommand& command) {
    CLI::App* watch = app.add_subcommand(
        "watch", "dynamize, then again whenever a template file or the project file changes");
    AddSourceOptions(*watch, command.sources);
    watch->add_flag("--quiet", command.options.quiet, "print no 'updated' lines and no summaries");
    AddSettingOptions(*watch, command.settings, true);
    watch->add_flag("--poll", command.options.poll,
                    "look at modification times every second instead of asking the kernel "
                    "(for network file systems)");
    watch->footer(SearchRules(true) + kExcludeRules +
                  Footer("  0  stopped with Ctrl-C (SIGINT), SIGTERM or SIGHUP\n"
                         "  2  usage error, or the lists could not be read at start (a missing\n"
                         "     path, a refused project file); later failures, and file errors in\n"
                         "     any run, are reported and the watch goes on\n",
                         "keep the site up to date while you edit its templates",
                         std::string(kProgram) + " watch site.trvx"));
    command.app = watch;
}

void DefineInit(CLI::App& app, InitCommand& command) {
    CLI::App* init =
        app.add_subcommand("init", "write a project file for the given files and folders");
    InitOptions& options = command.options;
    init->add_option("PROJECT", options.projectFile,
                     "project file to write (.trvx); it stores paths relative to its folder")
        ->required();
    init->add_option("--web", options.webPaths, kWebHelp)->type_name("PATH")->expected(1, -1);
    init->add_option("--template", options.templatePaths, kTemplateHelp)
        ->type_name("PATH")
        ->expected(1, -1);
    AddExcludeOption(*init, options.excludePatterns);
    init->add_flag("--force", options.force, "replace an existing project file");
    AddSettingOptions(*init, command.settings, true, true);
    init->footer(SearchRules(false) + kExcludeRules +
                 Footer("  0  the project file was written\n"
                        "  2  usage error, a missing path or a folder that gives no file, the "
                        "project\n     file exists (without --force), or a file error\n",
                        "a project for the site in this folder, without the drafts folder",
                        std::string(kProgram) +
                            " init site.trvx --web . --template templates --exclude drafts"));
    command.app = init;
}

// The web files to adopt: a project, or --web alone (the templates are what
// adopting makes).
void AddWebSourceOptions(CLI::App& command, SourceOptions& sources) {
    command.add_option("PROJECT", sources.projectFile,
                       "project file (.trvx) that holds the lists; or give --web");
    command.add_option("--web", sources.webPaths, kWebHelp)->type_name("PATH")->expected(1, -1);
    AddExcludeOption(command, sources.excludePatterns);
    command.add_option("--max-file-size", sources.maxFileBytes, kMaxFileSizeHelp)
        ->type_name("BYTES")
        ->transform(CLI::Validator(ToByteCount, ""));
}

void AddRunOptions(CLI::App& command, RepeatedPartsOptions& parts) {
    command
        .add_option("--min-lines", parts.minLines,
                    "runs of at least N lines that count (default 3)")
        ->type_name("N")
        ->check(CLI::Range(1, 100000));
    command
        .add_option("--min-pages", parts.minPages,
                    "held by at least N web files (default: half of them, at least 2)")
        ->type_name("N")
        ->check(CLI::Range(2, 100000000));
}

constexpr const char* kComparison =
    "Lines are compared without their leading and trailing blanks and their line ends;\n"
    "blank lines and lines inside blocks do not count. Copies that differ a little (the\n"
    "same first and last line, or at least 80 % of the lines equal) are variants. With\n"
    "--links relative, links are compared as written from the link base; with\n"
    "--current-page, the mark each page gets is left out.\n\n";

constexpr const char* kStatusAdopt = "  0  success\n"
                                     "  2  usage error, a missing path, no web files, a name "
                                     "a template holds\n     already, or a file error\n";

void DefineSuggest(CLI::App& app, SuggestCommand& command) {
    CLI::App* suggest = app.add_subcommand(
        "suggest", "list the runs of lines that many web files repeat, to make blocks of");
    AddWebSourceOptions(*suggest, command.sources);
    AddRunOptions(*suggest, command.options.parts);
    AddSettingOptions(*suggest, command.settings, false);
    suggest
        ->add_option("--format", command.format,
                     "text (the default), or json: one JSON document on stdout")
        ->type_name("text|json")
        ->check(CLI::IsMember({"text", "json"}).description(""));
    suggest->footer(std::string(kComparison) +
                    Footer(kStatusAdopt, "the repeated parts of the pages below pages/",
                           std::string(kProgram) + " suggest --web pages"));
    command.app = suggest;
}

// The adopting commands' way to look before they write.
void AddChangeOptions(CLI::App& command, bool& dryRun, bool& diff) {
    command.add_flag("--dry-run", dryRun, "write nothing; list the files that would change");
    command.add_flag("--diff", diff, "print a unified diff of every change");
}

void DefineWrap(CLI::App& app, WrapCommand& command) {
    CLI::App* wrap = app.add_subcommand(
        "wrap", "put marker lines around every copy of some lines, and the block in a template");
    WrapOptions& options = command.options;
    wrap->add_option("NAME", options.name, "the block's name, e.g. menu")->required();
    AddWebSourceOptions(*wrap, command.sources);
    CLI::Option* from = wrap->add_option("--from", options.from,
                                         "the lines the block holds, e.g. index.html:12-20");
    from->type_name("PAGE:FIRST-LAST");
    CLI::Option* candidate =
        wrap->add_option("--candidate", options.candidate,
                         "the lines of suggest's candidate K (give the same options)");
    candidate->type_name("K")->check(CLI::PositiveNumber.description(""));
    from->excludes(candidate);
    wrap->add_option("--template", options.templateFile,
                     "the template file for the block: created, or appended to (with a "
                     "project: added to its template files)")
        ->type_name("FILE")
        ->required();
    wrap->add_option("--pair", options.pair,
                     "marker pair N for every page (default: 2 for .pl files, 1 for the rest)")
        ->type_name("N")
        ->check(CLI::Range(1, kPairCount));
    wrap->add_flag("--variants", options.variants,
                   "wrap the variants too (the next dynamize gives them the template's content)");
    AddChangeOptions(*wrap, options.dryRun, options.diff);
    AddRunOptions(*wrap, options.parts);
    AddSettingOptions(*wrap, command.settings, false);
    wrap->footer(std::string(kComparison) +
                 Footer(kStatusAdopt, "make the menu at lines 12-20 of index.html a block",
                        std::string(kProgram) +
                            " wrap menu site.trvx --from index.html:12-20 --template "
                            "templates/layout.html"));
    command.app = wrap;
}

void DefineUnwrap(CLI::App& app, UnwrapCommand& command) {
    CLI::App* unwrap = app.add_subcommand(
        "unwrap", "take the marker lines of a block out of every web file (the content stays)");
    UnwrapOptions& options = command.options;
    unwrap->add_option("NAME", options.name, "the block's name")->required();
    AddWebSourceOptions(*unwrap, command.sources);
    unwrap
        ->add_option("--template", options.templateFiles,
                     "also take the block out of these template files (none given: the "
                     "project's)")
        ->type_name("[FILE...]")
        ->expected(0, -1);
    AddChangeOptions(*unwrap, options.dryRun, options.diff);
    AddSettingOptions(*unwrap, command.settings, false);
    unwrap->footer(Footer(kStatusAdopt, "undo wrap menu, in the pages and the template",
                          std::string(kProgram) + " unwrap menu site.trvx --template"));
    command.app = unwrap;
}

void DefineCommands(CLI::App& app, Commands& commands) {
    app.set_version_flag("--version", std::string(kProgram) + " " + QUILLSTAMPER_VERSION);
    app.require_subcommand(1);
    DefineDynamize(app, commands.dynamize);
    DefineCheck(app, commands.check);
    DefineWatch(app, commands.watch);
    DefineInit(app, commands.init);
    DefineSuggest(app, commands.suggest);
    DefineWrap(app, commands.wrap);
    DefineUnwrap(app, commands.unwrap);
    // Set last: subcommands copy their parent's footer when they are added.
    app.footer(kBlocks +
               Footer(kStatusAll, "make a project file for the site in this folder",
                      std::string(kProgram) + " init site.trvx --web . --template templates") +
               "\nRun '" + kProgram + " COMMAND --help' for the options of a command.\n");
}

// What CLI11 cannot tell from one option alone.
void RejectBadCombinations(const Commands& commands) {
    RejectMixedSources(commands.dynamize.sources);
    RejectMixedSources(commands.check.sources);
    RejectMixedSources(commands.watch.sources);
    RejectMixedSources(commands.suggest.sources);
    RejectMixedSources(commands.wrap.sources);
    RejectMixedSources(commands.unwrap.sources);
    const std::pair<const CLI::App*, const SourceOptions*> adopting[] = {
        {commands.suggest.app, &commands.suggest.sources},
        {commands.wrap.app, &commands.wrap.sources},
        {commands.unwrap.app, &commands.unwrap.sources}};
    for (const auto& [command, sources] : adopting) {
        if (command->parsed() && sources->projectFile.empty() && sources->webPaths.empty()) {
            throw CLI::RequiredError("PROJECT or --web");
        }
    }
    if (commands.wrap.app->parsed() && commands.wrap.options.from.empty() &&
        commands.wrap.options.candidate == 0) {
        throw CLI::RequiredError("--from or --candidate");
    }
    if (commands.dynamize.options.dryRun && commands.dynamize.options.check) {
        throw CLI::ExcludesError("--dry-run", "--check");
    }
    if ((commands.dynamize.app->parsed() && !HasSource(commands.dynamize.sources)) ||
        (commands.check.app->parsed() && !HasSource(commands.check.sources)) ||
        (commands.watch.app->parsed() && !HasSource(commands.watch.sources))) {
        throw CLI::RequiredError("PROJECT or --web/--template");
    }
}

// Parses argv; an exit status when the command line ends here (help, the
// version, a usage error), nothing when a command is to run.
std::optional<int> ParseCommandLine(CLI::App& app, const Commands& commands, int argc,
                                    const char* const* argv, std::ostream& out, std::ostream& err) {
    if (ReportUnknownCommand(app, argc, argv, err)) {
        return kExitFailure;
    }
    try {
        app.parse(argc, argv);
        RejectBadCombinations(commands);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        // A pointer to the help rather than the help itself, which would push
        // the message off the screen.
        const std::vector<CLI::App*> selected = app.get_subcommands();
        err << kProgram << ": " << e.what() << "\nRun '" << kProgram
            << (selected.empty() ? "" : " " + selected.front()->get_name())
            << " --help' for the options, the exit statuses and an example.\n";
        return kExitFailure;
    }
    return std::nullopt;
}

// The stop signals are caught only once a run starts, so that the other
// commands still end at once on Ctrl-C.
const std::atomic<int>* CatchStopSignals(const CommandLineEnvironment& environment) {
    return environment.catchStopSignals ? environment.catchStopSignals() : nullptr;
}

int RunDynamizeCommand(const DynamizeCommand& command, const CommandLineEnvironment& environment,
                       std::ostream& out, std::ostream& err) {
    DynamizeOptions options = command.options;
    options.settings = ParseSettingWords(command.settings, environment.workingFolder);
    options.format = ParseReportFormat(command.format).value_or(ReportFormat::Text);
    options.progress = environment.errIsTerminal;
    SourceOptions sources = command.sources;
    sources.workingFolder = environment.workingFolder;
    options.interrupt = CatchStopSignals(environment);
    return RunDynamize(sources, options, out, err);
}

int RunCheckCommand(const CheckCommand& command, const CommandLineEnvironment& environment,
                    std::ostream& out, std::ostream& err) {
    CheckOptions options = command.options;
    options.settings = ParseSettingWords(command.settings, environment.workingFolder);
    options.format = ParseReportFormat(command.format).value_or(ReportFormat::Text);
    options.progress = environment.errIsTerminal;
    SourceOptions sources = command.sources;
    sources.workingFolder = environment.workingFolder;
    return RunCheck(sources, options, out, err);
}

int RunWatchCommand(const WatchCommand& command, const CommandLineEnvironment& environment,
                    std::ostream& out, std::ostream& err) {
    WatchOptions options = command.options;
    options.settings = ParseSettingWords(command.settings, environment.workingFolder);
    SourceOptions sources = command.sources;
    sources.workingFolder = environment.workingFolder;
    options.interrupt = CatchStopSignals(environment);
    return RunWatch(sources, options, out, err);
}

int RunInitCommand(const InitCommand& command, const CommandLineEnvironment& environment,
                   std::ostream& out, std::ostream& err) {
    InitOptions options = command.options;
    ParseSettingWords(command.settings, environment.workingFolder).ApplyTo(options.settings);
    options.workingFolder = environment.workingFolder;
    return RunInit(options, out, err);
}

// The sources of an adopting command, taken below the working folder.
SourceOptions SourcesIn(SourceOptions sources, const CommandLineEnvironment& environment) {
    sources.workingFolder = environment.workingFolder;
    return sources;
}

int RunAdoptCommand(const Commands& commands, const CommandLineEnvironment& environment,
                    std::ostream& out, std::ostream& err) {
    if (commands.suggest.app->parsed()) {
        SuggestOptions options = commands.suggest.options;
        options.settings = ParseSettingWords(commands.suggest.settings, environment.workingFolder);
        options.json = commands.suggest.format == "json";
        return RunSuggest(SourcesIn(commands.suggest.sources, environment), options, out, err);
    }
    if (commands.wrap.app->parsed()) {
        WrapOptions options = commands.wrap.options;
        options.settings = ParseSettingWords(commands.wrap.settings, environment.workingFolder);
        return RunWrap(SourcesIn(commands.wrap.sources, environment), options, out, err);
    }
    UnwrapOptions options = commands.unwrap.options;
    options.settings = ParseSettingWords(commands.unwrap.settings, environment.workingFolder);
    options.fromTemplates = commands.unwrap.app->get_option("--template")->count() > 0;
    // "--template" alone gives one empty value.
    std::erase(options.templateFiles, std::string());
    return RunUnwrap(SourcesIn(commands.unwrap.sources, environment), options, out, err);
}

int RunParsedCommand(const Commands& commands, const CommandLineEnvironment& environment,
                     std::ostream& out, std::ostream& err) {
    if (commands.dynamize.app->parsed()) {
        return RunDynamizeCommand(commands.dynamize, environment, out, err);
    }
    if (commands.watch.app->parsed()) {
        return RunWatchCommand(commands.watch, environment, out, err);
    }
    if (commands.check.app->parsed()) {
        return RunCheckCommand(commands.check, environment, out, err);
    }
    if (commands.init.app->parsed()) {
        return RunInitCommand(commands.init, environment, out, err);
    }
    if (commands.suggest.app->parsed() || commands.wrap.app->parsed() ||
        commands.unwrap.app->parsed()) {
        return RunAdoptCommand(commands, environment, out, err);
    }
    return kExitFailure;
}

int RunCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
               const CommandLineEnvironment& environment) {
    CLI::App app{"Quillstamper: fills the template blocks of web pages from template files.",
                 kProgram};
    Commands commands;
    DefineCommands(app, commands);
    if (const std::optional<int> ended = ParseCommandLine(app, commands, argc, argv, out, err)) {
        return *ended;
    }
    const int status = RunParsedCommand(commands, environment, out, err);
    out.flush();
    return status;
}

} // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                   const CommandLineEnvironment& environment) {
    try {
        return RunCommand(argc, argv, out, err, environment);
    } catch (const std::bad_alloc&) {
        err << kProgram << ": out of memory\n";
    } catch (const std::exception& error) {
        err << kProgram << ": " << error.what() << '\n';
    }
    return kExitFailure;
}

} // namespace quillstamper::cli
