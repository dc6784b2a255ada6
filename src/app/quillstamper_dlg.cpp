#include "app/quillstamper_dlg.h"

#include "app/about_dlg.h"
#include "app/preview_dlg.h"
#include "base/file_error.h"
#include "base/path_resolution.h"
#include "base/quote_path.h"
#include "base/shorten_path.h"
#include "conversion/block_wrapping.h"
#include "conversion/conversion_run.h"
#include "conversion/file_check.h"
#include "conversion/file_text.h"
#include "diff/unified_diff.h"
#include "files/atomic_write.h"
#include "files/file_collection.h"
#include "files/recovery_store.h"
#include "options/options_dlg.h"
#include "options/project_settings_dlg.h"
#include "options/repeated_parts_dlg.h"
#include "project/project_commands.h"
#include "project/project_file.h"
#include "widgets/dialog_units.h"
#include "widgets/system_menu.h"
#include "widgets/text_edges.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <string>
#include <utility>

namespace quillstamper {

namespace {

const QString kCaption = QStringLiteral("Trelvonix Quillstamper");
const QString kWebFilter =
    QStringLiteral("HTM or other web files (*.htm;*.html;*.pl;*.php)|*.htm;*.html;*.pl;*.php");
const QString kAllFilesFilter = QStringLiteral("all files (*.*)|*.*");
const QString kProjectFilter = QStringLiteral("Trelvonix project files (*.trvx)|*.trvx");
constexpr std::size_t kMaxListedProblems = 20;

// Tells the window which file a run is working on.
class StatusObserver : public ConversionObserver {
public:
    StatusObserver(Workspace& workspace, std::function<void()> refresh)
        : m_workspace(workspace), m_refresh(std::move(refresh)) {}

