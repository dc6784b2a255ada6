// quillstamper-cli: the engine of Quillstamper for builds and CI.

#include "cli/cli_commands.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace {

using quillstamper::cli::kExitFailure;

void AddSourceOptions(CLI::App& command, quillstamper::cli::SourceOptions& sources) {
    auto* project = command.add_option("PROJECT", sources.projectFile, "project file (.trvx)");
    auto* web =
        command.add_option("--web", sources.webPaths,
                           "web files, or folders to search for .htm, .html, .pl and .php files");
    auto* templates =
        command.add_option("--template", sources.templatePaths,
                           "template files, or folders whose files are all templates");
    web->expected(1, -1)->excludes(project);
    templates->expected(1, -1)->excludes(project);
    project->excludes(web)->excludes(templates);
}

bool HasSource(const quillstamper::cli::SourceOptions& sources) {
    return !sources.projectFile.empty() || !sources.webPaths.empty() ||
           !sources.templatePaths.empty();
}

} // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    CLI::App app{"Quillstamper: fills the template blocks of web pages from template files."};
    app.set_version_flag("--version", std::string("quillstamper-cli ") + QUILLSTAMPER_VERSION);
    app.require_subcommand(1);

    quillstamper::cli::SourceOptions dynamizeSources;
    quillstamper::cli::DynamizeOptions dynamizeOptions;
    CLI::App* dynamize =
        app.add_subcommand("dynamize", "rewrite every web file with the current template blocks");
    AddSourceOptions(*dynamize, dynamizeSources);
    auto* dryRun = dynamize->add_flag("--dry-run", dynamizeOptions.dryRun,
                                      "write nothing; list what would change");
    auto* check = dynamize->add_flag("--check", dynamizeOptions.check,
                                     "write nothing; exit 1 when any file would change");
    dryRun->excludes(check);
    dynamize->add_flag("--diff", dynamizeOptions.diff, "print a unified diff of every change");
    dynamize->add_flag("--quiet", dynamizeOptions.quiet, "print no 'updated' lines and no summary");

    quillstamper::cli::SourceOptions checkSources;
    CLI::App* checkCommand =
        app.add_subcommand("check", "report start lines whose end line is missing");
    AddSourceOptions(*checkCommand, checkSources);

    std::string initProject;
    std::vector<std::string> initWeb;
    std::vector<std::string> initTemplates;
    bool initForce = false;
    CLI::App* init =
        app.add_subcommand("init", "write a project file for the given files and folders");
    init->add_option("PROJECT", initProject, "project file to write (.trvx)")->required();
    init->add_option("--web", initWeb, "web files, or folders to search")->expected(1, -1);
    init->add_option("--template", initTemplates, "template files, or folders")->expected(1, -1);
    init->add_flag("--force", initForce, "replace an existing project file");

    try {
        app.parse(argc, argv);
        if ((dynamize->parsed() && !HasSource(dynamizeSources)) ||
            (checkCommand->parsed() && !HasSource(checkSources))) {
            throw CLI::RequiredError("PROJECT or --web/--template");
        }
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "quillstamper-cli: " << e.what() << "\n\n" << app.help();
        return kExitFailure;
    }

    int status = kExitFailure;
    if (dynamize->parsed()) {
        status =
            quillstamper::cli::RunDynamize(dynamizeSources, dynamizeOptions, std::cout, std::cerr);
    } else if (checkCommand->parsed()) {
        status = quillstamper::cli::RunCheck(checkSources, std::cout, std::cerr);
    } else if (init->parsed()) {
        status = quillstamper::cli::RunInit(initProject, initWeb, initTemplates, initForce,
                                            std::cout, std::cerr);
    }
    std::cout.flush();
    return status;
}
