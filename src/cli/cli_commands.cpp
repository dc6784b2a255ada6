#include "cli/cli_commands.h"

#include "conversion/conversion_run.h"
#include "conversion/file_check.h"
#include "conversion/unified_diff.h"
#include "project/project_file.h"
#include "workspace/file_collection.h"
#include "workspace/file_error.h"
#include "workspace/path_resolution.h"

#include <filesystem>
#include <optional>
#include <ostream>

namespace quillstamper::cli {

namespace {

constexpr std::string_view kProgram = "quillstamper-cli";

struct Sources {
    FileList webFiles;
    FileList templateFiles;
    IdentifierTable identifiers = DefaultIdentifiers();
    std::string baseFolder;
};

void PrintFileError(std::ostream& err, const FileError& error) {
    err << kProgram << ": " << error.File() << ": " << error.Cause() << '\n';
}

FileList ExpandPaths(const std::vector<std::string>& paths, bool webFilesOnly) {
    FileList files;
    for (const std::string& path : paths) {
        const std::vector<std::string> found = CollectFiles(path, webFilesOnly);
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

// Throws FileError; a refused project file or a missing list is reported here and gives
// nothing.
std::optional<Sources> LoadSources(const SourceOptions& options, std::ostream& err) {
    Sources sources;
    if (!options.projectFile.empty()) {
        ProjectParseResult parsed = ReadProjectFile(options.projectFile);
        if (parsed.status != ProjectParseResult::Status::Loaded) {
            err << kProgram << ": " << options.projectFile << ": " << parsed.message << '\n';
            return std::nullopt;
        }
        sources.webFiles = std::move(parsed.data.webFiles);
        sources.templateFiles = std::move(parsed.data.templateFiles);
        sources.identifiers = std::move(parsed.data.identifiers);
        sources.baseFolder = ParentFolder(options.projectFile);
        return sources;
    }
    sources.webFiles = ExpandPaths(options.webPaths, true);
    sources.templateFiles = ExpandPaths(options.templatePaths, false);
    // Both lists belong on the command line; one alone is the missing-files message.
    if (options.webPaths.empty() != options.templatePaths.empty()) {
        err << FormatPreconditionMessage(sources.webFiles.size(), sources.templateFiles.size())
            << '\n';
        return std::nullopt;
    }
    return sources;
}

void PrintProblem(std::ostream& err, const std::string& file, std::size_t line,
                  std::string_view startLine) {
    err << file << ':' << line << ": End of template missing: ";
    err.write(startLine.data(), static_cast<std::streamsize>(startLine.size()));
    err << '\n';
}

// Keeps the diff of each changed file; they are printed once the run is
// over, beside the files that were really replaced.
class DiffCollector : public ConversionObserver {
public:
    void OnFileConverted(const std::string& webEntry, std::string_view oldBytes,
                         std::string_view newBytes, FileOutcome outcome) override {
        m_diffs.push_back(outcome == FileOutcome::Updated
                              ? FormatUnifiedDiff(webEntry, oldBytes, newBytes)
                              : std::string());
    }

    const std::string& DiffOf(std::size_t webIndex) const {
        static const std::string kNone;
        return webIndex < m_diffs.size() ? m_diffs[webIndex] : kNone;
    }

private:
    std::vector<std::string> m_diffs; // one per web file converted, in list order
};

} // namespace

int RunDynamize(const SourceOptions& sourceOptions, const DynamizeOptions& options,
                std::ostream& out, std::ostream& err) {
    try {
        const std::optional<Sources> sources = LoadSources(sourceOptions, err);
        if (!sources) {
            return kExitFailure;
        }
        ConversionRequest request{sources->webFiles, sources->templateFiles, sources->identifiers,
                                  sources->baseFolder, !(options.dryRun || options.check)};
        DiffCollector diffs;
        const ConversionResult result = RunConversion(request, options.diff ? &diffs : nullptr);
        if (result.preconditionFailed) {
            err << FormatPreconditionMessage(request.webFiles.size(), request.templateFiles.size())
                << '\n';
            return kExitFailure;
        }
        const bool dry = options.dryRun || options.check;
        for (std::size_t i = 0; i < result.outcomes.size(); ++i) {
            if (result.outcomes[i] != FileOutcome::Updated) {
                continue;
            }
            if (!options.quiet) {
                out << (dry ? "would update " : "updated ") << request.webFiles[i] << '\n';
            }
            out << diffs.DiffOf(i);
        }
        for (const ConversionProblem& problem : result.problems) {
            PrintProblem(err, problem.file, problem.line, problem.startLine);
        }
        if (result.error) {
            out.flush();
            PrintFileError(err, *result.error);
            return kExitFailure;
        }
        const std::size_t updated = result.CountUpdated();
        if (!options.quiet) {
            out << "Conversion done! " << updated << (dry ? " would be updated, " : " updated, ")
                << result.outcomes.size() - updated << " unchanged.\n";
        }
        if (!result.problems.empty()) {
            return kExitBlockLeftAlone;
        }
        return options.check && updated > 0 ? kExitFindings : kExitSuccess;
    } catch (const FileError& error) {
        PrintFileError(err, error);
        return kExitFailure;
    }
}

int RunCheck(const SourceOptions& sourceOptions, std::ostream& out, std::ostream& err) {
    try {
        const std::optional<Sources> sources = LoadSources(sourceOptions, err);
        if (!sources) {
            return kExitFailure;
        }
        const std::vector<CheckReport> reports = CheckFiles(
            sources->webFiles, sources->templateFiles, sources->identifiers, sources->baseFolder);
        if (reports.empty()) {
            out << kCheckPassedMessage << '\n';
            return kExitSuccess;
        }
        for (const CheckReport& report : reports) {
            PrintProblem(out, report.file, report.line, report.startLine);
        }
        return kExitFindings;
    } catch (const FileError& error) {
        PrintFileError(err, error);
        return kExitFailure;
    }
}

int RunInit(const std::string& projectFile, const std::vector<std::string>& webPaths,
            const std::vector<std::string>& templatePaths, bool force, std::ostream& out,
            std::ostream& err) {
    try {
        std::error_code error;
        if (!force && std::filesystem::symlink_status(projectFile, error).type() !=
                          std::filesystem::file_type::not_found) {
            err << kProgram << ": " << projectFile
                << " already exists (use --force to replace it)\n";
            return kExitFailure;
        }
        const std::string projectFolder = ParentFolder(projectFile);
        ProjectData data{{}, {}, DefaultIdentifiers()};
        for (const std::string& path : ExpandPaths(webPaths, true)) {
            data.webFiles.push_back(MakeEntryRelative(path, projectFolder));
        }
        for (const std::string& path : ExpandPaths(templatePaths, false)) {
            data.templateFiles.push_back(MakeEntryRelative(path, projectFolder));
        }
        WriteProjectFile(projectFile, data);
        out << "wrote " << projectFile << " (" << data.webFiles.size() << " web files, "
            << data.templateFiles.size() << " template files)\n";
        return kExitSuccess;
    } catch (const FileError& error) {
        PrintFileError(err, error);
        return kExitFailure;
    }
}

} // namespace quillstamper::cli