    void OnPassStarted(const std::string& webEntry, int) override {
        m_workspace.m_currentFile = ShortenPath(webEntry, m_workspace.m_pathBreak);
        m_refresh();
    }

private:
    Workspace& m_workspace;
    std::function<void()> m_refresh;
};

std::string FormatProblems(const std::vector<UnclosedBlock>& problems) {
    std::string text = "These blocks were left unchanged because their end line is missing:\n\n";
    for (std::size_t i = 0; i < problems.size() && i < kMaxListedProblems; ++i) {
        const UnclosedBlock& problem = problems[i];
        text += problem.file + ", line " + std::to_string(problem.line) + ": " +
                QuoteLine(problem.startLine) + "\n";
        if (problem.refusedLine != 0) {
            text += "    (line " + std::to_string(problem.refusedLine) +
                    " ends like an end line but is no end line of it: " +
                    QuoteLine(problem.refusedText) + ")\n";
        }
    }
    if (problems.size() > kMaxListedProblems) {
        text += '\n' + FormatAndMore(problems.size() - kMaxListedProblems) + ".\n";
    }
    return text;
}

// Pages named in one message, so that a long list does not bury the window.
std::string FormatPageList(std::string text, const std::vector<std::string>& pages) {
    text += "\n";
    for (std::size_t i = 0; i < pages.size() && i < kMaxListedProblems; ++i) {
        text += "\n" + pages[i];
    }
    if (pages.size() > kMaxListedProblems) {
        text += '\n' + FormatAndMore(pages.size() - kMaxListedProblems) + '.';
    }
    return text;
}

std::vector<std::string> LocalPaths(const QList<QUrl>& urls) {
    std::vector<std::string> paths;
    for (const QUrl& url : urls) {
        if (url.isLocalFile()) {
            paths.push_back(PathFromDialog(url.toLocalFile()));
        }
    }
    return paths;
}

std::optional<std::string> FindProjectFile(const QList<QUrl>& urls) {
    for (const QUrl& url : urls) {
        if (url.isLocalFile() &&
            url.toLocalFile().endsWith(
                QString::fromUtf8(kProjectFileSuffix.data(), kProjectFileSuffix.size()),
                Qt::CaseInsensitive)) {
            return PathFromDialog(url.toLocalFile());
        }
    }
    return std::nullopt;
}

struct MenuItem {
    const char* text; // nullptr: separator
    void (CQuillstamperDlg::*handler)();
    const char* shortcut = nullptr;
};

struct Menu {
    const char* title;
    std::vector<MenuItem> items;
};

// The menu bar, left to right.
const Menu kMenus[] = {
    {"&File",
     {{"&New Project", &CQuillstamperDlg::OnNewProject},
      {nullptr, nullptr},
      {"&Open Project", &CQuillstamperDlg::OnOpenProject},
      {"&Save Project", &CQuillstamperDlg::OnSaveProject},
      {"Sa&ve Project as...", &CQuillstamperDlg::OnSaveProjectAs},
      {nullptr, nullptr},
      {"&Exit", &CQuillstamperDlg::OnExit}}},
    {"&Tools",
     {{"&Options", &CQuillstamperDlg::OnOptions},
      {"Project &Settings...", &CQuillstamperDlg::OnProjectSettings},
      {nullptr, nullptr},
      {"&Check Files for Errors", &CQuillstamperDlg::OnCheckFiles},
      {"&Preview Changes...", &CQuillstamperDlg::OnPreviewChanges, "Ctrl+P"},
      {"&Find Repeated Parts...", &CQuillstamperDlg::OnFindRepeatedParts}}},
    {"&Help",
     {{"Show &Help File", &CQuillstamperDlg::OnShowHelpFile},
      {"Go to Trelvonix &Website", &CQuillstamperDlg::OnGoToWebsite},
      {nullptr, nullptr},
      {"&About", &CQuillstamperDlg::OnAbout}}},
};

} // namespace

CQuillstamperDlg::CQuillstamperDlg(Platform& platform, std::string startProject, QWidget* parent)
    : CQuillstamperDlg(platform, parent) {
    m_startProject = std::move(startProject);
}

CQuillstamperDlg::CQuillstamperDlg(Platform& platform, QWidget* parent)
    : QDialog(parent), m_platform(platform) {
    setWindowTitle(kCaption);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    CreateControls();
    BindMessageTable();
    PlaceMenuBar();
    // The workspace starts as Workspace's defaults: empty lists, the default
    // identifiers, path break 32, empty status lines.
    RefreshCounts(m_workspace);
    RefreshStatus();
}

void CQuillstamperDlg::CreateControls() {
    const DialogUnits units(font());
    const auto place = [&](QWidget* widget, int x, int y, int width, int height) {
        widget->setGeometry(units.ToPixels(x, y, width, height));
    };
    setFixedSize(units.ToPixelsX(370), units.ToPixelsY(214));

    m_dynamizeButton = new QPushButton(QStringLiteral("Dynamize!"), this);
    place(m_dynamizeButton, 313, 192, 50, 14);
    m_dynamizeButton->setDefault(true);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    place(m_cancelButton, 250, 192, 50, 14);

    m_webListBox = new FileListBox(m_workspace.m_webFiles, m_workspace.m_pathBreak, this);
    place(m_webListBox, 98, 27, 265, 67);
    m_webListBox->setFocusPolicy(Qt::ClickFocus); // no tab stop
    m_templateListBox = new FileListBox(m_workspace.m_templateFiles, m_workspace.m_pathBreak, this);
    place(m_templateListBox, 98, 118, 265, 46);

    place(new QLabel(QStringLiteral("Please add htm/html files here:"), this), 98, 8, 140, 12);
    place(new QLabel(QStringLiteral("Please add template files here:"), this), 97, 101, 140, 12);
    m_addWebButton = new QPushButton(QStringLiteral("Add"), this);
    place(m_addWebButton, 300, 7, 63, 14);
    m_addTemplateButton = new QPushButton(QStringLiteral("Add"), this);
    place(m_addTemplateButton, 300, 98, 63, 14);

    m_currentFileLabel = new QLabel(this);
    place(m_currentFileLabel, 97, 180, 266, 8);
    auto* picture = new QLabel(this);
    picture->setPixmap(QPixmap(QStringLiteral(":/side_picture.png")));
    picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    place(picture, 7, 7, 72, 199);
    // The picture keeps its own size, as a bitmap control does.
    picture->resize(picture->sizeHint());
    m_activityLabel = new QLabel(this);
    place(m_activityLabel, 97, 169, 266, 8);
    m_countsLabel = new QLabel(this);
    place(m_countsLabel, 97, 196, 149, 8);
    for (QLabel* label : {m_currentFileLabel, m_activityLabel, m_countsLabel}) {
        label->setTextFormat(Qt::PlainText);
        label->setMinimumHeight(label->sizeHint().height());
    }

    setTabOrder(m_dynamizeButton, m_cancelButton);
    setTabOrder(m_cancelButton, m_templateListBox);
    setTabOrder(m_templateListBox, m_addWebButton);
    setTabOrder(m_addWebButton, m_addTemplateButton);
    m_dynamizeButton->setFocus();
}

// The menu bar lies above the client area, which keeps the layout of the controls.
void CQuillstamperDlg::PlaceMenuBar() {
    const int menuHeight = m_menuBar->sizeHint().height();
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child != m_menuBar) {
            child->move(child->x(), child->y() + menuHeight);
        }
    }
    setFixedSize(width(), height() + menuHeight);
    m_menuBar->setGeometry(0, 0, width(), menuHeight);
}

