#include "cli/cli_watch.h"

#include "base/file_error.h"
#include "base/path_resolution.h"
#include "base/quote_path.h"
#include "cli/cli_sources.h"
#include "conversion/own_writes.h"
#include "files/os_files.h"

#include <ostream>
#include <sstream>

namespace quillstamper::cli {

namespace {

using std::chrono::milliseconds;

// A signal that lands between a look at the flag and the wait ends the wait
// no later than this.
constexpr milliseconds kSlice{250};

bool Stopped(const std::atomic<int>* interrupt) {
    return interrupt != nullptr && interrupt->load() != 0;
}

// The lists as read now, and what reading them said (links it skipped), for
// the run to print; nothing when they cannot be read: the run says why.
std::optional<Sources> LoadQuietly(const SourceOptions& options, std::string& said) {
    std::ostringstream messages;
    try {
        std::optional<Sources> sources = LoadSources(options, messages);
        said = messages.str();
        return sources;
    } catch (const FileError&) {
        return std::nullopt;
    }
}

// The template files, and the folders searched for them.
os::WatchList TemplatesToWatch(const Sources& sources, const SourceOptions& options) {
    os::WatchList list;
    for (const std::string& entry : sources.site.templateFiles) {
        list.files.push_back(ResolvePath(entry, sources.baseFolder));
    }
    for (const std::string& path : options.templatePaths) {
        const std::string resolved = ResolvePath(path, options.workingFolder);
        const std::optional<os::FileStatus> status = os::StatPath(resolved);
        if (status && status->kind == os::FileKind::Folder) {
            list.folders.push_back(resolved);
        }
    }
    return list;
}

std::string Counted(std::size_t count, const char* what) {
    return std::to_string(count) + ' ' + what + (count == 1 ? "" : "s");
}

void PrintWatching(std::ostream& err, const os::WatchList& templates, const SourceOptions& sources,
                   const os::ChangeWatch& watch) {
    if (const std::string why = watch.WhyPolls(); !why.empty()) {
        err << "looking every second instead of asking the kernel: " << why << '\n';
    }
    const bool polls = watch.Polls();
    err << "watching " << Counted(templates.files.size(), "template file");
    if (!templates.folders.empty()) {
        err << " and " << Counted(templates.folders.size(), "template folder");
    }
    if (!sources.projectFile.empty()) {
        err << " and " << QuotePath(sources.projectFile);
    }
    err << (polls ? ", looking every second" : "") << "; Ctrl-C to stop\n";
}

} // namespace

bool WaitForSettledChange(os::ChangeWatch& watch, milliseconds debounce,
                          const std::atomic<int>* interrupt) {
    using Clock = std::chrono::steady_clock;
    bool changed = false;
    Clock::time_point lastChange;
    while (!Stopped(interrupt)) {
        if (!changed) {
            changed = watch.WaitForChange(kSlice);
            lastChange = Clock::now();
            continue;
        }
        const auto quiet = std::chrono::ceil<milliseconds>(lastChange + debounce - Clock::now());
        if (quiet.count() <= 0) {
            return true;
        }
        if (watch.WaitForChange(std::min(quiet, kSlice))) {
            lastChange = Clock::now();
        }
    }
    return false;
}

int RunWatch(const SourceOptions& given, const WatchOptions& options, std::ostream& out,
             std::ostream& err) {
    SourceOptions sources = given;
    sources.waitForFiles = true;
    // Read once for each run: for what to watch, and by the run.
    std::string said;
    std::optional<Sources> loaded = LoadQuietly(sources, said);
    DynamizeOptions run{.quiet = options.quiet,
                        .interrupt = options.interrupt,
                        .lineEnds = options.lineEnds,
                        .endLines = options.endLines,
                        .format = ReportFormat::Text,
                        .progress = false};
    if (!loaded) {
        // Lists that cannot be read at start are most likely a mistyped path: the run says why.
        RunDynamize(sources, run, out, err);
        return kExitFailure;
    }
    os::WatchList templates = TemplatesToWatch(*loaded, sources);
    // Until a page appears there; then pages come and go unwatched.
    std::vector<std::string> emptyWebFolders = loaded->emptyWebFolders;
    const std::unique_ptr<os::ChangeWatch> watch = os::OpenChangeWatch(options.poll);
    std::optional<bool> polled; // as said last
    do {
        os::WatchList list = templates;
        if (!sources.projectFile.empty()) {
            list.files.push_back(ResolvePath(sources.projectFile, sources.workingFolder));
        }
        for (const std::string& folder : emptyWebFolders) {
            list.folders.push_back(ResolvePath(folder, sources.workingFolder));
        }
        // Before the run, so that a change while it reads starts the next one.
        watch->Watch(list);
        // Said again when the kernel's watches run out and it falls back to looking.
        if (polled != watch->Polls()) {
            polled = watch->Polls();
            PrintWatching(err, templates, sources, *watch);
        }
        if (loaded) {
            err << said;
        }
        // A page that is also a template: the run's own write must not start the next run.
        std::optional<OwnWrites> ownWrites;
        if (loaded) {
            ownWrites.emplace(loaded->site.webFiles, loaded->baseFolder, list.files);
        }
        run.observer = ownWrites ? &*ownWrites : nullptr;
        RunDynamize(sources, run, out, err, loaded ? &*loaded : nullptr);
        watch->IgnoreOwnWrites(ownWrites ? ownWrites->LeftStates() : std::vector<FileState>());
        out.flush();
        if (!WaitForSettledChange(*watch, options.debounce, options.interrupt)) {
            break;
        }
        // A refused project file keeps the files watched until it is fixed.
        loaded = LoadQuietly(sources, said);
        if (loaded) {
            templates = TemplatesToWatch(*loaded, sources);
            emptyWebFolders = loaded->emptyWebFolders;
        }
    } while (!Stopped(options.interrupt));
    return kExitSuccess;
}

} // namespace quillstamper::cli
