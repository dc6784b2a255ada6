#include "cli/cli_adopt.h"

#include "cli/program.h"
#include "cli/report_content.h"
#include "cli/report_text.h"

#include "base/file_error.h"
#include "base/findings.h"
#include "base/path_resolution.h"
#include "base/quote_path.h"
#include "conversion/block_wrapping.h"
#include "conversion/file_text.h"
#include "conversion/page_links.h"
#include "diff/unified_diff.h"
#include "files/atomic_write.h"
#include "files/recovery_store.h"
#include "project/project_file.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>

namespace quillstamper::cli {

namespace {

// A site read for adopting: its lists, its pages and how they compare.
struct AdoptSite {
    LoadedSite loaded;
    std::vector<SitePage> pages;
    std::optional<ComparedSite> compared;
    std::string workingFolder;

    std::string NameOf(const std::string& path) const {
        return NameFromWorkingFolder(path, workingFolder);
    }
    std::string PlaceOf(const PageRange& range) const {
        return NameOf(pages[range.page].path) + ":" + std::to_string(range.first + 1) + "-" +
               std::to_string(range.last + 1);
    }
};

void PrintErrors(const std::vector<ReportMessage>& errors, const std::string& workingFolder,
                 std::ostream& err) {
    for (const ReportMessage& message : errors) {
        err << FormatMessageLine(message, workingFolder) << '\n';
    }
}

// The site's pages, or nothing once the reason is printed. Web files alone
// are enough here: the templates are what adopting makes.
std::optional<AdoptSite> ReadAdoptSite(const SourceOptions& sources,
                                       const SettingOverrides& settings, std::ostream& err) {
    AdoptSite site;
    site.workingFolder = sources.workingFolder;
    SourceOptions webOnly = sources;
    webOnly.templatePaths.clear();
    site.loaded = LoadSite(webOnly);
    std::erase_if(site.loaded.messages.errors, [](const ReportMessage& message) {
        return message.kind == ReportMessage::Kind::EmptyList;
    });
    PrintListingText(site.loaded.messages.warnings, sources.workingFolder, err);
    if (site.loaded.Usable() && site.loaded.site.webFiles.empty()) {
        site.loaded.messages.errors.push_back(
            {{}, "no web files to look at", {}, ReportMessage::Kind::Ending});
    }
    if (!site.loaded.Usable()) {
        PrintErrors(site.loaded.messages.errors, sources.workingFolder, err);
        return std::nullopt;
    }
    settings.ApplyTo(site.loaded.site.settings);
    try {
        site.pages =
            ReadSitePages(site.loaded.site, site.loaded.origin.baseFolder, sources.maxFileBytes);
    } catch (const FileError& error) {
        err << FormatMessageLine(DescribeFileError(error), sources.workingFolder) << '\n';
        return std::nullopt;
    }
    site.compared.emplace(site.pages, RulesOfSite(site.loaded.site, site.loaded.origin.baseFolder));
    return site;
}

std::string JoinRange(const ComparedSite& compared, const PageRange& range) {
    std::string text;
    for (std::size_t line = range.first; line <= range.last; ++line) {
        text.append(compared.Pages()[range.page].lines[line]).append("\n");
    }
    return text;
}

std::string VariantDiff(const AdoptSite& site, const RepeatedPart& part,
                        const PartVariant& variant) {
    return FormatUnifiedDiff(site.PlaceOf(variant.copies.front()),
                             JoinRange(*site.compared, part.where),
                             JoinRange(*site.compared, variant.copies.front()), 1);
}

void PrintSuggestText(const AdoptSite& site, const std::vector<RepeatedPart>& parts,
                      std::ostream& out) {
    constexpr std::size_t kShownLines = 12;
    out << CountOf(parts.size(), "repeated part") << " in "
        << CountOf(site.pages.size(), "web file") << '\n';
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const RepeatedPart& part = parts[i];
        out << '\n'
            << i + 1 << ". " << part.name << ": " << CountOf(part.lineCount, "line") << ", "
            << site.PlaceOf(part.where) << '\n'
            << "   " << part.copies.ExactPages() << " of " << site.pages.size()
            << " pages hold it as it is, " << part.copies.VariantPages() << " a variant\n";
        const LineViews& lines = site.compared->Pages()[part.where.page].lines;
        for (std::size_t line = part.where.first;
             line <= part.where.last && line < part.where.first + kShownLines; ++line) {
            out << "   | " << lines[line] << '\n';
        }
        if (part.where.last + 1 - part.where.first > kShownLines) {
            out << "   | " << FormatAndMore(part.where.last + 1 - part.where.first - kShownLines)
                << '\n';
        }
        if (!part.copies.variants.empty()) {
            const PartVariant& common = part.copies.variants.front();
            out << "   the most common variant, in " << CountOf(common.copies.size(), "page")
                << ":\n";
            std::string diff = VariantDiff(site, part, common);
            for (std::size_t at = 0; at < diff.size();) {
                const std::size_t end = std::min(diff.find('\n', at), diff.size());
                out << "   " << std::string_view(diff).substr(at, end - at) << '\n';
                at = end + 1;
            }
        }
    }
    if (!parts.empty()) {
        out << "\nnext: " << kProgram << " wrap NAME --candidate K --template FILE (with the "
            << "same options), or wrap NAME --from PAGE:FIRST-LAST\n";
    }
}

void PrintSuggestJson(const AdoptSite& site, const std::vector<RepeatedPart>& parts,
                      std::ostream& out) {
    using Json = nlohmann::ordered_json;
    const auto place = [&](const PageRange& range) {
        return Json{{"file", site.NameOf(site.pages[range.page].path)},
                    {"firstLine", range.first + 1},
                    {"lastLine", range.last + 1}};
    };
    Json candidates = Json::array();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const RepeatedPart& part = parts[i];
        Json lines = Json::array();
        for (std::size_t line = part.where.first; line <= part.where.last; ++line) {
            lines.push_back(std::string(site.compared->Pages()[part.where.page].lines[line]));
        }
        Json variants = Json::array();
        for (const PartVariant& variant : part.copies.variants) {
            Json copies = Json::array();
            for (const PageRange& copy : variant.copies) {
                copies.push_back(place(copy));
            }
            variants.push_back({{"pages", variant.copies.size()},
                                {"copies", copies},
                                {"diff", VariantDiff(site, part, variant)}});
        }
        Json exact = Json::array();
        for (const PageRange& copy : part.copies.exact) {
            exact.push_back(place(copy));
        }
        Json candidate = {{"candidate", i + 1},
                          {"name", part.name},
                          {"lines", part.lineCount},
                          {"exactPages", part.copies.ExactPages()},
                          {"variantPages", part.copies.VariantPages()}};
        candidate.update(place(part.where));
        candidate["text"] = lines;
        candidate["copies"] = exact;
        candidate["variants"] = variants;
        candidates.push_back(candidate);
    }
    const Json document = {
        {"command", "suggest"}, {"webFiles", site.pages.size()}, {"candidates", candidates}};
    // Bytes that are no UTF-8 stand as they are replaced, rather than ending the command.
    out << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

// "pages/index.html:12-20" (or ":12" alone) as a range of that web file.
std::optional<PageRange> ParseFrom(const AdoptSite& site, const std::string& from,
                                   std::string& error) {
    const std::size_t colon = from.rfind(':');
    const std::string page = colon == std::string::npos ? from : from.substr(0, colon);
    const std::string lines = colon == std::string::npos ? "" : from.substr(colon + 1);
    const std::size_t dash = lines.find('-');
    const std::string first = lines.substr(0, dash);
    const std::string last = dash == std::string::npos ? first : lines.substr(dash + 1);
    const auto isNumber = [](const std::string& text) {
        return !text.empty() && text.size() < 10 &&
               text.find_first_not_of("0123456789") == std::string::npos;
    };
    if (!isNumber(first) || !isNumber(last) || std::stoul(first) == 0 ||
        std::stoul(first) > std::stoul(last)) {
        error = "--from takes PAGE:FIRST-LAST, line numbers from 1, e.g. index.html:12-20";
        return std::nullopt;
    }
    const std::string wanted = NormalizePath(
        ResolvePath(page, AbsolutePath(site.workingFolder.empty() ? "." : site.workingFolder)));
    for (std::size_t i = 0; i < site.pages.size(); ++i) {
        if (site.pages[i].entry == page || NormalizePath(site.pages[i].absolutePath) == wanted) {
            return PageRange{i, std::stoul(first) - 1, std::stoul(last) - 1};
        }
    }
    error = QuotePath(page) + " is no web file of the site";
    return std::nullopt;
}

// A file to write, with what it held when read.
struct PlannedWrite {
    std::string path;
    std::string label;
    std::string oldBytes;
    std::string newBytes;
    std::optional<FileState> state;
};

// Writes every file through one batch, so that a page another program
// changed since it was read is left as it is. Returns whether all were written.
bool WriteAll(const std::vector<PlannedWrite>& writes, std::ostream& out, std::ostream& err) {
    AtomicWriteBatch batch;
    for (const PlannedWrite& write : writes) {
        batch.Stage(write.path, write.newBytes, write.state);
    }
    batch.Commit();
    bool all = true;
    for (std::size_t i = 0; i < writes.size(); ++i) {
        const WriteOutcome outcome = batch.OutcomeOf(i);
        if (outcome == WriteOutcome::Replaced || outcome == WriteOutcome::ReplacedInPlace) {
            out << "updated " << QuotePath(writes[i].label) << '\n';
        } else {
            err << kProgram << ": " << QuotePath(writes[i].label)
                << ": another program changed it meanwhile; left as it is\n";
            all = false;
        }
    }
    return all;
}

int FinishWrites(const std::vector<PlannedWrite>& writes, bool dryRun, bool diff, std::ostream& out,
                 std::ostream& err) {
    if (diff) {
        for (const PlannedWrite& write : writes) {
            out << FormatUnifiedDiff(write.label, write.oldBytes, write.newBytes);
        }
    }
    if (dryRun) {
        for (const PlannedWrite& write : writes) {
            out << "would update " << QuotePath(write.label) << '\n';
        }
        return kExitSuccess;
    }
    return WriteAll(writes, out, err) ? kExitSuccess : kExitFailure;
}

int WrapSite(const AdoptSite& site, const SourceOptions& sources, const WrapOptions& options,
             std::ostream& out, std::ostream& err) {
    const auto usage = [&](const std::string& message) {
        err << kProgram << ": wrap: " << message << '\n';
        return kExitFailure;
    };
    if (!IsValidBlockName(options.name)) {
        return usage("a block name is one word of letters, digits, '-', '_', '.' or ':': " +
                     QuotePath(options.name));
    }
    PageRange source;
    if (options.candidate != 0) {
        const std::vector<RepeatedPart> parts = FindRepeatedParts(*site.compared, options.parts);
        if (options.candidate > parts.size()) {
            return usage("suggest finds " + CountOf(parts.size(), "candidate") +
                         " with these options, so there is no candidate " +
                         std::to_string(options.candidate));
        }
        source = parts[options.candidate - 1].where;
    } else {
        std::string error;
        const std::optional<PageRange> from = ParseFrom(site, options.from, error);
        if (!from) {
            return usage(error);
        }
        source = *from;
    }
    const IdentifierTable& identifiers = site.loaded.site.identifiers;
    const std::string templatePath = ResolvePath(options.templateFile, sources.workingFolder);
    const StandingText target = ReadStandingText(templatePath, sources.maxFileBytes);
    // A name the templates hold already would get two contents.
    std::vector<std::string> templatePaths;
    for (const std::string& entry : site.loaded.site.templateFiles) {
        templatePaths.push_back(ResolvePath(entry, site.loaded.origin.baseFolder));
    }
    for (const std::string& path : templatePaths) {
        if (HoldsBlock(ReadStandingText(path, sources.maxFileBytes).text, options.name,
                       identifiers)) {
            return usage(QuotePath(site.NameOf(path)) + " holds a block '" + options.name +
                         "' already");
        }
    }
    if (HoldsBlock(target.text, options.name, identifiers)) {
        return usage(QuotePath(options.templateFile) + " holds a block '" + options.name +
                     "' already");
    }
    const WrapPlan plan = PlanWrap(*site.compared, site.pages,
                                   {options.name, source, options.pair, options.variants});
    if (!plan.error.empty()) {
        return usage(site.PlaceOf(source) + ": " + plan.error);
    }

    std::vector<PlannedWrite> writes;
    for (const FileChange& change : plan.changes) {
        const SitePage& page = site.pages[change.page];
        writes.push_back(
            {page.path, site.NameOf(page.path), *page.bytes, change.bytes, page.state});
    }
    const std::string templateText =
        AppendTemplateBlocks(target.text, plan, options.name, identifiers);
    writes.push_back({templatePath, site.NameOf(templatePath), target.bytes,
                      EncodeFileText(target.encoding, templateText), target.state});

    out << (options.dryRun ? "would wrap '" : "wrapping '") << options.name << "' from "
        << site.PlaceOf(source) << " in " << CountOf(plan.changes.size(), "web file") << '\n';
    for (const PartVariant& variant : plan.copies.variants) {
        for (const PageRange& copy : variant.copies) {
            out << "variant " << site.PlaceOf(copy)
                << " (wrapped: the next dynamize gives it the template's content)\n";
        }
    }
    for (const std::size_t page : plan.pagesWithout) {
        out << "no copy in " << QuotePath(site.NameOf(site.pages[page].path)) << '\n';
    }
    out << (target.state ? "template: appended to " : "template: created ")
        << QuotePath(site.NameOf(templatePath)) << '\n';
    if (!options.dryRun && !target.state) {
        // A new template file may start a folder of templates.
        const std::string folder = ParentFolder(templatePath);
        std::error_code error;
        if (!folder.empty() && !std::filesystem::create_directories(folder, error) && error) {
            throw FileError(folder, error.message());
        }
    }
    const int status = FinishWrites(writes, options.dryRun, options.diff, out, err);
    if (status != kExitSuccess || sources.projectFile.empty()) {
        return status;
    }
    // The project lists the template file, so that the next dynamize fills the blocks.
    const bool listed =
        std::find(templatePaths.begin(), templatePaths.end(), templatePath) !=
            templatePaths.end() ||
        std::any_of(templatePaths.begin(), templatePaths.end(), [&](const std::string& path) {
            return AbsolutePath(path) == AbsolutePath(templatePath);
        });
    if (!listed) {
        const std::string projectPath = ResolvePath(sources.projectFile, sources.workingFolder);
        const std::string projectFolder = ParentFolder(projectPath);
        SiteDefinition project = ReadProjectFile(projectPath, sources.maxFileBytes).data;
        project.templateFiles.push_back(MakeEntryRelative(
            AbsolutePath(templatePath), AbsolutePath(projectFolder.empty() ? "." : projectFolder)));
        out << (options.dryRun ? "would add " : "added ") << QuotePath(options.templateFile)
            << " to the template files of " << QuotePath(sources.projectFile) << '\n';
        if (!options.dryRun) {
            WriteProjectFile(projectPath, project);
        }
    }
    return status;
}

int UnwrapSite(const AdoptSite& site, const SourceOptions& sources, const UnwrapOptions& options,
               std::ostream& out, std::ostream& err) {
    const IdentifierTable& identifiers = site.loaded.site.identifiers;
    const EndLines endLines = site.loaded.site.settings.endLines;
    std::vector<PlannedWrite> writes;
    std::size_t blocks = 0;
    for (const SitePage& page : site.pages) {
        std::size_t count = 0;
        if (const std::optional<std::string> text =
                UnwrapBlock(page.text, options.name, identifiers, endLines, false, &count)) {
            writes.push_back({page.path, site.NameOf(page.path), *page.bytes,
                              EncodeFileText(page.encoding, *text), page.state});
            blocks += count;
        }
    }
    out << (options.dryRun ? "would unwrap '" : "unwrapping '") << options.name
        << "': " << CountOf(blocks, "block") << " in " << CountOf(writes.size(), "web file")
        << '\n';
    if (options.fromTemplates) {
        std::vector<std::string> paths;
        for (const std::string& file : options.templateFiles) {
            paths.push_back(ResolvePath(file, sources.workingFolder));
        }
        if (options.templateFiles.empty()) {
            for (const std::string& entry : site.loaded.site.templateFiles) {
                paths.push_back(ResolvePath(entry, site.loaded.origin.baseFolder));
            }
        }
        for (const std::string& path : paths) {
            const StandingText file = ReadStandingText(path, sources.maxFileBytes);
            if (const std::optional<std::string> text =
                    UnwrapBlock(file.text, options.name, identifiers, endLines, true)) {
                writes.push_back({path, site.NameOf(path), file.bytes,
                                  EncodeFileText(file.encoding, *text), file.state});
                out << "template: " << (options.dryRun ? "would take" : "taking") << " '"
                    << options.name << "' out of " << QuotePath(site.NameOf(path)) << '\n';
            }
        }
    }
    return FinishWrites(writes, options.dryRun, options.diff, out, err);
}

// The one handler of these commands' file errors.
template <typename Step>
int ReportingFileErrors(const SourceOptions& sources, std::ostream& err, const Step& step) {
    try {
        return step();
    } catch (const FileError& error) {
        err << FormatMessageLine(DescribeFileError(error), sources.workingFolder) << '\n';
        return kExitFailure;
    }
}

} // namespace