template <typename Sender, typename Signal>
void CQuillstamperDlg::Bind(Sender* sender, Signal signal, Handler handler) {
    connect(sender, signal, this, [this, handler] { Dispatch(handler); });
}

// The message table: each button, menu item and key, and its one handler.
void CQuillstamperDlg::BindMessageTable() {
    BindButtons();
    CreateMenuBar();
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WindowShortcut);
    Bind(help, &QShortcut::activated, &CQuillstamperDlg::OnHelpInfo);
    BindListBoxes();
    setAcceptDrops(true); // a project file anywhere on the window
}

void CQuillstamperDlg::BindButtons() {
    Bind(m_addWebButton, &QPushButton::clicked, &CQuillstamperDlg::OnAddWebFiles);
    Bind(m_addTemplateButton, &QPushButton::clicked, &CQuillstamperDlg::OnAddTemplateFiles);
    Bind(m_dynamizeButton, &QPushButton::clicked, &CQuillstamperDlg::OnDynamize);
    // Cancel, Escape and the close box end the program through the dialog's own reject().
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void CQuillstamperDlg::CreateMenuBar() {
    m_menuBar = new QMenuBar(this);
    for (const Menu& menu : kMenus) {
        QMenu* popup = m_menuBar->addMenu(QString::fromUtf8(menu.title));
        popup->installEventFilter(this); // F1 with a menu open
        for (const MenuItem& item : menu.items) {
            if (item.text == nullptr) {
                popup->addSeparator();
                continue;
            }
            QAction* action = popup->addAction(QString::fromUtf8(item.text));
            if (item.shortcut != nullptr) {
                action->setShortcut(QKeySequence(QString::fromUtf8(item.shortcut)));
            }
            Bind(action, &QAction::triggered, item.handler);
        }
    }
}

// Each list box: Remove in its context menu and Delete drop the selected
// entries; files and folders dropped on it are added. The event filter
// takes the key and the drops, from the list box or its viewport.
void CQuillstamperDlg::BindListBoxes() {
    for (FileListBox* listBox : {m_webListBox, m_templateListBox}) {
        auto* remove = new QAction(QStringLiteral("Remove"), listBox);
        listBox->addAction(remove);
        listBox->setContextMenuPolicy(Qt::ActionsContextMenu);
        connect(remove, &QAction::triggered, this,
                [this, listBox] { Dispatch([this, listBox] { RemoveSelectedEntries(listBox); }); });
        listBox->setAcceptDrops(true);
        listBox->installEventFilter(this);
        listBox->viewport()->installEventFilter(this);
    }
}

QAction* CQuillstamperDlg::MenuAction(const QString& text) const {
    for (QAction* action : m_menuBar->findChildren<QAction*>()) {
        if (action->text() == text) {
            return action;
        }
    }
    return nullptr;
}

// No exception may reach Qt's event loop: a failed command is reported here
// and abandoned; the window keeps the state the handler left.
void CQuillstamperDlg::Dispatch(Handler handler) {
    Dispatch([this, handler] { (this->*handler)(); });
}

void CQuillstamperDlg::Dispatch(const std::function<void()>& command) {
    QString error;
    try {
        command();
        return;
    } catch (const FileError& fileError) {
        error = PathToDisplay(fileError.what());
    } catch (const std::exception& exception) {
        error = QString::fromLocal8Bit(exception.what());
    } catch (...) {
        error = QStringLiteral("An unexpected error occurred.");
    }
    m_platform.ShowMessage(this, QCoreApplication::applicationName(), error, Platform::Icon::Stop);
}

void CQuillstamperDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_shown) {
        return;
    }
    m_shown = true;
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    AppendAboutToSystemMenu(*this);
    if (!m_startProject.empty()) {
        // Queued, so that a refused file's message comes after the window.
        QTimer::singleShot(0, this, [this] {
            Dispatch([path = std::exchange(m_startProject, {}), this] {
                OpenProjectFrom([&path] { return std::optional(path); });
            });
        });
    }
}

