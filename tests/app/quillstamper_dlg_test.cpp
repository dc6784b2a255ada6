// The main window driven without a screen: what each command shows, asks and
// leaves behind. The rules of the engine itself are the core tests' business.

#include "app/about_dlg.h"
#include "app/quillstamper_dlg.h"
#include "app/window_fixture.h"
#include "base/shorten_path.h"
#include "conversion/conversion_run.h"
#include "conversion/line_model.h"
#include "files/atomic_write.h"
#include "options/options_dlg.h"
#include "options/project_settings_dlg.h"
#include "project/project_file.h"
#include "support/markers.h"
#include "support/test_files.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QTest>
#include <QUrl>

#include <memory>

namespace quillstamper {

namespace {

using test::EndDialog;
using test::ProjectBytes;
using test::Q;
using test::ReadBytes;
using test::RunAs;
using test::ScriptedPlatform;
using test::TempDir;
using test::WriteBytes;
using test::WriteProject;

const QString kWebFilter =
    "HTM or other web files (*.htm;*.html;*.pl;*.php)|*.htm;*.html;*.pl;*.php";
const QString kProjectFilter = "Trelvonix project files (*.trvx)|*.trvx";
const QString kBar = " | ";
using test::kMenu;
using test::kMenuEnd;
const std::string kMenuBlock = kMenu + "\nold\n" + kMenuEnd + "\n";

// The status texts when no run is in hand.
QString Idle(int web, int templates) {
    return kBar + kBar + Q(FormatCounts(web, templates));
}

QString Shortened(const QString& path, int pathBreak) {
    return Q(ShortenPath(path.toStdString(), pathBreak));
}

template <typename List> QStringList ToList(const List& texts) {
    QStringList list;
    for (const std::string& text : texts) {
        list << Q(text);
    }
    return list;
}

} // namespace

class QuillstamperDlgTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_fake = std::make_unique<ScriptedPlatform>();
        m_dlg = std::make_unique<CQuillstamperDlg>(*m_fake);
        m_fake->window = m_dlg.get();
    }

    // Every test takes the messages it expects; none may be left over.
    void cleanup() {
        const bool allUsed = m_fake->AllAnswersUsed();
        const QStringList messages = TakeMessages();
        m_dlg.reset();
        m_fake.reset();
        QVERIFY2(allUsed, "a scripted answer was not asked for");
        QVERIFY2(messages.isEmpty(), qPrintable("unexpected messages: " + messages.join('/')));
    }

    void startStateAndEnterRunsDynamizeWhichNeedsOneFileOfEachKind() {
        QCOMPARE(m_dlg->windowTitle(), QString("Trelvonix Quillstamper"));
        QCOMPARE(Status(), Idle(0, 0));
        QCOMPARE(ListBoxes(), QStringList());
        QVERIFY(m_dlg->focusWidget() == m_dlg->DynamizeButton());
        QVERIFY(m_dlg->DynamizeButton()->isDefault());
        QVERIFY(!(m_dlg->WebListBox()->focusPolicy() & Qt::TabFocus));
        QVERIFY(m_dlg->TemplateListBox()->focusPolicy() & Qt::TabFocus);

        m_dlg->show();
        QTest::keyClick(m_dlg.get(), Qt::Key_Return);
        Add(false, {"/t/1.txt", "/t/2.txt"});
        m_dlg->DynamizeButton()->click();
        QCOMPARE(TakeMessages(), QStringList({Q(FormatPreconditionMessage(0, 0)),
                                              Q(FormatPreconditionMessage(0, 2))}));
        QCOMPARE(Status(), Idle(0, 2));
    }

    void addAppendsInDialogOrderAndShowsSortedDisplayForms() {
        const QString longPath = "/t/" + QString(40, u'd') + u'/' + QString(40, u'e');
        Add(true, {"/w/c.htm", "/w/a.htm", "/w/b.htm"});
        Add(true, {"/w/a.htm"});
        Add(true, {});
        Add(false, {longPath});
        QCOMPARE(ToList(Ws().m_webFiles) << "|" << ToList(Ws().m_templateFiles),
                 QStringList({"/w/c.htm", "/w/a.htm", "/w/b.htm", "/w/a.htm", "|", longPath}));
        QCOMPARE(ListBoxes(), QStringList({"/w/a.htm", "/w/a.htm", "/w/b.htm", "/w/c.htm", "|",
                                           Shortened(longPath, 32)}));
        QCOMPARE(Status(), Idle(4, 1));
        QCOMPARE(m_fake->asked,
                 QStringList({kWebFilter, kWebFilter, kWebFilter, "all files (*.*)|*.*"}));
    }

    void saveAsksOnceAndOpenRestoresArrayOrder() {
        TempDir dir;
        const std::string project = dir / "site.trvx";
        Add(true, {"/w/c.htm", "/w/a.htm"});
        Add(false, {"/t/x.txt"});
        m_fake->chosen = {{Q(project)}};
        Trigger("&Save Project");
        Add(true, {"/w/b.htm"});
        Trigger("&Save Project"); // no dialog now
        m_fake->chosen = {{}};
        Trigger("Sa&ve Project as..."); // cancelled
        const QString request = "My dynamic website.trvx|.trvx";
        QCOMPARE(m_fake->asked.mid(2),
                 QStringList({request, kProjectFilter, kWebFilter, request, kProjectFilter}));
        QCOMPARE(Ws().m_projectPath, project);
        const FileList web = {"/w/c.htm", "/w/a.htm", "/w/b.htm"};
        QCOMPARE(ReadBytes(project), ProjectBytes(web, {"/t/x.txt"}));

        OpenProject(project);
        QCOMPARE(m_fake->asked.last(), kProjectFilter);
        QVERIFY(Ws().m_webFiles == web);
        QCOMPARE(ListBoxes(), QStringList({"/w/a.htm", "/w/b.htm", "/w/c.htm", "|", "/t/x.txt"}));
        QCOMPARE(Status(), Idle(3, 1));
        Trigger("&New Project");
        QCOMPARE(ListBoxes(), QStringList());
        QCOMPARE(Status(), Idle(0, 0));
        QCOMPARE(Ws().m_projectPath, project);
    }

    void refusedOrUnreadableProjectLeavesListsEmptyAndStateOfBefore() {
        TempDir dir;
        const std::string good = dir / "good.trvx", missing = dir / "none.trvx";
        IdentifierTable identifiers = DefaultIdentifiers();
        identifiers[6] = "%% ";
        WriteProject(good, {"/w/b.htm", "/w/a.htm"}, {"/t/x"}, identifiers);
        WriteBytes(dir / "foreign.trvx", "trelvonix quillstamper project\r\n");
        WriteBytes(dir / "cut.trvx", "Trelvonix Quillstamper Project\r\n==\r\n\r\n/w/cut.htm\r\n");
        for (const std::string& bad : {dir / "foreign.trvx", dir / "cut.trvx", missing}) {
            OpenProject(good);
            QCOMPARE(Status(), Idle(2, 1));
            OpenProject(bad);
            if (bad == missing) {
                ExpectErrorBox(bad);
            } else {
                QCOMPARE(TakeMessages(), QStringList({Q(ReadProjectFile(bad).message)}));
            }
            QCOMPARE(ListBoxes(), QStringList());
            QCOMPARE(Status(), Idle(0, 0));
            QVERIFY(Ws().m_identifiers == identifiers);
            QCOMPARE(Ws().m_projectPath, good);
        }
        m_fake->chosen = {{}}; // cancelled
        Trigger("&Open Project");
        QCOMPARE(Ws().m_projectPath, good);
    }

    void optionsEditsCopiesAndRebuildsBothLists() {
        const QString longWeb = "/w/" + QString(80, u'a');
        const QString longTemplate = "/t/" + QString(70, u'b') + u'c';
        Add(true, {longWeb, "/w/short.htm"});
        Add(false, {longTemplate});
        IdentifierTable stored = DefaultIdentifiers();
        stored[6] = "%% ";
        stored[7] = " %%";
        QCOMPARE(RunOptions(true, {{6, "%% "}, {7, " %%"}}, "10"), ToList(DefaultIdentifiers())
                                                                       << "32");
        QVERIFY(Ws().m_identifiers == stored);
        QCOMPARE(Ws().m_pathBreak, 10);
        QCOMPARE(ListBoxes(), QStringList({Shortened(longWeb, 10), "/w/short.htm", "|",
                                           Shortened(longTemplate, 10)}));
        QCOMPARE(RunOptions(false, {{0, "changed"}}, "20"), ToList(stored) << "10");
        QVERIFY(Ws().m_identifiers == stored);
        QCOMPARE(Ws().m_pathBreak, 10);
    }

    // The settings are handed to Project Settings and taken back by OK only,
    // travel through the project file, and are what Dynamize runs with: kept
    // line ends leave an LF page's lines outside the block as they were.
    void settingsTravelThroughTheirDialogProjectAndDynamize() {
        TempDir dir;
        const std::string page = dir / "page.htm", project = dir / "p.trvx";
        WriteBytes(page, "top\n" + kMenuBlock + "bottom\n");
        WriteBytes(dir / "menu.txt", kMenu + "\r\nnew\r\n" + kMenuEnd + "\r\n");
        Add(true, {Q(page)});
        Add(false, {Q(dir / "menu.txt")});
        QList<int> shown;
        for (const auto& [ok, choice] : {std::pair{true, 2}, {false, 1}}) {
            m_fake->dialogRuns.push_back(
                RunAs<CProjectSettingsDlg>([&shown, ok, choice](CProjectSettingsDlg& dialog) {
                    QComboBox* box = dialog.LineEndsBox();
                    shown << box->currentIndex();
                    box->setCurrentIndex(choice);
                    dialog.AnyEndLineBox()->setChecked(true);
                    EndDialog(dialog, ok);
                }));
            Trigger("Project &Settings...");
            QVERIFY((Ws().m_settings == ProjectSettings{LineEnds::Keep, EndLines::Any}));
        }
        QCOMPARE(shown, QList<int>({0, 2}));

        m_fake->chosen = {{Q(project)}};
        Trigger("&Save Project");
        QVERIFY(ReadBytes(project).ends_with("[EOL]\r\nLine ends: keep\r\nEnd lines: any\r\n"));
        Trigger("&New Project");
        QVERIFY(Ws().m_settings == ProjectSettings{});
        OpenProject(project);
        QVERIFY((Ws().m_settings == ProjectSettings{LineEnds::Keep, EndLines::Any}));
        m_dlg->DynamizeButton()->click();
        QCOMPARE(TakeMessages(), QStringList({"Conversion done!"}));
        QCOMPARE(ReadBytes(page), "top\n" + kMenu + "\nnew\n" + kMenuEnd + "\nbottom\n");
    }

    // Relative entries of a project file are taken below its folder, not the current one.
    void dynamizeAndCheckReportThroughMessagesAndStatusLines() {
        TempDir dir;
        WriteBytes(dir / "site/page.htm", kMenuBlock);
        WriteBytes(dir / "site/open.htm", kMenu + "\nkept\n");
        WriteBytes(dir / "parts/menu.txt", "x\n" + kMenu + "\nnew1\nnew2\n" + kMenuEnd +
                                               "\n<!-- Trelvonix side -->\n# Trelvonix a -->\n");
        OpenProject(
            WriteProject(dir / "p.trvx", {"site/page.htm", "site/open.htm"}, {"parts/menu.txt"}));
        QStringList statusAtMessage;
        m_fake->onMessage = [&] { statusAtMessage << Status(); };
        m_dlg->DynamizeButton()->click();
        QCOMPARE(ReadBytes(dir / "site/page.htm"),
                 JoinLines(Lines{kMenu, "new1", "new2", kMenuEnd}));
        const QStringList messages = TakeMessages();
        QCOMPARE(messages.size(), qsizetype(2));
        QVERIFY(messages[0].contains("site/open.htm") && messages[0].contains(Q(kMenu)));
        QCOMPARE(messages[1], QString("Conversion done!"));
        QCOMPARE(statusAtMessage.last(), Idle(2, 1));

        // Each report is a message of its own, with its start line on show:
        // first the missing end lines, then the block Dynamize left alone; the
        // notes come in one message after them.
        statusAtMessage.clear();
        Trigger("&Check Files for Errors");
        QCOMPARE(TakeMessages(),
                 QStringList({"End of template missing:\n\n<!-- Trelvonix side -->",
                              "End of template missing:\n\n# Trelvonix a -->",
                              "End of template missing:\n\n" + Q(kMenu),
                              "2 notes (Dynamize leaves these lines as they are):\n\n"
                              "parts/menu.txt:6: no web file uses this block: <!-- Trelvonix "
                              "side -->\nparts/menu.txt:7: no web file uses this block: # "
                              "Trelvonix a -->"}));
        const QString counts = kBar + Q(FormatCounts(2, 1));
        QCOMPARE(statusAtMessage,
                 QStringList({"Currently checking ... | <!-- Trelvonix side -->" + counts,
                              "Currently checking ... | # Trelvonix a -->" + counts,
                              "Currently checking ... | " + Q(kMenu) + counts, Idle(2, 1)}));
        Trigger("&New Project");
        Trigger("&Check Files for Errors");
        QCOMPARE(TakeMessages(), QStringList({"No errors found in files, file checking done!"}));
        QCOMPARE(statusAtMessage.last(), Idle(0, 0));
    }

    // A block whose end line was deleted is not closed by a comment below it:
    // Dynamize and the check name the line that did not fit.
    void refusedEndLineIsNamedByDynamizeAndCheck() {
        TempDir dir;
        const std::string page = JoinLines(Lines{kMenu, "old", "<!-- main end -->"});
        WriteBytes(dir / "p.htm", page);
        WriteBytes(dir / "t.txt", JoinLines(Lines{kMenu, "new", kMenuEnd}));
        Add(true, {Q(dir / "p.htm")});
        Add(false, {Q(dir / "t.txt")});
        m_dlg->DynamizeButton()->click();
        const QStringList messages = TakeMessages();
        QCOMPARE(messages.size(), qsizetype(2));
        QVERIFY2(messages[0].contains("(line 3 ends like an end line but is no end line of it: "
                                      "<!-- main end -->)"),
                 qPrintable(messages[0]));
        QCOMPARE(ReadBytes(dir / "p.htm"), page);
        Trigger("&Check Files for Errors");
        QCOMPARE(TakeMessages(),
                 QStringList({"End of template missing:\n\n" + Q(kMenu),
                              "1 note (Dynamize leaves these lines as they are):\n\n" +
                                  Q(dir / "p.htm") +
                                  ":3: this line ends like an end line but is no end line of the "
                                  "block above: <!-- main end -->"}));
    }

    // The status lines keep the file in hand: a template that cannot be read
    // during a pass, then a web file that cannot be read at the start of one.
    void fileErrorShowsTheErrorBoxAndKeepsTheWindowUsable() {
        TempDir dir;
        const std::string page = dir / (std::string(70, 'p') + ".htm");
        const std::string missing = dir / (std::string(70, 'm') + ".htm");
        WriteBytes(page, kMenuBlock);
        for (const auto& [web, templateFile] : {std::pair{page, missing}, {missing, page}}) {
            Trigger("&New Project");
            Add(true, {Q(web)});
            Add(false, {Q(templateFile)});
            m_dlg->DynamizeButton()->click();
            ExpectErrorBox(missing);
            QCOMPARE(Status(), "Currently converting ... | " + Shortened(Q(web), 32) + kBar +
                                   Q(FormatCounts(1, 1)));
        }
        Trigger("&Check Files for Errors");
        ExpectErrorBox(missing);
        QCOMPARE(m_dlg->ActivityLabel()->text(), QString("Currently checking ..."));

        Trigger("&New Project");
        Add(true, {Q(page)});
        Add(false, {Q(page)});
        m_dlg->DynamizeButton()->click();
        QCOMPARE(TakeMessages(), QStringList({"Conversion done!"}));
        QCOMPARE(Status(), Idle(1, 1));
    }

    // Another program that keeps writing a page while it is converted wins:
    // the page is left as that program wrote it, and the window says so.
    void pageChangedWhileConvertingIsLeftAndNamed() {
        TempDir dir;
        WriteBytes(dir / "page.htm", kMenuBlock);
        WriteBytes(dir / "menu.txt", kMenu + "\nnew\n" + kMenuEnd + "\n");
        Add(true, {Q(dir / "page.htm")});
        Add(false, {Q(dir / "menu.txt")});
        int edits = 0;
        SetWriteFaultHook([&](WriteStage stage, const std::string&) {
            if (stage == WriteStage::BeforeReplace) {
                WriteBytes(dir / "page.htm", kMenuBlock + std::to_string(++edits) + "\n");
            }
            return 0;
        });
        m_dlg->DynamizeButton()->click();
        SetWriteFaultHook({});
        QCOMPARE(TakeMessages(),
                 QStringList({"Another program changed these pages while they were converted; "
                              "they were left as it wrote them:\n\n" +
                                  Q(dir / "page.htm"),
                              "Conversion done!"}));
        QCOMPARE(ReadBytes(dir / "page.htm"), kMenuBlock + "2\n");
    }

    // A missing setup value is reported, then the empty text is opened all the same.
    void helpWebsiteAndAbout() {
        QShortcut* f1 = m_dlg->findChild<QShortcut*>();
        QVERIFY(f1 != nullptr && f1->key() == QKeySequence(Qt::Key_F1));
        QWidget* helpMenu = qobject_cast<QWidget*>(m_dlg->MenuAction("&About")->parent());
        m_fake->setupValues = {{"Help", "/opt/help.html"}};
        QList<qsizetype> openedAtMessage;
        m_fake->onMessage = [&] { openedAtMessage << m_fake->opened.size(); };
        Trigger("Show &Help File");
        Trigger("Go to Trelvonix &Website");
        emit f1->activated();
        QTest::keyClick(helpMenu, Qt::Key_F1); // F1 with the Help menu open
        QCOMPARE(TakeMessages(), QStringList({"No Key detected, please start setup again!"}));
        QCOMPARE(openedAtMessage, QList<qsizetype>({1}));
        QCOMPARE(m_fake->opened,
                 QStringList({"/opt/help.html", "", "/opt/help.html", "/opt/help.html"}));

        QString about; // the title, the texts (the icon has none), the button
        m_fake->dialogRuns = {[&](QDialog& dialog) {
            about = qobject_cast<CAboutDlg*>(&dialog) ? dialog.windowTitle() : QString();
            for (const QLabel* label : dialog.findChildren<QLabel*>()) {
                about += '/' + label->text();
            }
            QPushButton* ok = dialog.findChild<QPushButton*>();
            ok->click();
            about += '/' + ok->text() + (dialog.result() == QDialog::Accepted ? "/ended" : "");
        }};
        Trigger("&About");
        QCOMPARE(about, QString("About ...//Quillstamper Version 1.0/OK/ended"));
    }

    // The list boxes are sorted: the selection is mapped back to the array,
    // whose other entries keep their order.
    void removeTakesTheSelectedEntriesOutOfTheirArrays() {
        TempDir dir;
        const std::string project = dir / "p.trvx";
        Add(true, {"/w/d.htm", "/w/c.htm", "/w/a.htm", "/w/b.htm"});
        Add(false, {"/t/x", "/t/y"});
        const struct {
            bool web;
            QStringList selected;
            bool byKey; // Delete, else the context menu's Remove
            QStringList webLeft, templatesLeft;
        } steps[] = {
            {true, {}, true, {"/w/d.htm", "/w/c.htm", "/w/a.htm", "/w/b.htm"}, {"/t/x", "/t/y"}},
            {true, {"/w/c.htm"}, false, {"/w/d.htm", "/w/a.htm", "/w/b.htm"}, {"/t/x", "/t/y"}},
            {true, {"/w/b.htm", "/w/d.htm"}, true, {"/w/a.htm"}, {"/t/x", "/t/y"}},
            {false, {"/t/x"}, false, {"/w/a.htm"}, {"/t/y"}},
        };
        for (const auto& step : steps) {
            QListWidget* listBox = step.web ? m_dlg->WebListBox() : m_dlg->TemplateListBox();
            for (const QString& text : step.selected) {
                listBox->findItems(text, Qt::MatchExactly).first()->setSelected(true);
            }
            if (step.byKey) {
                QTest::keyClick(listBox, Qt::Key_Delete);
            } else {
                QCOMPARE(listBox->actions().size(), qsizetype(1));
                QCOMPARE(listBox->actions().first()->text(), QString("Remove"));
                listBox->actions().first()->trigger();
            }
            QCOMPARE(ToList(Ws().m_webFiles), step.webLeft);
            QCOMPARE(ToList(Ws().m_templateFiles), step.templatesLeft);
            QCOMPARE(listBox->count(), (step.web ? step.webLeft : step.templatesLeft).size());
            QCOMPARE(Status(), Idle(step.webLeft.size(), step.templatesLeft.size()));
        }
        m_fake->chosen = {{Q(project)}};
        Trigger("&Save Project");
        QCOMPARE(ReadBytes(project), ProjectBytes({"/w/a.htm"}, {"/t/y"}));
    }

    // A folder gives what quillstamper-cli takes from it: web files only for
    // the web list, every file for the template list, hidden ones and
    // editors' leftovers skipped.
    void droppedFilesAndFoldersAreAddedAsTheCommandLineTakesThem() {
        TempDir dir;
        for (const char* file :
             {"site/b.htm", "site/a.html", "site/.hidden.htm", "site/sub/c.php", "site/note.txt",
              "one.txt", "parts/menu.txt", "parts/.x", "parts/sub/y", "parts/menu.txt~",
              "parts/#menu.txt#", "parts/sub/y.swp", "parts/sub/4913"}) {
            WriteBytes(dir / file, "");
        }
        Add(true, {"/w/first.htm"});
        QVERIFY(Drop(m_dlg->WebListBox(), {dir / "site", dir / "one.txt"}));
        QVERIFY(Drop(m_dlg->TemplateListBox()->viewport(), {dir / "parts"}));
        QVERIFY(!Drop(m_dlg->TemplateListBox(), {}, "https://example.org/a.htm"));
        QCOMPARE(ToList(Ws().m_webFiles),
                 ToList(FileList{"/w/first.htm", dir / "site/a.html", dir / "site/b.htm",
                                 dir / "site/sub/c.php", dir / "one.txt"}));
        QCOMPARE(ToList(Ws().m_templateFiles),
                 ToList(FileList{dir / "parts/menu.txt", dir / "parts/sub/y"}));
        QCOMPARE(m_dlg->WebListBox()->count(), 5);
        QCOMPARE(Status(), Idle(5, 2));
    }

    // A project file dropped on the window or a list box opens as Open Project.
    void droppedProjectFileOpensAsOpenProject() {
        TempDir dir;
        const std::string good = dir / "good.trvx", foreign = dir / "foreign.trvx";
        WriteProject(good, {"/w/b.htm", "/w/a.htm"}, {"/t/x"}, {});
        WriteBytes(foreign, "not a project\r\n");
        QVERIFY(!Drop(m_dlg.get(), {dir / "page.htm"}));
        QVERIFY(Drop(m_dlg.get(), {good}));
        QCOMPARE(ListBoxes(), QStringList({"/w/a.htm", "/w/b.htm", "|", "/t/x"}));
        QCOMPARE(Ws().m_projectPath, good);
        QVERIFY(Drop(m_dlg->TemplateListBox(), {dir / "x.txt", foreign}));
        QCOMPARE(TakeMessages(), QStringList({"No project file!"}));
        QCOMPARE(ListBoxes(), QStringList());
        QCOMPARE(Ws().m_projectPath, good);
    }

    // "quillstamper PROJECT" opens it once the window is there; a refused
    // file's message comes after the window.
    void projectGivenAtStartOpensAfterTheWindowAppears() {
        TempDir dir;
        const std::string good = dir / "good.trvx", foreign = dir / "foreign.trvx";
        WriteProject(good, {"/w/a.htm"}, {"/t/x", "/t/y"}, {});
        WriteBytes(foreign, "not a project\r\n");
        const struct {
            std::string project;
            QStringList lists, messages;
        } cases[] = {{good, {"/w/a.htm", "|", "/t/x", "/t/y"}, {}},
                     {foreign, {}, {"No project file!"}}};
        for (const auto& c : cases) {
            m_dlg = std::make_unique<CQuillstamperDlg>(*m_fake, c.project);
            m_fake->window = m_dlg.get();
            QCoreApplication::processEvents();
            QCOMPARE(ListBoxes(), QStringList());
            m_dlg->show();
            QVERIFY(m_fake->messages.isEmpty());
            QCoreApplication::processEvents();
            QCOMPARE(ListBoxes(), c.lists);
            QCOMPARE(TakeMessages(), c.messages);
            QCOMPARE(Ws().m_projectPath, c.lists.isEmpty() ? std::string() : c.project);
        }
    }

    // About and Options appear with their frames centred on the main window's, wherever it is.
    void aboutAndOptionsAreCentredOnTheWindow() {
        m_dlg->show();
        m_dlg->move(37, 21);
        QList<QPoint> offsets;
        const auto measure = [&](QDialog& dialog) {
            dialog.show();
            offsets << dialog.frameGeometry().center() - m_dlg->frameGeometry().center();
            dialog.reject();
        };
        m_fake->dialogRuns = {measure, measure};
        Trigger("&About");
        Trigger("&Options");
        QCOMPARE(offsets, QList<QPoint>({QPoint(), QPoint()}));
    }

