#include "cli/cli_watch.h"

#include "base/path_resolution.h"
#include "base/quote_path.h"
#include "cli/report_content.h"
#include "cli/report_text.h"
#include "conversion/own_writes.h"
#include "files/os_files.h"

#include <memory>
#include <optional>
#include <ostream>
#include <vector>

namespace quillstamper::cli {

namespace {

using std::chrono::milliseconds;

// A signal that lands between a look at the flag and the wait ends the wait
// no later than this.
constexpr milliseconds kSlice{250};

bool Stopped(const std::atomic<int>* interrupt) {
    return interrupt != nullptr && interrupt->load() != 0;
}

// The template files, and the folders searched for them.
os::WatchList TemplatesToWatch(const LoadedSite& loaded, const SourceOptions& options) {
    os::WatchList list;
    for (const std::string& entry : loaded.site.templateFiles) {
        list.files.push_back(ResolvePath(entry, loaded.origin.baseFolder));
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

// What the lists last read make watched: the template files and folders, and
// the web folders given empty until a page appears there (then pages come and
// go unwatched).
struct WatchedSite {
    os::WatchList templates;
    std::vector<std::string> emptyWebFolders;
};

os::WatchList ListToWatch(const WatchedSite& watched, const SourceOptions& sources) {
    os::WatchList list = watched.templates;
    if (!sources.projectFile.empty()) {
        list.files.push_back(ResolvePath(sources.projectFile, sources.workingFolder));
    }
    for (const std::string& folder : watched.emptyWebFolders) {
        list.folders.push_back(ResolvePath(folder, sources.workingFolder));
    }
    return list;
}

// One run, whose own writes of watched files start no run of their own (a
// page that is also a template).
void DynamizeOnce(const LoadedSite& loaded, const SourceOptions& sources,
                  const os::WatchList& watched, DynamizeOptions run, os::ChangeWatch& watch,
                  std::ostream& out, std::ostream& err) {
    std::optional<OwnWrites> ownWrites;
    if (loaded.Usable()) {
        ownWrites.emplace(loaded.site.webFiles, loaded.origin.baseFolder, watched.files);
        run.observer = &*ownWrites;
    }
    RunDynamize(loaded, sources, run, out, err);
    watch.IgnoreOwnWrites(ownWrites ? ownWrites->LeftStates() : std::vector<FileState>());
    out.flush();
}

void PrintWatching(std::ostream& err, const os::WatchList& templates, const SourceOptions& sources,
                   const os::ChangeWatch& watch) {
    if (const std::string why = watch.WhyPolls(); !why.empty()) {
        err << "looking every second instead of asking the kernel: " << why << '\n';
    }
    const bool polls = watch.Polls();
    err << "watching " << CountOf(templates.files.size(), "template file");
    if (!templates.folders.empty()) {
        err << " and " << CountOf(templates.folders.size(), "template folder");
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
    DynamizeOptions run{.quiet = options.quiet,
                        .interrupt = options.interrupt,
                        .settings = options.settings,
                        .format = ReportFormat::Text,
                        .progress = false};
    // Read once for each run: for what to watch, and by the run.
    LoadedSite loaded = LoadSite(sources);
    if (!loaded.Usable()) {
        // Lists that cannot be read at start are most likely a mistyped path: the run says why.
        PrintListingText(loaded.messages.warnings, sources.workingFolder, err);
        RunDynamize(loaded, sources, run, out, err);
        return kExitFailure;
    }
    WatchedSite watched{TemplatesToWatch(loaded, sources), loaded.origin.emptyWebFolders};
    const std::unique_ptr<os::ChangeWatch> watch = os::OpenChangeWatch(options.poll);
    std::optional<bool> polled; // as said last
    do {
        const os::WatchList list = ListToWatch(watched, sources);
        // Before the run, so that a change while it reads starts the next one.
        watch->Watch(list);
        // Said again when the kernel's watches run out and it falls back to looking.
        if (polled != watch->Polls()) {
            polled = watch->Polls();
            PrintWatching(err, watched.templates, sources, *watch);
        }
        PrintListingText(loaded.messages.warnings, sources.workingFolder, err);
        DynamizeOnce(loaded, sources, list, run, *watch, out, err);
        if (!WaitForSettledChange(*watch, options.debounce, options.interrupt)) {
            break;
        }
        loaded = LoadSite(sources);
        // A refused project file keeps the files watched until it is fixed.
        if (loaded.Usable()) {
            watched = {TemplatesToWatch(loaded, sources), loaded.origin.emptyWebFolders};
        }
    } while (!Stopped(options.interrupt));
    return kExitSuccess;
}

} // namespace quillstamper::cli