bool CQuillstamperDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (IsAboutSystemMenuEvent(message)) {
        Dispatch(&CQuillstamperDlg::OnAbout);
        *result = 0;
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}

bool CQuillstamperDlg::eventFilter(QObject* watched, QEvent* event) {
    for (FileListBox* listBox : {m_webListBox, m_templateListBox}) {
        if (watched != listBox && watched != listBox->viewport()) {
            continue;
        }
        switch (event->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
                Dispatch([this, listBox] { RemoveSelectedEntries(listBox); });
                return true;
            }
            break;
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QList<QUrl> urls = drop->mimeData()->urls();
            if (!TakesDrop(listBox, urls)) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            if (event->type() == QEvent::Drop) {
                Dispatch([this, listBox, &urls] { DropFiles(listBox, urls); });
            }
            return true;
        }
        default:
            break;
        }
    }
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        if (auto* menu = qobject_cast<QMenu*>(watched)) {
            menu->close();
        }
        Dispatch(&CQuillstamperDlg::OnHelpInfo);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CQuillstamperDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (TakesDrop(nullptr, event->mimeData()->urls())) {
        event->acceptProposedAction();
    }
}

void CQuillstamperDlg::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (TakesDrop(nullptr, urls)) {
        event->acceptProposedAction();
        Dispatch([this, &urls] { DropFiles(nullptr, urls); });
    }
}

void CQuillstamperDlg::RefreshStatus() {
    const std::pair<QLabel*, const std::string*> texts[] = {
        {m_activityLabel, &m_workspace.m_activity},
        {m_currentFileLabel, &m_workspace.m_currentFile},
        {m_countsLabel, &m_workspace.m_counts}};
    for (const auto& [label, text] : texts) {
        const QString display = TextToDisplay(*text);
        // Painting costs more than a pass over a page: only what changed.
        if (label->text() != display) {
            label->setText(display);
            label->repaint();
        }
    }
}

void CQuillstamperDlg::ShowMessage(const std::string& text) {
    m_platform.ShowMessage(this, kCaption, TextToDisplay(text), Platform::Icon::None);
}

void CQuillstamperDlg::AddFiles(const QString& filter, FileListBox* listBox) {
    FileList paths;
    for (const QString& chosen : m_platform.AskOpenFileNames(this, filter)) {
        paths.push_back(PathFromDialog(chosen));
    }
    AppendEntries(listBox, paths);
}

void CQuillstamperDlg::OnAddWebFiles() {
    AddFiles(kWebFilter, m_webListBox);
}

void CQuillstamperDlg::OnAddTemplateFiles() {
    AddFiles(kAllFilesFilter, m_templateListBox);
}

void CQuillstamperDlg::RebuildListBoxes() {
    m_webListBox->Rebuild();
    m_templateListBox->Rebuild();
}

void CQuillstamperDlg::AppendEntries(FileListBox* listBox, const FileList& paths) {
    listBox->Append(paths);
    RefreshCounts(m_workspace);
    RefreshStatus();
}

void CQuillstamperDlg::RemoveSelectedEntries(FileListBox* listBox) {
    if (listBox->RemoveSelected()) {
        RefreshCounts(m_workspace);
        RefreshStatus();
    }
}