private:
    // Drags local files (and an address) onto a widget and drops them there;
    // true when the widget took the drag.
    bool Drop(QWidget* target, const std::vector<std::string>& paths, const QString& address = {}) {
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& path : paths) {
            urls << QUrl::fromLocalFile(Q(path));
        }
        if (!address.isEmpty()) {
            urls << QUrl(address);
        }
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) {
            return false;
        }
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }

    const Workspace& Ws() const {
        return m_dlg->GetWorkspace();
    }
    // The activity line, the current file line and the counts label.
    QString Status() const {
        return m_dlg->ActivityLabel()->text() + kBar + m_dlg->CurrentFileLabel()->text() + kBar +
               m_dlg->CountsLabel()->text();
    }
    // The web list box's items, "|", the template list box's; nothing when both are empty.
    QStringList ListBoxes() const {
        QStringList items;
        for (const QListWidget* listBox : {m_dlg->WebListBox(), m_dlg->TemplateListBox()}) {
            for (int row = 0; row < listBox->count(); ++row) {
                items << listBox->item(row)->text();
            }
            items << "|";
        }
        return items == QStringList({"|", "|"}) ? QStringList() : items.mid(0, items.size() - 1);
    }

    void Add(bool web, const QStringList& chosen) {
        test::Add(*m_dlg, *m_fake, web, chosen);
    }
    void Trigger(const char* menuText) {
        test::Trigger(*m_dlg, menuText);
    }
    void OpenProject(const std::string& path) {
        test::OpenProject(*m_dlg, *m_fake, path);
    }

    // Returns what the Options dialog's edits showed (entries 0 to 7, then the
    // path break), after typing the given texts and pressing OK or Cancel.
    QStringList RunOptions(bool ok, const std::vector<std::pair<int, const char*>>& typed,
                           const QString& pathBreak) {
        QStringList shown;
        m_fake->dialogRuns.push_back(RunAs<COptionsDlg>([&](COptionsDlg& dialog) {
            for (int entry = 0; entry < 8; ++entry) {
                shown << dialog.IdentifierEdit(entry)->text();
            }
            shown << dialog.PathBreakEdit()->text();
            for (const auto& [entry, text] : typed) {
                dialog.IdentifierEdit(entry)->setText(text);
            }
            dialog.PathBreakEdit()->setText(pathBreak);
            EndDialog(dialog, ok);
        }));
        Trigger("&Options");
        return shown;
    }

    // The texts of the messages so far, which must be the program's own:
    // captioned "Trelvonix Quillstamper", no icon.
    QStringList TakeMessages() {
        QStringList texts;
        for (const QString& message : std::exchange(m_fake->messages, {})) {
            const QString caption = "Trelvonix Quillstamper|";
            if (!message.startsWith(caption)) {
                QTest::qFail(qPrintable("not a program message: " + message), __FILE__, __LINE__);
            }
            texts << message.mid(caption.size());
        }
        return texts;
    }

    // Exactly one message so far: the error box, with the stop icon, naming the file.
    void ExpectErrorBox(const std::string& file) {
        const QStringList messages = std::exchange(m_fake->messages, {});
        QCOMPARE(messages.size(), qsizetype(1));
        QVERIFY2(messages[0].startsWith('!' + QCoreApplication::applicationName() + '|') &&
                     messages[0].contains(Q(file)),
                 qPrintable(messages[0]));
    }

    std::unique_ptr<ScriptedPlatform> m_fake;
    std::unique_ptr<CQuillstamperDlg> m_dlg;
};

} // namespace quillstamper

QTEST_MAIN(quillstamper::QuillstamperDlgTest)
#include "quillstamper_dlg_test.moc"