int RunSuggest(const SourceOptions& sources, const SuggestOptions& options, std::ostream& out,
               std::ostream& err) {
    const std::optional<AdoptSite> site = ReadAdoptSite(sources, options.settings, err);
    if (!site) {
        return kExitFailure;
    }
    const std::vector<RepeatedPart> parts = FindRepeatedParts(*site->compared, options.parts);
    if (options.json) {
        PrintSuggestJson(*site, parts, out);
    } else {
        PrintSuggestText(*site, parts, out);
    }
    return kExitSuccess;
}

int RunWrap(const SourceOptions& sources, const WrapOptions& options, std::ostream& out,
            std::ostream& err) {
    const std::optional<AdoptSite> site = ReadAdoptSite(sources, options.settings, err);
    if (!site) {
        return kExitFailure;
    }
    return ReportingFileErrors(sources, err,
                               [&] { return WrapSite(*site, sources, options, out, err); });
}

int RunUnwrap(const SourceOptions& sources, const UnwrapOptions& options, std::ostream& out,
              std::ostream& err) {
    const std::optional<AdoptSite> site = ReadAdoptSite(sources, options.settings, err);
    if (!site) {
        return kExitFailure;
    }
    return ReportingFileErrors(sources, err,
                               [&] { return UnwrapSite(*site, sources, options, out, err); });
}

} // namespace quillstamper::cli