bool CQuillstamperDlg::TakesDrop(const FileListBox* listBox, const QList<QUrl>& urls) const {
    if (FindProjectFile(urls)) {
        return true;
    }
    return listBox != nullptr &&
           std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

// A project file among the drop opens as Open Project; otherwise a list box
// takes the files and folders as quillstamper-cli does.
void CQuillstamperDlg::DropFiles(FileListBox* listBox, const QList<QUrl>& urls) {
    if (const std::optional<std::string> project = FindProjectFile(urls)) {
        OpenProjectFrom([&project] { return project; });
        return;
    }
    const bool web = listBox == m_webListBox;
    const ListExpansion expansion =
        web ? ExpandLists(LocalPaths(urls), {}, {}) : ExpandLists({}, LocalPaths(urls), {});
    AppendEntries(listBox, web ? expansion.webFiles : expansion.templateFiles);
}

void CQuillstamperDlg::OnNewProject() {
    m_webListBox->clear();
    m_templateListBox->clear();
    NewProject(m_workspace);
    RefreshStatus();
}

void CQuillstamperDlg::OnOpenProject() {
    OpenProjectFrom([this]() -> std::optional<std::string> {
        const std::optional<QString> chosen = m_platform.AskOpenFileName(this, kProjectFilter);
        if (!chosen) {
            return std::nullopt;
        }
        return PathFromDialog(*chosen);
    });
}

void CQuillstamperDlg::OpenProjectFrom(
    const std::function<std::optional<std::string>()>& askForPath) {
    OnNewProject();
    const OpenProjectResult result = OpenProject(m_workspace, askForPath);
    if (result.outcome == OpenProjectResult::Outcome::Refused) {
        ShowMessage(result.message);
        return;
    }
    RebuildListBoxes();
    RefreshStatus();
}

void CQuillstamperDlg::SaveProjectFile(bool askForName) {
    quillstamper::SaveProjectFile(m_workspace, askForName, [this]() -> std::optional<std::string> {
        const std::optional<QString> chosen = m_platform.AskSaveFileName(
            this, QString::fromUtf8(kDefaultProjectName.data(), kDefaultProjectName.size()),
            QString::fromUtf8(kProjectFileSuffix.data(), kProjectFileSuffix.size()),
            kProjectFilter);
        if (!chosen) {
            return std::nullopt;
        }
        return PathFromDialog(*chosen);
    });
}

void CQuillstamperDlg::OnSaveProject() {
    SaveProjectFile(false);
}

void CQuillstamperDlg::OnSaveProjectAs() {
    SaveProjectFile(true);
}

void CQuillstamperDlg::OnDynamize() {
    ConversionRequest request{SiteOf(m_workspace), ProjectBaseFolder(m_workspace)};
    // A refused run (a list is empty) has told the observer nothing: putting
    // the activity back leaves the window as it was.
    std::string activityBefore = std::exchange(m_workspace.m_activity, "Currently converting ...");
    StatusObserver observer(m_workspace, [this] { RefreshStatus(); });
    const ConversionResult result = RunConversion(request, &observer);
    if (result.preconditionFailed) {
        m_workspace.m_activity = std::move(activityBefore);
        ShowMessage(FormatPreconditionMessage(request.site.webFiles.size(),
                                              request.site.templateFiles.size()));
        return;
    }
    if (!result.restored.empty()) {
        ShowMessage(FormatPageList("These pages were put back as they were before an interrupted "
                                   "run, then converted:",
                                   result.restored));
    }
    if (!result.changedSinceInterrupted.empty()) {
        std::vector<std::string> pages;
        for (const KeptRecoveryCopy& kept : result.changedSinceInterrupted) {
            pages.push_back(kept.page + ": " + FormatKeptCopy(kept.copy));
        }
        ShowMessage(FormatPageList("These pages were changed since an interrupted run; they were "
                                   "left as they are, then converted:",
                                   pages));
    }
    if (!result.problems.empty()) {
        ShowMessage(FormatProblems(result.problems));
    }
    if (!result.changedWhileConverting.empty()) {
        ShowMessage(FormatPageList("Another program changed these pages while they were "
                                   "converted; they were left as it wrote them:",
                                   result.changedWhileConverting));
    }
    if (result.error) {
        throw *result.error; // the status lines keep the file in hand
    }
    m_workspace.m_activity.clear();
    m_workspace.m_currentFile.clear();
    RefreshStatus();
    ShowMessage("Conversion done!");
}

void CQuillstamperDlg::OnCheckFiles() {
    m_workspace.m_activity = "Currently checking ...";
    RefreshStatus();
    const FileCheckResult result =
        CheckFilesAndBlocks(SiteOf(m_workspace), ProjectBaseFolder(m_workspace));
    if (result.error) {
        throw *result.error; // the activity line keeps "Currently checking ..."
    }
    for (const UnclosedBlock& report : result.reports) {
        m_workspace.m_currentFile = report.startLine;
        RefreshStatus();
        ShowMessage(FormatCheckReport(report.startLine));
    }
    m_workspace.m_activity.clear();
    m_workspace.m_currentFile.clear();
    RefreshStatus();
    // The end lines refused lead the notes: they say why a report came.
    std::vector<ConversionNote> notes;
    for (const UnclosedBlock& report : result.reports) {
        if (report.refusedLine != 0) {
            notes.push_back({ConversionNote::Kind::RefusedEndLine, report.file, report.refusedLine,
                             report.refusedText});
        }
    }
    notes.insert(notes.end(), result.notes.begin(), result.notes.end());
    if (!notes.empty()) {
        ShowMessage(FormatNotesMessage(notes));
    }
    if (result.reports.empty()) {
        ShowMessage(std::string(kCheckPassedMessage));
    }
    m_workspace.m_activity.clear();
    m_workspace.m_currentFile.clear();
    RefreshStatus();
}

// A dry run shown before anything is written; its Dynamize! runs the real one.
void CQuillstamperDlg::OnPreviewChanges() {
    ConversionRequest request{SiteOf(m_workspace), ProjectBaseFolder(m_workspace)};
    PreviewData preview = CollectPreview(std::move(request));
    if (preview.preconditionFailed) {
        ShowMessage(FormatPreconditionMessage(m_workspace.m_webFiles.size(),
                                              m_workspace.m_templateFiles.size()));
        return;
    }
    CPreviewDlg dialog(std::move(preview), m_workspace.m_pathBreak, this);
    if (m_platform.RunDialog(dialog) == QDialog::Accepted) {
        Dispatch(&CQuillstamperDlg::OnDynamize);
    }
}

namespace {

std::string LinesOf(const ComparedSite& site, const PageRange& range) {
    std::string text;
    for (std::size_t line = range.first; line <= range.last; ++line) {
        text.append(site.Pages()[range.page].lines[line]).append("\n");
    }
    return text;
}

std::string PlaceOf(const std::vector<SitePage>& pages, const PageRange& range) {
    return pages[range.page].entry + ":" + std::to_string(range.first + 1) + "-" +
           std::to_string(range.last + 1);
}

std::vector<PartSummary> SummarizeParts(const ComparedSite& site,
                                        const std::vector<SitePage>& pages,
                                        const std::vector<RepeatedPart>& parts) {
    std::vector<PartSummary> summaries;
    for (const RepeatedPart& part : parts) {
        PartSummary summary{part.name,
                            part.lineCount,
                            part.copies.ExactPages(),
                            part.copies.VariantPages(),
                            LinesOf(site, part.where),
                            {}};
        for (const PartVariant& variant : part.copies.variants) {
            summary.variantDiffs +=
                FormatUnifiedDiff(PlaceOf(pages, variant.copies.front()), summary.text,
                                  LinesOf(site, variant.copies.front()), 1);
        }
        summaries.push_back(std::move(summary));
    }
    return summaries;
}

} // namespace

// Suggests the web files' repeated parts; Wrap... shows what wrapping one
// would change in Preview Changes, and only that dialog writes.
void CQuillstamperDlg::OnFindRepeatedParts() {
    if (m_workspace.m_webFiles.empty()) {
        ShowMessage("Add web files first: Find Repeated Parts looks for lines they repeat.");
        return;
    }
    const SiteDefinition site = SiteOf(m_workspace);
    const std::string baseFolder = ProjectBaseFolder(m_workspace);
    const std::vector<SitePage> pages = ReadSitePages(site, baseFolder, kDefaultMaxFileBytes);
    const ComparedSite compared(pages, RulesOfSite(site, baseFolder));
    const std::vector<RepeatedPart> parts = FindRepeatedParts(compared, {});
    CRepeatedPartsDlg dialog(SummarizeParts(compared, pages, parts), "templates/blocks.html", this);
    if (m_platform.RunDialog(dialog) != QDialog::Accepted || parts.empty()) {
        return;
    }
    const WrapChoice choice = dialog.Choice();
    const std::string templatePath = ResolvePath(choice.templateFile, baseFolder);
    if (!IsValidBlockName(choice.name) || choice.templateFile.empty()) {
        ShowMessage("Give the block a name of one word (letters, digits, '-', '_', '.' or ':') "
                    "and a template file.");
        return;
    }
    std::vector<std::string> templatePaths{templatePath};
    for (const std::string& entry : site.templateFiles) {
        templatePaths.push_back(ResolvePath(entry, baseFolder));
    }
    for (const std::string& path : templatePaths) {
        if (HoldsBlock(ReadStandingText(path).text, choice.name, site.identifiers)) {
            ShowMessage(path + " holds a block '" + choice.name + "' already.");
            return;
        }
    }
    const WrapPlan plan =
        PlanWrap(compared, pages, {choice.name, parts[choice.part].where, 0, false});
    if (!plan.error.empty()) {
        ShowMessage(plan.error);
        return;
    }
    PreviewData preview;
    preview.webFileCount = pages.size();
    struct Write {
        std::string path;
        std::optional<FileState> state;
    };
    std::vector<Write> writes;
    for (const FileChange& change : plan.changes) {
        const SitePage& page = pages[change.page];
        preview.files.push_back(
            {page.entry, *page.bytes, change.bytes, CountChangedLines(*page.bytes, change.bytes)});
        writes.push_back({page.path, page.state});
    }
    const StandingText target = ReadStandingText(templatePath);
    const std::string templateBytes = EncodeFileText(
        target.encoding, AppendTemplateBlocks(target.text, plan, choice.name, site.identifiers));
    preview.files.push_back({choice.templateFile, target.bytes, templateBytes,
                             CountChangedLines(target.bytes, templateBytes)});
    writes.push_back({templatePath, target.state});
    CPreviewDlg previewDialog(preview, m_workspace.m_pathBreak, this);
    previewDialog.SetAcceptText(QStringLiteral("Wrap"));
    if (m_platform.RunDialog(previewDialog) != QDialog::Accepted) {
        return;
    }
    if (!target.state) {
        // A new template file may start a folder of templates.
        std::error_code error;
        std::filesystem::create_directories(ParentFolder(templatePath), error);
    }
    AtomicWriteBatch batch;
    for (std::size_t i = 0; i < writes.size(); ++i) {
        batch.Stage(writes[i].path, preview.files[i].newBytes, writes[i].state);
    }
    batch.Commit();
    const bool listed = std::any_of(
        site.templateFiles.begin(), site.templateFiles.end(), [&](const std::string& entry) {
            return AbsolutePath(ResolvePath(entry, baseFolder)) == AbsolutePath(templatePath);
        });
    if (!listed) {
        m_workspace.m_templateFiles.push_back(MakeEntryRelative(
            AbsolutePath(templatePath), AbsolutePath(baseFolder.empty() ? "." : baseFolder)));
        RebuildListBoxes();
        RefreshStatus();
    }
}

void CQuillstamperDlg::OnOptions() {
    COptionsDlg dialog({m_workspace.m_identifiers, m_workspace.m_pathBreak}, this);
    m_platform.RunDialog(dialog);
    // After Cancel the dialog gives back what was handed in.
    const OptionValues values = dialog.Values();
    m_workspace.m_identifiers = values.identifiers;
    m_workspace.m_pathBreak = values.pathBreak;
    RebuildListBoxes();
    RefreshStatus();
}

// Edits a copy of the project's settings; OK takes it back. Open and Save
// carry them with the project, New Project resets them.
void CQuillstamperDlg::OnProjectSettings() {
    // The link base is kept relative to the project file, as its lists are.
    const std::string projectFolder = ProjectBaseFolder(m_workspace);
    CProjectSettingsDlg dialog(
        m_workspace.m_settings, this, [this, &projectFolder]() -> std::optional<std::string> {
            const std::optional<QString> folder =
                m_platform.AskFolder(this, PathToDisplay(projectFolder));
            if (!folder) {
                return std::nullopt;
            }
            const std::string entry = MakeEntryRelative(PathFromDialog(*folder), projectFolder);
            return entry.empty() ? std::string(".") : entry;
        });
    m_platform.RunDialog(dialog);
    m_workspace.m_settings = dialog.Settings();
}

std::string CQuillstamperDlg::ReadSetupValue(const QString& name) {
    const std::optional<QString> value = m_platform.ReadSetupValue(name);
    if (!value) {
        ShowMessage("No Key detected, please start setup again!");
        return {};
    }
    return PathFromDialog(*value);
}

void CQuillstamperDlg::OpenSetupValue(const QString& name) {
    m_platform.OpenExternally(PathToDisplay(ReadSetupValue(name)));
}

void CQuillstamperDlg::OnShowHelpFile() {
    OpenSetupValue(QStringLiteral("Help"));
}

void CQuillstamperDlg::OnGoToWebsite() {
    OpenSetupValue(QStringLiteral("Home"));
}

void CQuillstamperDlg::OnHelpInfo() {
    OpenSetupValue(QStringLiteral("Help"));
}

void CQuillstamperDlg::OnAbout() {
    CAboutDlg about(this);
    m_platform.RunDialog(about);
}

void CQuillstamperDlg::OnExit() {
    accept();
}

} // namespace quillstamper
